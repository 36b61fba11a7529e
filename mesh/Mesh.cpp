#include "mesh/Mesh.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <utility>

namespace {

// The pivot draw uses 15 random bits whatever the C library's range is.
constexpr int kPivotRandomRange = 32768;

}  // namespace

Mesh::Mesh()
    : vertexCursor(vertices.end()), halfEdgeCursor(halfEdges.end()), faceCursor(faces.end()) {}

Mesh::Mesh(const float* coordinates, const int* indices, int vertexCount, int faceCount)
    : vertexCursor(vertices.end()), halfEdgeCursor(halfEdges.end()), faceCursor(faces.end()) {
    Build(coordinates, indices, vertexCount, faceCount);
}

bool Mesh::Build(const float* coordinates, const int* indices, int vertexCount, int faceCount) {
    if (!CreateElements(coordinates, indices, vertexCount, faceCount)) {
        return false;
    }
    EdgeEntryTable table;
    GroupEdgeEntriesFromCorners(table, indices);
    return ConnectAndComputeGeometry(table, coordinates, indices);
}

bool Mesh::BuildTakingArrays(std::unique_ptr<float[]> coordinates, std::unique_ptr<int[]> indices,
                             int vertexCount, int faceCount) {
    if (!CreateElements(coordinates.get(), indices.get(), vertexCount, faceCount)) {
        return false;
    }
    if (buildThreads > 1) {
        // the second thread sums the centroid from the arrays while matching
        EdgeEntryTable table;
        GroupEdgeEntriesFromCorners(table, indices.get());
        return ConnectAndComputeGeometry(table, coordinates.get(), indices.get());
    }
    // The elements hold everything from here on; matching then has this memory to work in, and
    // the corner list is only read to group the half-edges first.
    coordinates.reset();
    EdgeEntryTable table;
    GroupEdgeEntriesFromCorners(table, indices.get());
    indices.reset();
    return ConnectAndComputeGeometry(table, nullptr, nullptr);
}

bool Mesh::ConnectAndComputeGeometry(EdgeEntryTable& table, const float* coordinates,
                                     const int* indices) {
    if (outOfMemory) {
        return false;
    }
    if (buildThreads > 1) {
        return ConnectAndComputeGeometryOnTwoThreads(table, coordinates, indices);
    }
    MatchEdgesInTable(table, true, nullptr);
    PrintEdgeReport(edgeCounts);
    ComputeGeometryInTwoPasses(true);
    return connected;
}

std::vector<std::size_t> Mesh::StorageSizes(int vertexCount, int faceCount) {
    const std::size_t vertexTotal = static_cast<std::size_t>(vertexCount);
    const std::size_t halfEdgeTotal = 3 * static_cast<std::size_t>(faceCount);
    // the element stores, then the matching table's two arrays
    return {vertexTotal * sizeof(MeshVertex), static_cast<std::size_t>(faceCount) * sizeof(Face),
            halfEdgeTotal * sizeof(HalfEdge), (vertexTotal + 1) * sizeof(std::uint32_t),
            halfEdgeTotal * sizeof(std::uint64_t)};
}

bool Mesh::StorageWorthPreparing(int vertexCount, int faceCount, std::uint64_t fileSize) {
    constexpr std::uint64_t kLeastBytesPerElement = 6;
    if (vertexCount < 0 || faceCount < 0 ||
        (static_cast<std::uint64_t>(vertexCount) + static_cast<std::uint64_t>(faceCount)) *
                kLeastBytesPerElement >
            fileSize) {
        return false;
    }
    for (std::size_t bytes : StorageSizes(vertexCount, faceCount)) {
        if (bytes >= kElementArenaMappedMinimum) {
            return true;
        }
    }
    return false;
}

bool Mesh::CreateElements(const float* coordinates, const int* indices, int vertexCount,
                          int faceCount) {
    assert(vertexCount >= 0 && faceCount >= 0);
    assert(vertices.empty() && faces.empty());
    const std::size_t faceTotal = static_cast<std::size_t>(faceCount);
    if (!vertexStore.Reserve(static_cast<std::size_t>(vertexCount)) ||
        !faceStore.Reserve(faceTotal) || !halfEdgeStore.Reserve(3 * faceTotal)) {
        ReleaseForMemory();
        return false;
    }
    ++elementsVersion;

    // vertices in input order; the store, indexed by vertex number, is the lookup table
    for (int i = 0; i < vertexCount; ++i) {
        MeshVertex* vertex = vertexStore.New();
        vertex->id = i;
        vertex->position = Vec3{coordinates[3 * i], coordinates[3 * i + 1], coordinates[3 * i + 2]};
    }
    MeshVertex* const vertexTable = vertexStore.Data();

    // faces with their linked half-edges, three a face in creation order; in the same pass the
    // half-edge ids, origins, and each vertex's last created outgoing half-edge, which gives what
    // a second pass over the faces would, while the face's records are still in the cache
    std::int32_t halfEdgeCounter = 0;
    for (int j = 0; j < faceCount; ++j) {
        HalfEdge* halfEdge0 = halfEdgeStore.New();
        HalfEdge* halfEdge1 = halfEdgeStore.New();
        HalfEdge* halfEdge2 = halfEdgeStore.New();
        Face* face = faceStore.New(halfEdge0, halfEdge1, halfEdge2);
        face->id = j;
        for (int c = 0; c < 3; ++c) {
            HalfEdge* halfEdge = face->halfEdges[c];
            halfEdge->id = halfEdgeCounter++;
            int index = indices[3 * std::size_t(j) + c];
            assert(index >= 0 && index < vertexCount);
            MeshVertex* vertex = vertexTable + index;
            halfEdge->origin = vertex;
            vertex->halfEdge = halfEdge;
        }
    }
    faceCursor = faces.end();

    maxVertexId = vertexCount - 1;
    maxHalfEdgeId = 3 * faceCount - 1;
    maxFaceId = faceCount - 1;
    return true;
}

void Mesh::ReleaseForMemory() {
    outOfMemory = true;
    connected = false;
    geometryComputed = false;
    vertexStore.Release();
    faceStore.Release();
    halfEdgeStore.Release();
    vertexCursor = vertices.end();
    halfEdgeCursor = halfEdges.end();
    faceCursor = faces.end();
    maxVertexId = -1;
    maxHalfEdgeId = -1;
    maxFaceId = -1;
    edgeCounts = EdgeCounts();
    ++elementsVersion;
}

bool Mesh::MatchEdges() {
    MatchEdgesWithoutReport();
    if (!outOfMemory) {
        PrintEdgeReport(edgeCounts);
    }
    return connected;
}

void Mesh::PrintEdgeReport(const EdgeCounts& counts) {
    // The six lines go out in one write, so that nothing another thread prints meanwhile (the
    // viewer's GLUT start, a driver's warning) lands inside the report.
    char report[512];
    const int length =
        std::snprintf(report, sizeof report,
                      "There are %d edges\n%d good edges\n%d boundary edges\n%d non-manifold "
                      "edges\n%d degenerate edges\n%d edges with inconsistent normals\n",
                      counts.total, counts.good, counts.boundary, counts.nonManifold,
                      counts.degenerate, counts.inconsistent);
    std::cerr.write(report, length);
    std::cerr.flush();
}

bool Mesh::MatchEdgesWithoutReport(std::uint32_t* twinPositions, const int* corners) {
    EdgeEntryTable table;
    if (corners != nullptr) {
        GroupEdgeEntriesFromCorners(table, corners);
    }
    return MatchEdgesInTable(table, corners != nullptr, twinPositions);
}

bool Mesh::MatchEdgesInTable(EdgeEntryTable& table, bool grouped, std::uint32_t* twinPositions) {
    // The half-edges of one (start, end) key and those of its mirror key (end, start) decide an
    // edge's class together, whatever their order: grouping by start vertex and ordering each
    // small group by end vertex brings both runs together without reversed copies or a sort of
    // the whole set.
    if (!grouped) {
        GroupEdgeEntries(table);
    }
    if (outOfMemory) {
        return false;
    }
    SortEdgeGroups(table, 0, vertices.size());
    connected = true;
    if (twinPositions != nullptr) {
        std::fill_n(twinPositions, halfEdges.size(), kNoTwin);
    }
    edgeCounts =
        SweepEdgeEntries(table, twinPositions, 0, static_cast<std::uint32_t>(vertices.size()));
    edgeCounts.total = static_cast<std::int32_t>(halfEdges.size());
    table.groupStart.Release();
    table.entries.Release();

    if (geometryComputed) {
        std::cerr << "Recomputing the geometry" << std::endl;
        ComputeGeometry();
    }
    return connected;
}

namespace {

// Turns the group sizes, counted one slot ahead, into group starts.
void SumGroupSizes(std::uint32_t* groupStart, std::size_t vertexCount) {
    for (std::size_t v = 0; v < vertexCount; ++v) {
        groupStart[v + 1] += groupStart[v];
    }
}

// Filling used groupStart[v] as group v's fill position, which ends at the start of group v + 1;
// moves every start back where it belongs.
void RestoreGroupStarts(std::uint32_t* groupStart, std::size_t vertexCount) {
    for (std::size_t v = vertexCount; v > 0; --v) {
        groupStart[v] = groupStart[v - 1];
    }
    groupStart[0] = 0;
}

}  // namespace

void Mesh::GroupEdgeEntries(EdgeEntryTable& table) {
    const std::size_t count = halfEdges.size();
    const std::size_t vertexCount = vertices.size();
    if (!table.groupStart.Reserve(vertexCount + 1) || !table.entries.Reserve(count)) {
        table.groupStart.Release();
        ReleaseForMemory();
        return;
    }
    if (count == 0) {
        return;
    }
    // Vertices are stored in id order, so a vertex's id is its offset from the first.
    const MeshVertex* const vertexBase = vertices.front();
    std::uint32_t* const groupStart = table.groupStart.Data();
    std::uint64_t* const entries = table.entries.Data();

    // half-edges leaving each vertex, counted one slot ahead, then summed into group starts
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end(); ++halfEdgeCursor) {
        ++groupStart[(*halfEdgeCursor)->origin - vertexBase + 1];
    }
    SumGroupSizes(groupStart, vertexCount);

    // entries in half-edge order within each group
    std::uint32_t position = 0;
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end();
         ++halfEdgeCursor, ++position) {
        HalfEdge* halfEdge = *halfEdgeCursor;
        const std::uint64_t endId = static_cast<std::uint64_t>(halfEdge->EndVertex() - vertexBase);
        entries[groupStart[halfEdge->origin - vertexBase]++] = endId << 32 | position;
        halfEdge->twin = nullptr;
        halfEdge->processed = false;
    }
    RestoreGroupStarts(groupStart, vertexCount);
}

void Mesh::GroupEdgeEntriesFromCorners(EdgeEntryTable& table, const int* indices) {
    const std::size_t count = halfEdges.size();
    const std::size_t vertexCount = vertices.size();
    if (!table.groupStart.Reserve(vertexCount + 1) || !table.entries.Reserve(count)) {
        table.groupStart.Release();
        ReleaseForMemory();
        return;
    }
    if (count == 0) {
        return;
    }
    std::uint32_t* const groupStart = table.groupStart.Data();
    std::uint64_t* const entries = table.entries.Data();
    // Half-edge k runs from the vertex of corner k to the next corner of its face, and half-edges
    // just made have no twin and no processed mark, so the table comes from 4 bytes a half-edge
    // without a visit to any record.
    for (std::size_t k = 0; k < count; ++k) {
        ++groupStart[indices[k] + 1];
    }
    SumGroupSizes(groupStart, vertexCount);
    for (std::size_t face = 0; face < count; face += 3) {
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t k = face + c;
            const std::uint64_t endId = static_cast<std::uint32_t>(indices[face + (c + 1) % 3]);
            entries[groupStart[indices[k]]++] = endId << 32 | static_cast<std::uint32_t>(k);
        }
    }
    RestoreGroupStarts(groupStart, vertexCount);
    // where a walk over the records would have left it
    halfEdgeCursor = halfEdges.end();
}

void Mesh::SortEdgeGroups(EdgeEntryTable& table, std::size_t first, std::size_t last) {
    // Most groups hold a handful of entries (one per face round the vertex); a plain insertion
    // sort is quickest there, and the library sort keeps a vertex of huge valence from costing
    // quadratic time.
    constexpr std::uint32_t kInsertionSortLimit = 16;
    const std::uint32_t* const groupStart = table.groupStart.Data();
    std::uint64_t* const entries = table.entries.Data();
    if (entries == nullptr) {
        // no half-edges: every group is empty, and no pointer may be formed from a null base
        return;
    }
    for (std::size_t v = first; v < last; ++v) {
        std::uint64_t* const begin = entries + groupStart[v];
        std::uint64_t* const end = entries + groupStart[v + 1];
        if (end - begin > kInsertionSortLimit) {
            std::sort(begin, end);
            continue;
        }
        for (std::uint64_t* i = begin + 1; i < end; ++i) {
            const std::uint64_t entry = *i;
            std::uint64_t* j = i;
            for (; j > begin && *(j - 1) > entry; --j) {
                *j = *(j - 1);
            }
            *j = entry;
        }
    }
}

EdgeCounts Mesh::SweepEdgeEntries(const EdgeEntryTable& table, std::uint32_t* twinPositions,
                                  std::uint32_t first, std::uint32_t last) {
    EdgeCounts counts;
    if (halfEdges.empty()) {
        return counts;
    }
    HalfEdge* const halfEdgeBase = halfEdges.front();
    const std::uint32_t* const groupStart = table.groupStart.Data();
    const std::uint64_t* const entries = table.entries.Data();
    auto endOf = [](std::uint64_t entry) { return static_cast<std::uint32_t>(entry >> 32); };
    auto halfEdgeOf = [halfEdgeBase](std::uint64_t entry) {
        return halfEdgeBase + static_cast<std::uint32_t>(entry);
    };

    for (std::uint32_t a = first; a < last; ++a) {
        const std::uint64_t* run = entries + groupStart[a];
        const std::uint64_t* const groupEnd = entries + groupStart[a + 1];
        while (run < groupEnd) {
            // the run of key (a, b): m half-edges a -> b
            const std::uint32_t b = endOf(*run);
            const std::uint64_t* runEnd = run + 1;
            while (runEnd < groupEnd && endOf(*runEnd) == b) {
                ++runEnd;
            }
            const std::int32_t m = static_cast<std::int32_t>(runEnd - run);
            if (b == a) {
                counts.degenerate += m;
                run = runEnd;
                continue;
            }
            // the mirror run of key (b, a) in b's group: r half-edges b -> a
            const std::uint64_t* const mirrorGroupEnd = entries + groupStart[b + 1];
            const std::uint64_t* const mirror = std::lower_bound(
                entries + groupStart[b], mirrorGroupEnd, static_cast<std::uint64_t>(a) << 32);
            const std::uint64_t* mirrorEnd = mirror;
            while (mirrorEnd < mirrorGroupEnd && endOf(*mirrorEnd) == a) {
                ++mirrorEnd;
            }
            const std::int32_t r = static_cast<std::int32_t>(mirrorEnd - mirror);
            // An edge with half-edges both ways is classified once, from its smaller end.
            if (b > a || r == 0) {
                const std::int32_t n = m + r;
                if (n == 1) {
                    counts.boundary += 1;
                } else if (n == 2 && m == 1) {
                    HalfEdge* const forward = halfEdgeOf(*run);
                    HalfEdge* const backward = halfEdgeOf(*mirror);
                    forward->twin = backward;
                    backward->twin = forward;
                    if (twinPositions != nullptr) {
                        twinPositions[static_cast<std::uint32_t>(*run)] =
                            static_cast<std::uint32_t>(*mirror);
                        twinPositions[static_cast<std::uint32_t>(*mirror)] =
                            static_cast<std::uint32_t>(*run);
                    }
                    counts.good += 2;
                } else if (n == 2) {
                    counts.inconsistent += 2;
                } else {
                    counts.nonManifold += n;
                }
            }
            run = runEnd;
        }
    }
    return counts;
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
