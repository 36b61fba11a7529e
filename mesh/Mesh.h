#pragma once

// How a mesh is stored. The construction, matching, geometry and drawing code and zelcheck's
// topology pass all rely on these rules; this is the one place they are written down.
// 1. Each kind of element lives in one ElementArena, its records contiguous in id order, and the
//    list of that kind (vertices, faces, halfEdges) is that arena's run of records. A record's id
//    is its position in its list (ElementList::PositionOf, ElementList::operator[]), so ids and
//    pointers convert by an offset, and the vertex records are an array OpenGL can read with the
//    record's size as stride.
// 2. The face at position f owns the half-edges at positions 3f, 3f + 1 and 3f + 2, one per
//    corner in order; half-edge k runs from corner k to the next corner of its face. So the
//    half-edge list matches the input corner list one to one, and a position gives its face
//    (FacePosition) and the next half-edge (NextHalfEdgePosition) without a record read.
// 3. Memory order is id order is visit order: every walk over a list meets the records in the
//    order of their addresses, so of two half-edges the one at the lower address is met first.
// 4. Matching can hand the twins back as positions written over the corner list the elements were
//    made from (TwinPositionsInCorners): it reads every corner before it writes a position, and a
//    corner and a position take 4 bytes each.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "camera/Vec3.h"
#include "mesh/DrawOptions.h"
#include "mesh/EdgeCounts.h"
#include "mesh/ElementArena.h"
#include "mesh/ElementList.h"
#include "mesh/Face.h"
#include "mesh/HalfEdge.h"
#include "mesh/MeshVertex.h"

// A triangle mesh as vertices, faces and half-edges; it owns all of its elements.
class Mesh {
    // Storage of the elements, in id order; the three lists are views of it. It comes first, so
    // that it exists before the lists and cursors made from it.
    ElementArena<MeshVertex> vertexStore;
    ElementArena<Face> faceStore;
    ElementArena<HalfEdge> halfEdgeStore;

public:
    // Largest vertex id.
    std::int32_t maxVertexId = -1;
    // Largest half-edge id; a larger id marks a matching temporary.
    std::int32_t maxHalfEdgeId = -1;
    // Largest face id.
    std::int32_t maxFaceId = -1;
    // All vertices in id order.
    ElementList<MeshVertex> vertices{vertexStore};
    // All faces in id order.
    ElementList<Face> faces{faceStore};
    // All half-edges of faces in id order.
    ElementList<HalfEdge> halfEdges{halfEdgeStore};
    // Edge matching has run and the twin links are valid.
    bool connected = false;
    // The geometry pass has run.
    bool geometryComputed = false;
    // A building step could not have the memory it needed: the mesh then holds no elements, and
    // the steps after it do nothing.
    bool outOfMemory = false;
    // The counts of the last edge matching, as its report prints them.
    EdgeCounts edgeCounts;
    // Position of the current traversal of vertices.
    ElementList<MeshVertex>::iterator vertexCursor;
    // Position of the current traversal of halfEdges.
    ElementList<HalfEdge>::iterator halfEdgeCursor;
    // Position of the current traversal of faces.
    ElementList<Face>::iterator faceCursor;
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
    // Raised whenever the elements or their drawn values change (construction, marks, the
    // geometry pass), so that a copy of them kept elsewhere (drawing's display lists) is known to
    // be out of date.
    std::uint64_t elementsVersion = 0;
    // Threads Build may use: 1, or 2 to share matching and the geometry pass with a second
    // thread, which gives every record and value bit for bit as one thread does.
    int buildThreads = 1;

    // An empty mesh, for the building steps to be run one by one.
    Mesh();
    // Builds the mesh from three coordinates per vertex and three vertex numbers per face (see
    // outOfMemory).
    Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount);
    // A mesh owns its elements, so it is never copied.
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Creates the elements, matches edges, marks and computes the geometry; returns connected,
    // false also when the memory could not be had (outOfMemory).
    bool Build(const float* coordinates, const int* indices, int vertexCount, int faceCount);
    // Build from new[]-allocated arrays the mesh takes over and releases as soon as the elements
    // are made, before matching; returns connected.
    bool BuildTakingArrays(std::unique_ptr<float[]> coordinates, std::unique_ptr<int[]> indices,
                           int vertexCount, int faceCount);
    // The sizes of the blocks that CreateElements and matching ask the element storage for, with
    // these counts: what an ElementArenaPool is prepared with to have them ready ahead.
    static std::vector<std::size_t> StorageSizes(int vertexCount, int faceCount);
    // Whether storage for these counts from a header is worth preparing ahead: some block is
    // large enough to be mapped, and a file of fileSize bytes (a known size, not a stream's) can
    // hold that many vertices and faces (each takes at least six bytes, "0 0 0" and a separator),
    // so a short file whose header claims a huge mesh makes nothing be prepared that a valid
    // file of its size would not need.
    static bool StorageWorthPreparing(int vertexCount, int faceCount, std::uint64_t fileSize);
    // Creates the vertices, faces and half-edges in input order; the mesh has none before. False,
    // with outOfMemory set and nothing made, when their storage cannot be had.
    bool CreateElements(const float* coordinates, const int* indices, int vertexCount,
                        int faceCount);
    // Pairs twins, classifies every edge, keeps the counts in edgeCounts and prints the report;
    // returns connected. Without memory for the matching table the elements are released
    // (outOfMemory) and nothing is printed.
    bool MatchEdges();
    // Marks a half-edge without twin among the positions MatchEdgesWithoutReport hands back.
    static constexpr std::uint32_t kNoTwin = 0xffffffffu;
    // The position in faces of the face that owns the half-edge at halfEdgePosition.
    static constexpr std::uint32_t FacePosition(std::uint32_t halfEdgePosition) {
        return halfEdgePosition / 3;
    }
    // The position of the next half-edge of the same face.
    static constexpr std::uint32_t NextHalfEdgePosition(std::uint32_t halfEdgePosition) {
        return halfEdgePosition % 3 == 2 ? halfEdgePosition - 2 : halfEdgePosition + 1;
    }
    // The corner list the elements were made from, as room for MatchEdgesWithoutReport's twin
    // positions (one per half-edge) once the corners are no longer needed.
    static std::uint32_t* TwinPositionsInCorners(int* corners) {
        // an unsigned view of an int may alias it
        static_assert(std::is_same_v<std::uint32_t, unsigned int>, "a position is an unsigned int");
        return reinterpret_cast<std::uint32_t*>(corners);
    }
    // The same matching, keeping the counts in edgeCounts, without printing the report; returns
    // connected. twinPositions, when given, has room for one number per half-edge and receives,
    // for the half-edge at each position of halfEdges, its twin's position or kNoTwin: the links
    // in a form a caller can walk without reading every record back.
    // corners, when given, is the corner list CreateElements has just made the elements from
    // (with no matching since), from which the half-edges are grouped without a pass over their
    // records; it is read before twinPositions is written, so the two may share memory.
    bool MatchEdgesWithoutReport(std::uint32_t* twinPositions = nullptr,
                                 const int* corners = nullptr);
    // Prints the six-line edge report of the counts on standard error.
    static void PrintEdgeReport(const EdgeCounts& counts);
    // The key of a half-edge running from vertex startId to vertex endId, as one number that
    // orders like the pair (start first); ids are never negative.
    static std::uint64_t EdgeKey(std::int32_t startId, std::int32_t endId) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(startId)) << 32 |
               static_cast<std::uint32_t>(endId);
    }
    // Sorts entries lo ... hi (both included) by key: quicksort, random pivot, Hoare partition.
    // keys[k] is the key of entries[k]; the two arrays are permuted together.
    static void SortEdgeEntries(HalfEdge** entries, std::uint64_t* keys, int lo, int hi);

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

    // Draws every face as one batch of triangles in immediate mode; needs a current OpenGL
    // context. MeshDrawLists draws the same from display lists.
    void Draw();
    // Queries shading and lighting, sets the mesh colour and chooses the normals: the start of
    // every drawing of the mesh.
    void BeginDraw();
    // Sends every face between one glBegin/glEnd pair, walking faces with faceCursor.
    void DrawFaces();

private:
    // The half-edges grouped by start vertex, for the length of one matching: group v runs from
    // groupStart[v] to groupStart[v + 1] in entries, and an entry holds the end vertex id in its
    // upper 32 bits and the half-edge's position in halfEdges in its lower 32 bits.
    struct EdgeEntryTable {
        ElementArena<std::uint32_t> groupStart;
        ElementArena<std::uint64_t> entries;
    };
    // The steps of Build after the elements are made from these arrays and the table filled from
    // them: matching and its report, marks and the geometry pass; returns connected. With one
    // build thread the arrays are not read.
    bool ConnectAndComputeGeometry(EdgeEntryTable& table, const float* coordinates,
                                   const int* indices);
    // The geometry pass in two traversals, a face pass and a vertex pass, giving exactly what the
    // steps give one after another; with marks, the boundary and degeneracy marks are set in the
    // face pass too.
    void ComputeGeometryInTwoPasses(bool marks);
    // Marks (optionally), half-edge directions, face normals, creases and the centroid sums.
    void UpdateFacesAndCentroid(bool marks);
    // ComputeCentroid from the arrays the elements were made from, which give the same corners
    // and positions without a pass over the records.
    void ComputeCentroidFromArrays(const float* coordinates, const int* indices);
    // Divides the centroid sums by the total weight, or takes the vertex mean without area.
    void FinishCentroid(double weightSum);
    // Vertex valences and normals, the radius and the bounds.
    void UpdateVerticesRadiusAndBounds();
    // Releases every element and marks the mesh outOfMemory.
    void ReleaseForMemory();
    // Fills the table, one entry per half-edge, and clears every twin link and processed mark.
    void GroupEdgeEntries(EdgeEntryTable& table);
    // The same table from the corner list the elements were just made from, while no half-edge
    // has a twin or a processed mark yet.
    void GroupEdgeEntriesFromCorners(EdgeEntryTable& table, const int* indices);
    // The matching, in a table already filled (grouped) or not; see MatchEdgesWithoutReport.
    bool MatchEdgesInTable(EdgeEntryTable& table, bool grouped, std::uint32_t* twinPositions);
    // Orders the groups of vertices first ... last - 1 by end vertex, so the half-edges of one
    // (start, end) key form a run.
    static void SortEdgeGroups(EdgeEntryTable& table, std::size_t first, std::size_t last);
    // Classifies every edge whose smaller end (or, without half-edges the other way, whose
    // start) is one of vertices first ... last - 1, from the runs of its two directions, links
    // the good pairs as twins (also in twinPositions, when given) and returns their counts
    // (without the total). Edges of different ranges touch different half-edges.
    EdgeCounts SweepEdgeEntries(const EdgeEntryTable& table, std::uint32_t* twinPositions,
                                std::uint32_t first, std::uint32_t last);
    // ConnectAndComputeGeometry with the work shared with a second thread (MeshBuildThreads.cpp),
    // from the table and the arrays the elements were just made from.
    bool ConnectAndComputeGeometryOnTwoThreads(EdgeEntryTable& table, const float* coordinates,
                                               const int* indices);
    // The face pass over faces first ... last - 1 while another thread runs it over other faces:
    // marks, directions, normals and creases, without the centroid sums.
    void UpdateFaceRange(std::size_t first, std::size_t last);
    // Valences and normals of vertices first ... last - 1, widening squaredRadius (from the
    // centroid) and the bounds low and high over their positions.
    void UpdateVertexRange(std::size_t first, std::size_t last, float& squaredRadius, Vec3& low,
                           Vec3& high);
};
