#include "mesh/Mesh.h"

#include <cassert>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace {

// The pivot draw uses 15 random bits whatever the C library's range is.
constexpr int kPivotRandomRange = 32768;

// Cuts the twin link on both sides and marks the partner so the sweep skips its mirror run.
void Unlink(HalfEdge* halfEdge) {
    HalfEdge* partner = halfEdge->twin;
    partner->processed = true;
    partner->twin = nullptr;
    halfEdge->twin = nullptr;
}

// Storage that cannot be had leaves no way to build the mesh; like a failed new, this ends the
// process.
void ReserveOrAbort(bool reserved) {
    if (!reserved) {
        std::cerr << "Error: not enough memory to build the mesh" << std::endl;
        std::abort();
    }
}

}  // namespace

Mesh::Mesh()
    : vertexCursor(vertices.end()), halfEdgeCursor(halfEdges.end()), faceCursor(faces.end()) {}

Mesh::Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount)
    : vertexCursor(vertices.end()), halfEdgeCursor(halfEdges.end()), faceCursor(faces.end()) {
    Build(coordinates, indices, vertexCount, faceCount);
}

Mesh::~Mesh() {
    // The element stores release the elements.
    if (drawListRelease != nullptr) {
        (this->*drawListRelease)();
    }
}

bool Mesh::Build(const float* coordinates, const int* indices, int vertexCount, int faceCount) {
    CreateElements(coordinates, indices, vertexCount, faceCount);
    MatchEdges();
    MarkBoundaryVertices();
    MarkDegenerateElements();
    ComputeGeometry();
    return connected;
}

void Mesh::CreateElements(const float* coordinates, const int* indices, int vertexCount,
                          int faceCount) {
    assert(vertexCount >= 0 && faceCount >= 0);
    assert(vertices.empty() && faces.empty());
    const std::size_t faceTotal = static_cast<std::size_t>(faceCount);
    ReserveOrAbort(vertexStore.Reserve(static_cast<std::size_t>(vertexCount)) &&
                   faceStore.Reserve(faceTotal) && halfEdgeStore.Reserve(3 * faceTotal));
    drawListsStale = true;

    // vertices in input order; the store, indexed by vertex number, is the lookup table
    for (int i = 0; i < vertexCount; ++i) {
        MeshVertex* vertex = vertexStore.New();
        vertex->id = i;
        vertex->position = Vec3{coordinates[3 * i], coordinates[3 * i + 1], coordinates[3 * i + 2]};
        vertices.push_back(vertex);
    }
    MeshVertex* const vertexTable = vertexStore.Data();

    // faces with their linked half-edges, three a face in creation order
    for (int j = 0; j < faceCount; ++j) {
        HalfEdge* halfEdge0 = halfEdgeStore.New();
        HalfEdge* halfEdge1 = halfEdgeStore.New();
        HalfEdge* halfEdge2 = halfEdgeStore.New();
        Face* face = faceStore.New(halfEdge0, halfEdge1, halfEdge2);
        face->id = j;
        faces.push_back(face);
    }

    // half-edge ids, origins, and each vertex's last created outgoing half-edge
    std::int32_t halfEdgeCounter = 0;
    int j = 0;
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor, ++j) {
        for (int c = 0; c < 3; ++c) {
            HalfEdge* halfEdge = (*faceCursor)->halfEdges[c];
            halfEdge->id = halfEdgeCounter++;
            halfEdges.push_back(halfEdge);
            int index = indices[3 * j + c];
            assert(index >= 0 && index < vertexCount);
            MeshVertex* vertex = vertexTable + index;
            halfEdge->origin = vertex;
            vertex->halfEdge = halfEdge;
        }
    }

    maxVertexId = vertexCount - 1;
    maxHalfEdgeId = 3 * faceCount - 1;
    maxFaceId = faceCount - 1;
}

bool Mesh::MatchEdges() {
    MatchEdgesWithoutReport();
    PrintEdgeReport(edgeCounts);
    return connected;
}

void Mesh::PrintEdgeReport(const EdgeCounts& counts) {
    std::cerr << "There are " << counts.total << " edges" << std::endl;
    std::cerr << counts.good << " good edges" << std::endl;
    std::cerr << counts.boundary << " boundary edges" << std::endl;
    std::cerr << counts.nonManifold << " non-manifold edges" << std::endl;
    std::cerr << counts.degenerate << " degenerate edges" << std::endl;
    std::cerr << counts.inconsistent << " edges with inconsistent normals" << std::endl;
}

bool Mesh::MatchEdgesWithoutReport() {
    const std::size_t count = halfEdges.size();
    const std::size_t total = 2 * count;
    // Temporaries, entries and their keys live in one block each for the length of this call.
    // The keys are computed once, here, in an array of their own: the sort's scans read only
    // them, and the sweep later rewires the twins a temporary's key would be read through.
    ElementArena<HalfEdge> temporaries;
    ElementArena<HalfEdge*> entryStore;
    ElementArena<std::uint64_t> keyStore;
    ReserveOrAbort(temporaries.Reserve(count) && entryStore.Reserve(total) &&
                   keyStore.Reserve(total));
    HalfEdge** const entries = entryStore.Data();
    std::uint64_t* const keys = keyStore.Data();

    // mesh half-edges, then one reversed temporary each
    std::size_t k = 0;
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end();
         ++halfEdgeCursor, ++k) {
        HalfEdge* halfEdge = *halfEdgeCursor;
        HalfEdge* temporary = temporaries.New();
        temporary->id = maxHalfEdgeId + 1 + static_cast<std::int32_t>(k);
        temporary->origin = halfEdge->EndVertex();
        temporary->twin = halfEdge;
        halfEdge->twin = temporary;
        const std::int32_t startId = halfEdge->origin->id;
        const std::int32_t endId = temporary->origin->id;
        entries[k] = halfEdge;
        keys[k] = EdgeKey(startId, endId);
        entries[count + k] = temporary;
        keys[count + k] = EdgeKey(endId, startId);
    }

    if (total > 0) {
        SortEdgeEntries(entries, keys, 0, static_cast<int>(total) - 1);
    }
    connected = true;

    // sweep the runs of equal keys; each run's mirror run lies later and gets skipped
    int good = 0;
    int boundary = 0;
    int nonManifold = 0;
    int degenerate = 0;
    int inconsistent = 0;
    k = 0;
    while (k < total) {
        while (k < total && entries[k]->processed) {
            entries[k]->processed = false;
            ++k;
        }
        if (k == total) {
            break;
        }
        HalfEdge* a = entries[k];
        const std::uint64_t key = keys[k];
        if (key >> 32 == (key & 0xffffffffu)) {
            Unlink(a);
            ++degenerate;
            ++k;
            continue;
        }
        std::size_t n = 1;
        while (k + n < total && keys[k + n] == key) {
            ++n;
        }
        if (n == 1) {
            Unlink(a);
            ++boundary;
        } else if (n == 2) {
            HalfEdge* b = entries[k + 1];
            HalfEdge* twinA = a->twin;
            HalfEdge* twinB = b->twin;
            twinA->processed = true;
            twinB->processed = true;
            bool aIsTemporary = a->id > maxHalfEdgeId;
            bool bIsTemporary = b->id > maxHalfEdgeId;
            if (aIsTemporary == bIsTemporary) {
                a->twin = nullptr;
                b->twin = nullptr;
                twinA->twin = nullptr;
                twinB->twin = nullptr;
                inconsistent += 2;
            } else {
                a->twin = twinB;
                b->twin = twinA;
                twinA->twin = b;
                twinB->twin = a;
                good += 2;
            }
        } else {
            for (std::size_t i = k; i < k + n; ++i) {
                Unlink(entries[i]);
            }
            nonManifold += static_cast<int>(n);
        }
        k += n;
    }

    // the temporaries go, then the buffer; mesh half-edges keep a twin only in a good pair
    temporaries.Release();
    entryStore.Release();
    keyStore.Release();

    if (geometryComputed) {
        std::cerr << "Recomputing the geometry" << std::endl;
        ComputeGeometry();
    }

    edgeCounts = {
        static_cast<std::int32_t>(count), good, boundary, nonManifold, degenerate, inconsistent};
    return connected;
}

void Mesh::SortEdgeEntries(HalfEdge** entries, std::uint64_t* keys, int lo, int hi) {
    while (lo < hi) {
        // random pivot from 15 bits, moved to lo
        long long r = std::rand() % kPivotRandomRange;
        int p = lo + static_cast<int>(r * (hi - lo + 1) / kPivotRandomRange);
        std::swap(entries[p], entries[lo]);
        std::swap(keys[p], keys[lo]);
        const std::uint64_t pivot = keys[lo];

        // Hoare partition
        int i = lo - 1;
        int j = hi + 1;
        for (;;) {
            do {
                --j;
            } while (pivot < keys[j]);
            do {
                ++i;
            } while (keys[i] < pivot);
            if (i >= j) {
                break;
            }
            std::swap(entries[i], entries[j]);
            std::swap(keys[i], keys[j]);
        }

        // recurse on the lower part, loop on the upper part
        SortEdgeEntries(entries, keys, lo, j);
        lo = j + 1;
    }
}
