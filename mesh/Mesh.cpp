#include "mesh/Mesh.h"

#include <cassert>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

namespace {

// The pivot draw uses 15 random bits whatever the C library's range is.
constexpr int kPivotRandomRange = 32768;

// Lexicographic key order, start vertex first.
bool EdgeKeyLess(const EdgeEntry& a, const EdgeEntry& b) {
    return a.startId < b.startId || (a.startId == b.startId && a.endId < b.endId);
}

bool EdgeKeyEqual(const EdgeEntry& a, const EdgeEntry& b) {
    return a.startId == b.startId && a.endId == b.endId;
}

// Cuts the twin link on both sides and marks the partner so the sweep skips its mirror run.
void Unlink(HalfEdge* halfEdge) {
    HalfEdge* partner = halfEdge->twin;
    partner->processed = true;
    partner->twin = nullptr;
    halfEdge->twin = nullptr;
}

}  // namespace

Mesh::Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount)
    : vertexCursor(vertices.end()), halfEdgeCursor(halfEdges.end()), faceCursor(faces.end()) {
    Build(coordinates, indices, vertexCount, faceCount);
}

Mesh::~Mesh() {
    // Faces release their own half-edges.
    for (Face* face : faces) {
        delete face;
    }
    for (MeshVertex* vertex : vertices) {
        delete vertex;
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
    std::vector<MeshVertex*> vertexTable;
    vertexTable.reserve(static_cast<std::size_t>(vertexCount));

    // vertices in input order
    for (int i = 0; i < vertexCount; ++i) {
        MeshVertex* vertex = new MeshVertex;
        vertex->id = i;
        vertex->position.Set(coordinates[3 * i], coordinates[3 * i + 1], coordinates[3 * i + 2]);
        vertices.push_back(vertex);
        vertexTable.push_back(vertex);
    }

    // faces with their linked half-edges
    for (int j = 0; j < faceCount; ++j) {
        Face* face = new Face;
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
            MeshVertex* vertex = vertexTable[static_cast<std::size_t>(index)];
            halfEdge->origin = vertex;
            vertex->halfEdge = halfEdge;
        }
    }

    maxVertexId = vertexCount - 1;
    maxHalfEdgeId = 3 * faceCount - 1;
    maxFaceId = faceCount - 1;
}

bool Mesh::MatchEdges() {
    const std::size_t count = halfEdges.size();
    std::vector<EdgeEntry> entries(2 * count);

    // mesh half-edges, then one reversed temporary each
    std::size_t k = 0;
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end();
         ++halfEdgeCursor, ++k) {
        HalfEdge* halfEdge = *halfEdgeCursor;
        HalfEdge* temporary = new HalfEdge;
        temporary->id = maxHalfEdgeId + 1 + static_cast<std::int32_t>(k);
        temporary->origin = halfEdge->EndVertex();
        temporary->twin = halfEdge;
        halfEdge->twin = temporary;
        entries[k] = {halfEdge, halfEdge->origin->id, temporary->origin->id};
        entries[count + k] = {temporary, temporary->origin->id, halfEdge->origin->id};
    }

    if (!entries.empty()) {
        SortEdgeEntries(entries.data(), 0, static_cast<int>(entries.size()) - 1);
    }
    connected = true;

    // sweep the runs of equal keys; each run's mirror run lies later and gets skipped
    int good = 0;
    int boundary = 0;
    int nonManifold = 0;
    int degenerate = 0;
    int inconsistent = 0;
    const std::size_t total = entries.size();
    k = 0;
    while (k < total) {
        while (k < total && entries[k].halfEdge->processed) {
            entries[k].halfEdge->processed = false;
            ++k;
        }
        if (k == total) {
            break;
        }
        HalfEdge* a = entries[k].halfEdge;
        if (entries[k].startId == entries[k].endId) {
            Unlink(a);
            ++degenerate;
            ++k;
            continue;
        }
        std::size_t n = 1;
        while (k + n < total && EdgeKeyEqual(entries[k + n], entries[k])) {
            ++n;
        }
        if (n == 1) {
            Unlink(a);
            ++boundary;
        } else if (n == 2) {
            HalfEdge* b = entries[k + 1].halfEdge;
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
                Unlink(entries[i].halfEdge);
            }
            nonManifold += static_cast<int>(n);
        }
        k += n;
    }

    // the temporaries go; mesh half-edges keep a twin only in a good pair
    for (const EdgeEntry& entry : entries) {
        if (entry.halfEdge->id > maxHalfEdgeId) {
            delete entry.halfEdge;
        }
    }
    entries.clear();
    entries.shrink_to_fit();

    if (geometryComputed) {
        std::cerr << "Recomputing the geometry" << std::endl;
        ComputeGeometry();
    }

    std::cerr << "There are " << count << " edges" << std::endl;
    std::cerr << good << " good edges" << std::endl;
    std::cerr << boundary << " boundary edges" << std::endl;
    std::cerr << nonManifold << " non-manifold edges" << std::endl;
    std::cerr << degenerate << " degenerate edges" << std::endl;
    std::cerr << inconsistent << " edges with inconsistent normals" << std::endl;
    return connected;
}

void Mesh::SortEdgeEntries(EdgeEntry* entries, int lo, int hi) {
    while (lo < hi) {
        // random pivot from 15 bits, moved to lo
        long long r = std::rand() % kPivotRandomRange;
        int p = lo + static_cast<int>(r * (hi - lo + 1) / kPivotRandomRange);
        std::swap(entries[p], entries[lo]);
        const EdgeEntry pivot = entries[lo];

        // Hoare partition
        int i = lo - 1;
        int j = hi + 1;
        for (;;) {
            do {
                --j;
            } while (EdgeKeyLess(pivot, entries[j]));
            do {
                ++i;
            } while (EdgeKeyLess(entries[i], pivot));
            if (i >= j) {
                break;
            }
            std::swap(entries[i], entries[j]);
        }

        // recurse on the lower part, loop on the upper part
        SortEdgeEntries(entries, lo, j);
        lo = j + 1;
    }
}
