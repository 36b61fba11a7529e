#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mesh/Mesh.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/ReferenceMatching.h"

// Edge matching against the reference matching, the plain step-by-step version of it (see
// tests/support/ReferenceMatching.h). Every twin link, mark, count and the report must come out
// the same.
namespace {

std::string ReportText(const EdgeCounts& counts) {
    std::ostringstream text;
    text << "There are " << counts.total << " edges\n"
         << counts.good << " good edges\n"
         << counts.boundary << " boundary edges\n"
         << counts.nonManifold << " non-manifold edges\n"
         << counts.degenerate << " degenerate edges\n"
         << counts.inconsistent << " edges with inconsistent normals\n";
    return text.str();
}

void ExpectSameMatching(const ZelMesh& data, const std::string& name) {
    SCOPED_TRACE(name);
    fixtures::BuiltMesh built = fixtures::Build(data);
    const Mesh& mesh = *built.mesh;
    const ReferenceMatching expected = ReferenceMatchingOf(data.indices);
    const EdgeCounts& counts = mesh.edgeCounts;
    fixtures::ExpectCounts(counts, expected.counts, name);
    EXPECT_EQ(built.report, ReportText(expected.counts));
    ASSERT_EQ(mesh.halfEdges.size(), expected.twin.size());
    int id = 0;
    for (const HalfEdge* h : mesh.halfEdges) {
        ASSERT_EQ(h->id, id);
        ASSERT_EQ(h->twin != nullptr ? h->twin->id : -1,
                  expected.twin[static_cast<std::size_t>(id)])
            << "twin of half-edge " << id;
        ASSERT_FALSE(h->processed) << "half-edge " << id;
        ++id;
    }

    // the same links as positions, for callers that walk them without the records; every
    // position is written, whatever the array held; grouped from the records or the corners
    for (bool fromCorners : {false, true}) {
        Mesh again;
        again.CreateElements(data.coordinates.data(), data.indices.data(), ZelMeshVertexCount(data),
                             ZelMeshFaceCount(data));
        std::vector<std::uint32_t> positions(again.halfEdges.size(), 7);
        again.MatchEdgesWithoutReport(positions.data(),
                                      fromCorners ? data.indices.data() : nullptr);
        for (std::size_t k = 0; k < positions.size(); ++k) {
            const int twin = expected.twin[k];
            ASSERT_EQ(positions[k], twin < 0 ? Mesh::kNoTwin : static_cast<std::uint32_t>(twin))
                << "twin position of half-edge " << k << (fromCorners ? " from corners" : "");
        }
        fixtures::ExpectCounts(again.edgeCounts, expected.counts, name);
    }
}

using fixtures::DamagedTorus;
using fixtures::RandomSoup;
using fixtures::WithVertices;

TEST(MeshMatching, EveryEdgeClassPairsLikeTheStepByStepMatching) {
    const std::pair<const char*, ZelMesh> cases[] = {
        {"empty", fixtures::Empty()},
        {"boundary: single triangle", fixtures::SingleTriangle()},
        {"good: tetrahedron", fixtures::Tetrahedron()},
        {"good and boundary: square", fixtures::Square()},
        {"inconsistent pair", fixtures::InconsistentPair()},
        {"inconsistent: duplicate triangle", fixtures::DuplicateTriangle()},
        {"good: opposite triangles", fixtures::OppositeTriangles()},
        {"non-manifold run of 3", fixtures::Fin()},
        {"degenerate a a b", fixtures::DegenerateAab()},
        {"degenerate a a a", fixtures::DegenerateAaa()},
        {"isolated vertex", fixtures::UnusedVertex()},
        // edge 0-1 with four and with five faces, in both directions
        {"non-manifold run of 4", WithVertices(6, {0, 1, 2, 1, 0, 3, 0, 1, 4, 1, 0, 5})},
        {"non-manifold run of 5", WithVertices(7, {0, 1, 2, 0, 1, 3, 1, 0, 4, 0, 1, 5, 1, 0, 6})},
        // edge 1-0 twice the same way, seen first from its smaller end with no half-edge 0 -> 1
        {"inconsistent from the larger end", WithVertices(4, {1, 0, 2, 1, 0, 3})},
        // a degenerate half-edge 2 -> 2 beside a good pair and a repeated degenerate face
        {"degenerate among good", WithVertices(4, {0, 1, 2, 1, 0, 3, 2, 2, 3, 2, 2, 3})},
        // a vertex of valence 40 round a closed fan: groups larger than a few entries
        {"high valence", [] {
             std::vector<int> fan;
             for (int i = 1; i <= 40; ++i) {
                 fan.insert(fan.end(), {0, i, i % 40 + 1});
             }
             return WithVertices(41, fan);
         }()},
        {"small torus with fins", fixtures::Torus(12, 8, false, true)},
        {"small open torus", fixtures::Torus(12, 8, true)},
    };
    for (const auto& [name, data] : cases) {
        ExpectSameMatching(data, name);
    }
}

TEST(MeshMatching, LargeRandomMeshesPairLikeTheStepByStepMatching) {
    ExpectSameMatching(DamagedTorus(5), "damaged torus");
    ExpectSameMatching(fixtures::Torus(300, 200, false, true), "torus with fins");
    // few vertices, many faces: long non-manifold runs and large groups
    ExpectSameMatching(RandomSoup(11, 30, 3000), "dense soup");
    ExpectSameMatching(RandomSoup(12, 50000, 100000), "sparse soup");
}

TEST(MeshMatching, MatchingAgainGivesTheSameTwinsAndCounts) {
    const ZelMesh data = DamagedTorus(8);
    fixtures::BuiltMesh built = fixtures::Build(data);
    Mesh& mesh = *built.mesh;
    std::vector<const HalfEdge*> twins;
    for (const HalfEdge* h : mesh.halfEdges) {
        twins.push_back(h->twin);
    }
    const EdgeCounts before = mesh.edgeCounts;
    {
        CerrCapture capture;
        EXPECT_TRUE(mesh.MatchEdges());
    }
    EXPECT_EQ(mesh.edgeCounts.good, before.good);
    EXPECT_EQ(mesh.edgeCounts.nonManifold, before.nonManifold);
    EXPECT_EQ(mesh.edgeCounts.degenerate, before.degenerate);
    std::size_t i = 0;
    for (const HalfEdge* h : mesh.halfEdges) {
        ASSERT_EQ(h->twin, twins[i++]);
    }
}

}  // namespace
