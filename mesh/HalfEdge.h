#pragma once

#include <cstdint>

#include "camera/Vec3.h"

struct Face;
struct MeshVertex;

// A directed edge of one face, running from origin to the origin of next.
struct HalfEdge {
    // Fields run from widest to narrowest so the record packs into 56 bytes without padding.
    // Next half-edge of the same face.
    HalfEdge* next = nullptr;
    // Opposite half-edge of the neighbouring face; null unless the edge is good.
    HalfEdge* twin = nullptr;
    // Start vertex.
    MeshVertex* origin = nullptr;
    // Owning face.
    Face* face = nullptr;
    // Unit vector from start to end; (0, 0, 0) for a zero-length edge.
    Vec3 direction{1.0f, 0.0f, 0.0f};
    // Distance from start to end.
    float length = 0.0f;
    // Half-edge number: 3 x face id + corner; matching temporaries are numbered above.
    std::int32_t id = -1;
    // 1 when start and end are the same vertex.
    std::int8_t degenerate = 0;
    // Transient mark of edge matching and the geometry pass; false between operations.
    bool processed = false;
    // No twin, or the two faces' normals have a negative dot product.
    bool crease = false;

    // The vertex this half-edge ends at: the origin of next.
    MeshVertex* EndVertex() const { return next->origin; }
    // Sets length and the unit direction from origin to end; a zero-length edge gets (0, 0, 0).
    void ComputeDirection();
    // ComputeDirection, then gives the twin the same length and the opposite direction.
    void ComputeDirectionWithTwin();
    // Takes the twin's length and the opposite of its direction, as ComputeDirectionWithTwin on
    // the twin sets them.
    void ComputeDirectionFromTwin();
    // Takes other's length and the opposite of its direction, as ComputeDirectionFromTwin does
    // with the twin: for a twin whose own direction is not computed yet, given as a copy of its
    // origin and next with ComputeDirection run on it.
    void ComputeDirectionOppositeTo(const HalfEdge& other);
    // The per-pass direction step; skips (and clears) a half-edge its twin already handled.
    void UpdateGeometry();
    // Sets crease: no twin, or the two faces' normals point away from each other.
    void ComputeCrease();
    // Marks both end vertices as boundary when the half-edge has no twin.
    void MarkBoundary();
};

// Start-up memory is dominated by the records (three half-edges, one face and about half a
// vertex per face), so a field added or reordered carelessly costs megabytes on large meshes.
static_assert(sizeof(HalfEdge) <= 56, "a half-edge record packs into 56 bytes");
