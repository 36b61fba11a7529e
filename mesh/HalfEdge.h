#pragma once

#include <cstdint>

#include "camera/Vec3.h"

struct Face;
struct MeshVertex;

// A directed edge of one face, running from origin to the origin of next.
struct HalfEdge {
    std::int32_t id = -1;
    bool processed = false;
    HalfEdge* next = nullptr;
    HalfEdge* twin = nullptr;
    MeshVertex* origin = nullptr;
    Face* face = nullptr;
    std::int32_t degenerate = 0;
    Vec3 direction{1.0f, 0.0f, 0.0f};
    float length = 0.0f;
    bool crease = false;

    // The vertex this half-edge ends at: the origin of next.
    MeshVertex* EndVertex() const;
    // Sets length and the unit direction from origin to end; a zero-length edge gets (0, 0, 0).
    void ComputeDirection();
    // ComputeDirection, then gives the twin the same length and the opposite direction.
    void ComputeDirectionWithTwin();
    // The per-pass direction step; skips (and clears) a half-edge its twin already handled.
    void UpdateGeometry();
    // Sets crease: no twin, or the two faces' normals point away from each other.
    void ComputeCrease();
    // Marks both end vertices as boundary when the half-edge has no twin.
    void MarkBoundary();
};
