#pragma once

#include <cstdint>

// How the half-edges of a mesh pair up, as edge matching counts them; every count is in
// half-edges, and the five classes add up to total.
struct EdgeCounts {
    // Half-edges of the mesh.
    std::int32_t total = 0;
    // Half-edges paired with a twin.
    std::int32_t good = 0;
    // Half-edges alone on their edge.
    std::int32_t boundary = 0;
    // Half-edges on an edge shared by three or more.
    std::int32_t nonManifold = 0;
    // Half-edges from a vertex to itself.
    std::int32_t degenerate = 0;
    // Half-edges of an edge whose two half-edges run the same way.
    std::int32_t inconsistent = 0;
};
