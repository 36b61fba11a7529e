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
    // The half-edge, a mesh half-edge or a temporary reversed copy.
    HalfEdge* halfEdge = nullptr;
    // Id of the start vertex.
    std::int32_t startId = 0;
    // Id of the end vertex.
    std::int32_t endId = 0;
};

// A triangle mesh as vertices, faces and half-edges; it owns all of its elements.
class Mesh {
public:
    // Largest vertex id.
    std::int32_t maxVertexId = -1;
    // Largest half-edge id; a larger id marks a matching temporary.
    std::int32_t maxHalfEdgeId = -1;
    // Largest face id.
    std::int32_t maxFaceId = -1;
    // All vertices in id order.
    std::list<MeshVertex*> vertices;
    // All faces in id order.
    std::list<Face*> faces;
    // All half-edges of faces in id order.
    std::list<HalfEdge*> halfEdges;
    // Edge matching has run and the twin links are valid.
    bool connected = false;
    // The geometry pass has run.
    bool geometryComputed = false;
    // Position of the current traversal of vertices.
    std::list<MeshVertex*>::iterator vertexCursor;
    // Position of the current traversal of halfEdges.
    std::list<HalfEdge*>::iterator halfEdgeCursor;
    // Position of the current traversal of faces.
    std::list<Face*>::iterator faceCursor;
    // Area-weighted centroid of the surface.
    Vec3 centroid{0.0f, 0.0f, 0.0f};
    // Largest coordinates over all vertices.
    Vec3 boundsMax{0.0f, 0.0f, 0.0f};
    // Smallest coordinates over all vertices.
    Vec3 boundsMin{0.0f, 0.0f, 0.0f};
    // Largest distance of a vertex from the centroid.
    float radius = 0.0f;
    // Material colour of the mesh, drawn with alpha 1.
    Vec3 colour{0.5f, 0.5f, 0.5f};
    // Options passed to element drawing; Draw sets the two normal flags.
    DrawOptions drawOptions;

    // Builds the mesh from three coordinates per vertex and three vertex numbers per face.
    Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount);
    // Releases every vertex, face and half-edge.
    ~Mesh();
    // A mesh owns its elements, so it is never copied.
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
