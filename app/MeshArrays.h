#pragma once

#include <cstddef>
#include <memory>

#include "app/ZelMesh.h"

// The coordinate and corner arrays a reader fills, new[]-allocated so they go to the mesh as
// they are, and grown as data arrives beyond what was reserved.
struct MeshArrays {
    std::unique_ptr<float[]> coordinates;  // x, y, z of each vertex
    std::unique_ptr<int[]> indices;        // three vertex numbers a triangle
    std::size_t vertexCapacity = 0;
    std::size_t triangleCapacity = 0;
    int vertexCount = 0;
    int triangleCount = 0;
    // Why the last add failed: memory ran out (otherwise kMaxMeshElementCount was reached).
    bool outOfMemory = false;
};

// Makes room for at least the given numbers of vertices and triangles; false without memory.
bool MeshArraysReserve(MeshArrays& arrays, std::size_t vertices, std::size_t triangles);

// Grows the vertex or the triangle array to hold one more; false at kMaxMeshElementCount or
// without memory (outOfMemory says which).
bool MeshArraysGrowVertices(MeshArrays& arrays);
bool MeshArraysGrowTriangles(MeshArrays& arrays);

// The three places of a new vertex; null when it cannot be added (see MeshArraysGrowVertices).
inline float* MeshArraysAddVertex(MeshArrays& arrays) {
    if (static_cast<std::size_t>(arrays.vertexCount) == arrays.vertexCapacity &&
        !MeshArraysGrowVertices(arrays)) {
        return nullptr;
    }
    return &arrays.coordinates[3 * static_cast<std::size_t>(arrays.vertexCount++)];
}

// The three places of a new triangle; null when it cannot be added.
inline int* MeshArraysAddTriangle(MeshArrays& arrays) {
    if (static_cast<std::size_t>(arrays.triangleCount) == arrays.triangleCapacity &&
        !MeshArraysGrowTriangles(arrays)) {
        return nullptr;
    }
    return &arrays.indices[3 * static_cast<std::size_t>(arrays.triangleCount++)];
}

// A polygon cut into the fan of triangles round its first corner as its corners arrive, so the
// winding is kept and no polygon is held whole.
struct PolygonFan {
    int first = 0;
    int previous = 0;
    int corners = 0;
};

// Adds the next corner of the fan's polygon, and a triangle from the third corner on; false
// when the triangle cannot be added.
inline bool PolygonFanAdd(PolygonFan& fan, MeshArrays& arrays, int corner) {
    if (fan.corners >= 2) {
        int* triangle = MeshArraysAddTriangle(arrays);
        if (triangle == nullptr) {
            return false;
        }
        triangle[0] = fan.first;
        triangle[1] = fan.previous;
        triangle[2] = corner;
    } else if (fan.corners == 0) {
        fan.first = corner;
    }
    fan.previous = corner;
    ++fan.corners;
    return true;
}

// Merges vertices at exactly the same position (0 and -0 count as the same), keeping them in the
// order of their first appearance and moving them to the front of the coordinates, renumbers the
// corners, and returns the new vertex count; -1, with nothing changed, without memory.
int WeldPositions(float* coordinates, int vertexCount, int* indices, std::size_t cornerCount);
