#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "mesh/Mesh.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/EdgeCountsDirect.h"

namespace {

using fixtures::Build;
using fixtures::ParseReport;

struct ExpectedCounts {
    const char* name;
    ZelMesh data;
    EdgeCounts counts;
};

int TwinCount(const Mesh& mesh) {
    int count = 0;
    for (const HalfEdge* h : mesh.halfEdges) {
        count += h->twin != nullptr ? 1 : 0;
    }
    return count;
}

TEST(MeshBuild, ReportCountsEveryEdgeCase) {
    const ExpectedCounts cases[] = {
        {"empty", fixtures::Empty(), {0, 0, 0, 0, 0, 0}},
        {"single triangle", fixtures::SingleTriangle(), {3, 0, 3, 0, 0, 0}},
        {"tetrahedron", fixtures::Tetrahedron(), {12, 12, 0, 0, 0, 0}},
        {"inconsistent pair", fixtures::InconsistentPair(), {6, 0, 4, 0, 0, 2}},
        {"duplicate triangle", fixtures::DuplicateTriangle(), {6, 0, 0, 0, 0, 6}},
        {"opposite triangles", fixtures::OppositeTriangles(), {6, 6, 0, 0, 0, 0}},
        {"fin", fixtures::Fin(), {9, 0, 6, 3, 0, 0}},
        {"corners a a b", fixtures::DegenerateAab(), {3, 2, 0, 0, 1, 0}},
        {"corners a a a", fixtures::DegenerateAaa(), {3, 0, 0, 0, 3, 0}},
        {"square", fixtures::Square(), {6, 2, 4, 0, 0, 0}},
    };
    for (const ExpectedCounts& c : cases) {
        fixtures::BuiltMesh built = Build(c.data);
        fixtures::ExpectCounts(built.mesh->edgeCounts, c.counts, c.name);
        fixtures::ExpectCounts(ParseReport(built.report), c.counts, c.name);
        EXPECT_EQ(TwinCount(*built.mesh), c.counts.good) << c.name;
        EXPECT_TRUE(built.mesh->connected) << c.name;
    }
}

TEST(MeshBuild, ReportIsSixExactLines) {
    fixtures::BuiltMesh built = Build(fixtures::SingleTriangle());
    EXPECT_EQ(built.report,
              "There are 3 edges\n"
              "0 good edges\n"
              "3 boundary edges\n"
              "0 non-manifold edges\n"
              "0 degenerate edges\n"
              "0 edges with inconsistent normals\n");
}

TEST(MeshBuild, EmptyMeshLeavesNoVertexWithHalfEdge) {
    fixtures::BuiltMesh built = Build(ZelMesh{{1, 2, 3, 4, 5, 6}, {}});
    ASSERT_EQ(built.mesh->vertices.size(), 2u);
    for (const MeshVertex* v : built.mesh->vertices) {
        EXPECT_EQ(v->halfEdge, nullptr);
    }
    EXPECT_EQ(built.mesh->maxVertexId, 1);
    EXPECT_EQ(built.mesh->maxHalfEdgeId, -1);
    EXPECT_EQ(built.mesh->maxFaceId, -1);
}

TEST(MeshBuild, ElementsFollowInputOrder) {
    ZelMesh data = fixtures::Tetrahedron();
    fixtures::BuiltMesh built = Build(data);
    const Mesh& mesh = *built.mesh;
    EXPECT_EQ(mesh.maxVertexId, 3);
    EXPECT_EQ(mesh.maxHalfEdgeId, 11);
    EXPECT_EQ(mesh.maxFaceId, 3);

    int i = 0;
    for (const MeshVertex* v : mesh.vertices) {
        EXPECT_EQ(v->id, i);
        EXPECT_EQ(v->position.x, data.coordinates[3 * static_cast<std::size_t>(i)]);
        EXPECT_EQ(v->position.y, data.coordinates[3 * static_cast<std::size_t>(i) + 1]);
        EXPECT_EQ(v->position.z, data.coordinates[3 * static_cast<std::size_t>(i) + 2]);
        ++i;
    }
    int f = 0;
    for (const Face* face : mesh.faces) {
        EXPECT_EQ(face->id, f);
        const MeshVertex* corners[3] = {face->Vertex0(), face->Vertex1(), face->Vertex2()};
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(face->halfEdges[c]->id, 3 * f + c);
            EXPECT_EQ(corners[c]->id, data.indices[static_cast<std::size_t>(3 * f + c)]);
        }
        ++f;
    }
}

TEST(MeshBuild, VertexKeepsLastCreatedOutgoingHalfEdge) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    // Highest half-edge id leaving each vertex, read off the index list.
    const int expected[4] = {6, 9, 11, 10};
    for (const MeshVertex* v : built.mesh->vertices) {
        ASSERT_NE(v->halfEdge, nullptr);
        EXPECT_EQ(v->halfEdge->id, expected[v->id]);
    }
}

TEST(MeshBuild, GoodPairsAreMutualReversedTwins) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    for (const HalfEdge* h : built.mesh->halfEdges) {
        ASSERT_NE(h->twin, nullptr);
        EXPECT_EQ(h->twin->twin, h);
        EXPECT_EQ(h->twin->origin, h->next->origin);
        EXPECT_NE(h->twin->face, h->face);
    }
}

TEST(MeshBuild, UnpairedEdgesHaveNoTwin) {
    fixtures::BuiltMesh built = Build(fixtures::InconsistentPair());
    // The shared edge 2-0 is half-edge 2 of face 0 and half-edge 0 of face 1.
    for (const HalfEdge* h : built.mesh->halfEdges) {
        EXPECT_EQ(h->twin, nullptr) << h->id;
    }
    fixtures::BuiltMesh square = Build(fixtures::Square());
    for (const HalfEdge* h : square.mesh->halfEdges) {
        bool shared = h->id == 2 || h->id == 3;
        EXPECT_EQ(h->twin != nullptr, shared) << h->id;
    }
}

TEST(MeshBuild, StorageSizesAreTheBlocksBuildingAsksFor) {
    // 200,000 faces: every store and the matching entries take mapped blocks
    const ZelMesh data = fixtures::Torus(400, 250);
    const int vertexCount = ZelMeshVertexCount(data);
    const int faceCount = ZelMeshFaceCount(data);
    ElementArenaPool pool;
    ElementArenaPoolPrepare(pool, Mesh::StorageSizes(vertexCount, faceCount));
    ASSERT_GE(pool.blocks.size(), 4u);
    ElementArenaPoolAdopt(&pool);
    Mesh mesh;
    mesh.CreateElements(data.coordinates.data(), data.indices.data(), vertexCount, faceCount);
    mesh.MatchEdgesWithoutReport();
    ElementArenaPoolAdopt(nullptr);
    EXPECT_TRUE(pool.blocks.empty()) << pool.blocks.size() << " prepared blocks were not asked for";
    EXPECT_EQ(mesh.edgeCounts.good, 3 * faceCount);
}

TEST(MeshBuild, RandomSoupsMatchDirectCountsAndSumToTotal) {
    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        int vertexCount = 3 + static_cast<int>(random() % 6);
        int faceCount = static_cast<int>(random() % 30);
        ZelMesh data;
        for (int i = 0; i < 3 * vertexCount; ++i) {
            data.coordinates.push_back(static_cast<float>(random() % 100) / 10.0f);
        }
        for (int i = 0; i < 3 * faceCount; ++i) {
            data.indices.push_back(static_cast<int>(random() % static_cast<unsigned>(vertexCount)));
        }
        fixtures::BuiltMesh built = Build(data);
        const EdgeCounts& counts = built.mesh->edgeCounts;
        EXPECT_EQ(counts.total, 3 * faceCount);
        EXPECT_EQ(counts.good + counts.boundary + counts.nonManifold + counts.degenerate +
                      counts.inconsistent,
                  counts.total);
        fixtures::ExpectCounts(counts, EdgeCountsDirect(data.indices), "soup");
        EXPECT_EQ(TwinCount(*built.mesh), counts.good);
        if (HasFailure()) {
            ADD_FAILURE() << "first failing round " << round;
            break;
        }
    }
}

TEST(MeshBuild, MatchingAgainRecomputesAndReportsTheSame) {
    fixtures::BuiltMesh built = Build(fixtures::Fin());
    Mesh& mesh = *built.mesh;
    std::string report;
    {
        CerrCapture capture;
        EXPECT_TRUE(mesh.MatchEdges());
        report = capture.Text();
    }
    EXPECT_EQ(report.rfind("Recomputing the geometry\n", 0), 0u);
    EXPECT_EQ(report.substr(std::string("Recomputing the geometry\n").size()), built.report);
    EXPECT_TRUE(fixtures::ValidateConnectivity(mesh));
}

// An entry with its key as the (start, end) pair, for readable expectations.
struct EdgeEntry {
    HalfEdge* halfEdge;
    int startId;
    int endId;
};

// Sorts entries lo ... hi with Mesh::SortEdgeEntries, the keys in an array of their own.
void SortEntries(std::vector<EdgeEntry>& entries, int lo, int hi) {
    std::vector<HalfEdge*> halfEdges;
    std::vector<std::uint64_t> keys;
    for (const EdgeEntry& entry : entries) {
        halfEdges.push_back(entry.halfEdge);
        keys.push_back(Mesh::EdgeKey(entry.startId, entry.endId));
    }
    Mesh::SortEdgeEntries(halfEdges.data(), keys.data(), lo, hi);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = {halfEdges[i], static_cast<int>(keys[i] >> 32),
                      static_cast<int>(keys[i] & 0xffffffffu)};
    }
}

TEST(MeshSort, KeyOrdersLikeThePairStartFirst) {
    std::mt19937 random(7);
    // Ids up to the reader's largest vertex count, and the small ones where a sign would show.
    for (int round = 0; round < 10000; ++round) {
        std::uint32_t spread = round % 2 == 0 ? 4u : 100000000u;
        int a = static_cast<int>(random() % spread);
        int b = static_cast<int>(random() % spread);
        int c = static_cast<int>(random() % spread);
        int d = static_cast<int>(random() % spread);
        ASSERT_EQ(Mesh::EdgeKey(a, b) < Mesh::EdgeKey(c, d),
                  std::make_pair(a, b) < std::make_pair(c, d))
            << a << " " << b << " " << c << " " << d;
        ASSERT_EQ(Mesh::EdgeKey(a, b) == Mesh::EdgeKey(c, d), a == c && b == d);
    }
}

TEST(MeshSort, SortsByKeyAndKeepsEveryEntry) {
    std::mt19937 random(99);
    std::vector<HalfEdge> halfEdges(600);
    for (int size : {0, 1, 2, 3, 17, 600}) {
        for (int spread : {1, 3, 1000}) {
            std::vector<EdgeEntry> entries(static_cast<std::size_t>(size));
            for (std::size_t i = 0; i < entries.size(); ++i) {
                entries[i] = {&halfEdges[i], static_cast<int>(random() % spread),
                              static_cast<int>(random() % spread)};
            }
            std::vector<EdgeEntry> before = entries;
            if (size > 0) {
                SortEntries(entries, 0, size - 1);
            }
            auto keyLess = [](const EdgeEntry& a, const EdgeEntry& b) {
                return std::make_pair(a.startId, a.endId) < std::make_pair(b.startId, b.endId);
            };
            EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(), keyLess))
                << size << " " << spread;
            // Same entries, each still carrying its own key.
            auto byPointer = [](const EdgeEntry& a, const EdgeEntry& b) {
                return a.halfEdge < b.halfEdge;
            };
            std::sort(before.begin(), before.end(), byPointer);
            std::sort(entries.begin(), entries.end(), byPointer);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                EXPECT_EQ(entries[i].halfEdge, before[i].halfEdge);
                EXPECT_EQ(entries[i].startId, before[i].startId);
                EXPECT_EQ(entries[i].endId, before[i].endId);
            }
        }
    }
}

TEST(MeshSort, SortsOnlyTheGivenRange) {
    std::vector<HalfEdge> halfEdges(6);
    std::vector<EdgeEntry> entries = {{&halfEdges[0], 9, 9}, {&halfEdges[1], 5, 2},
                                      {&halfEdges[2], 5, 1}, {&halfEdges[3], 1, 7},
                                      {&halfEdges[4], 5, 1}, {&halfEdges[5], 0, 0}};
    SortEntries(entries, 1, 4);
    EXPECT_EQ(entries[0].halfEdge, &halfEdges[0]);
    EXPECT_EQ(entries[5].halfEdge, &halfEdges[5]);
    EXPECT_EQ(entries[1].halfEdge, &halfEdges[3]);
    EXPECT_EQ(entries[2].startId, 5);
    EXPECT_EQ(entries[2].endId, 1);
    EXPECT_EQ(entries[3].endId, 1);
    EXPECT_EQ(entries[4].halfEdge, &halfEdges[1]);
}

}  // namespace
