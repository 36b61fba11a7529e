#pragma once

#include <cstdint>
#include <list>

#include "camera/Vec3.h"
#include "mesh/DrawOptions.h"
#include "mesh/Face.h"
#include "mesh/HalfEdge.h"
#include "mesh/MeshVertex.h"

// One slot of the edge entry buffer: a half-edge and its (start, end) vertex key. The key is
// stored when the slot is filled, because the sweep rewires twins that a temporary's key needs.
struct EdgeEntry {
    HalfEdge* halfEdge = nullptr;
    std::int32_t startId = 0;
    std::int32_t endId = 0;
};

// A triangle mesh as vertices, faces and half-edges; it owns all of its elements.
class Mesh {
public:
    std::int32_t maxVertexId = -1;
    std::int32_t maxHalfEdgeId = -1;
    std::int32_t maxFaceId = -1;
    std::list<MeshVertex*> vertices;
    std::list<Face*> faces;
    std::list<HalfEdge*> halfEdges;
    bool connected = false;
    bool geometryComputed = false;
    std::list<MeshVertex*>::iterator vertexCursor;
    std::list<HalfEdge*>::iterator halfEdgeCursor;
    std::list<Face*>::iterator faceCursor;
    Vec3 centroid{0.0f, 0.0f, 0.0f};
    Vec3 boundsMax{0.0f, 0.0f, 0.0f};
    Vec3 boundsMin{0.0f, 0.0f, 0.0f};
    float radius = 0.0f;
    Vec3 colour{0.5f, 0.5f, 0.5f};
    DrawOptions drawOptions;

    // Builds the mesh from three coordinates per vertex and three vertex numbers per face.
    Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount);
    // Releases every vertex, face and half-edge.
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Creates the elements, matches edges, marks and computes the geometry; returns connected.
    bool Build(const float* coordinates, const int* indices, int vertexCount, int faceCount);
    // Creates the vertices, faces and half-edges in input order.
    void CreateElements(const float* coordinates, const int* indices, int vertexCount,
                        int faceCount);
    // Pairs twins by sorting, classifies every edge and prints the report; returns connected.
    bool MatchEdges();
    // Sorts entries lo ... hi (both included) by key: quicksort, random pivot, Hoare partition.
    static void SortEdgeEntries(EdgeEntry* entries, int lo, int hi);

    // Marks the end vertices of every half-edge without twin as boundary.
    void MarkBoundaryVertices();
    // Flags half-edges whose ends are one vertex, then classifies every face.
    void MarkDegenerateElements();
    // The geometry pass: faces, creases, vertices, centroid, radius, bounds.
    void ComputeGeometry();
    // Half-edge directions and lengths, face normals and plane offsets.
    void ComputeFaceGeometry();
    // The crease flag of every half-edge.
    void ComputeCreases();
    // Valence and normal of every vertex.
    void ComputeVertexGeometry();
    // The area-weighted centroid of the surface (the vertex mean when the area is 0).
    void ComputeCentroid();
    // The largest distance of a vertex from the centroid.
    void ComputeRadius();
    // The smallest and largest coordinates over all vertices.
    void ComputeBounds();

    // Draws every face as one batch of triangles; needs a current OpenGL context.
    void Draw();
};
