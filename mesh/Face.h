#pragma once

#include <cstdint>

#include "camera/Vec3.h"
#include "mesh/HalfEdge.h"

struct DrawOptions;
struct MeshVertex;

// A triangle; it owns its three half-edges, which run from corner k to corner k + 1.
struct Face {
    // The fields are ordered widest first, so the record packs into 56 bytes instead of 64.
    // normal . first corner: the face lies in the plane normal . p = planeOffset.
    double planeOffset = 0.0;
    // The half-edges of corners 0, 1, 2.
    HalfEdge* halfEdges[3] = {nullptr, nullptr, nullptr};
    // Unit face normal; (0, 0, 0) for a face without area.
    Vec3 normal{1.0f, 0.0f, 0.0f};
    // Face number: its index in the input indices; -1 until assigned.
    std::int32_t id = -1;
    // 0: no degenerate half-edge; 1: all three; 2: some.
    std::int32_t degeneracy = 0;
    // General-purpose mark; nothing here sets or reads it.
    bool mark = false;

    // Creates the face over three new default half-edges (made by the mesh in its half-edge
    // storage) and links them into a cycle.
    Face(HalfEdge* halfEdge0, HalfEdge* halfEdge1, HalfEdge* halfEdge2);
    // A face owns its half-edges, so it is never copied.
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    // Links the half-edges in the cycle 0 -> 1 -> 2 -> 0 and points them at this face.
    void LinkHalfEdges();
    // The corner of half-edge 0.
    MeshVertex* Vertex0() const { return halfEdges[0]->origin; }
    // The corner of half-edge 1.
    MeshVertex* Vertex1() const { return halfEdges[1]->origin; }
    // The corner of half-edge 2.
    MeshVertex* Vertex2() const { return halfEdges[2]->origin; }
    // Updates the three half-edges' directions, then the normal.
    void UpdateGeometry();
    // Sets the unit normal (right-hand rule over the corners) and the plane offset.
    void ComputeNormal();
    // The unit normal ComputeNormal gives a face whose half-edges 1 and 2 have these directions.
    static Vec3 NormalOf(const Vec3& direction1, const Vec3& direction2);
    // Sets degeneracy from the count of degenerate half-edges: 3 gives 1, 1 or 2 give 2.
    void ClassifyDegeneracy();
    // Sends one triangle's data; call inside glBegin(GL_TRIANGLES)/glEnd.
    void Draw(const DrawOptions& options) const;
};

// Three half-edges and one face are made per triangle: the face record stays as small.
static_assert(sizeof(Face) <= 56, "a face record packs into 56 bytes");
