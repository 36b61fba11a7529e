#pragma once

#include <cstdint>

#include "camera/Vec3.h"

struct DrawOptions;
struct HalfEdge;

// A mesh vertex: its position, its normal and one half-edge leaving it.
struct MeshVertex {
    // Vertex number: its index in the input coordinates; -1 until assigned.
    std::int32_t id = -1;
    // General-purpose mark; nothing here sets or reads it.
    bool mark = false;
    // Position.
    Vec3 position{0.0f, 0.0f, 0.0f};
    // Unit vertex normal after the geometry pass; (0, 0, 0) when the fan has none.
    Vec3 normal{1.0f, 0.0f, 0.0f};
    // The last created half-edge leaving the vertex, or null; the ring walk starts here.
    HalfEdge* halfEdge = nullptr;
    // Number of faces of the walked fan, after the geometry pass.
    std::int32_t valence = -1;
    // The vertex ends a half-edge without twin.
    bool boundary = false;

    // Counts the faces of the vertex's fan, stores the count in valence and returns it.
    std::int32_t ComputeValence();
    // Stores the normalised sum of the fan's face normals in normal and returns it.
    Vec3 ComputeNormal();
    // ComputeValence and ComputeNormal in one walk of the fan, with the same results.
    void ComputeValenceAndNormal();
    // Sends the optional normal, the boundary colour and the position; call inside glBegin/glEnd.
    void Draw(const DrawOptions& options) const;
    // Sends the material and colour every vertex with this boundary flag is drawn in.
    static void DrawColour(bool onBoundary);
};

// About half a vertex is made per triangle, beside three half-edges and one face.
static_assert(sizeof(MeshVertex) <= 48, "a vertex record packs into 48 bytes");
