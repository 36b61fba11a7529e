#pragma once

#include <cstdint>

#include "camera/Vec3.h"

struct DrawOptions;
struct HalfEdge;

// A mesh vertex: its position, its normal and one half-edge leaving it.
struct MeshVertex {
    std::int32_t id = -1;
    bool mark = false;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 normal{1.0f, 0.0f, 0.0f};
    HalfEdge* halfEdge = nullptr;
    std::int32_t valence = -1;
    bool boundary = false;

    // Counts the faces of the vertex's fan, stores the count in valence and returns it.
    std::int32_t ComputeValence();
    // Stores the normalised sum of the fan's face normals in normal and returns it.
    Vec3 ComputeNormal();
    // Sends the optional normal, the boundary colour and the position; call inside glBegin/glEnd.
    void Draw(const DrawOptions& options) const;
};
