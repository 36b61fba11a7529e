#pragma once

#include <vector>

#include "mesh/EdgeCounts.h"

// Edge matching done the plain way, step by step, as the one reference every test compares the
// mesh's matching with: a reversed temporary for every half-edge, one quicksort of all of them
// by (start, end) key, and one sweep over the runs of equal keys that rewires good pairs and
// marks what it has seen.
struct ReferenceMatching {
    // The counts, as the mesh's edge report gives them.
    EdgeCounts counts;
    // Twin of each half-edge (3 x face + corner), -1 for none.
    std::vector<int> twin;
    // Edges between two different vertices, whatever their class.
    int undirectedEdges = 0;
};

// Matches the half-edges of the whole faces of a corner list (three vertex numbers a face;
// numbers are never negative).
ReferenceMatching ReferenceMatchingOf(const std::vector<int>& indices);
