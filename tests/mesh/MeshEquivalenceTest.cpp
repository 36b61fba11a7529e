#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/ElementArena.h"
#include "mesh/Mesh.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/ReferenceMatching.h"

// The built mesh against the same values computed the straightforward way from the input arrays:
// the reference matching, per-face vectors in double, flood fills round each vertex. Small
// fixtures and real-sized tori (closed, open, with non-manifold fins) both run.
namespace {

struct Vec3d {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

Vec3d Sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3d Cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3d Unit(const Vec3d& v) {
    double length = std::sqrt(Dot(v, v));
    return length > 0.0 ? Vec3d{v.x / length, v.y / length, v.z / length} : Vec3d{};
}

// What a built mesh should hold, indexed by element id.
struct Reference {
    EdgeCounts counts{0, 0, 0, 0, 0, 0};
    std::vector<int> twin;
    std::vector<int> degenerate;
    std::vector<double> length;
    std::vector<int> degeneracy;
    std::vector<Vec3d> faceNormal;
    std::vector<char> crease;
    std::vector<int> halfEdge;
    std::vector<char> boundary;
    std::vector<int> valence;
    std::vector<Vec3d> vertexNormal;
    Vec3d centroid;
    Vec3 boundsMin{1e10f, 1e10f, 1e10f};
    Vec3 boundsMax{-1e10f, -1e10f, -1e10f};
};

Reference ComputeReference(const ZelMesh& data) {
    const int vertexCount = ZelMeshVertexCount(data);
    const int halfEdgeCount = static_cast<int>(data.indices.size());
    Reference r;
    auto position = [&data](int v) {
        const float* p = &data.coordinates[3 * static_cast<std::size_t>(v)];
        return Vec3d{p[0], p[1], p[2]};
    };
    auto start = [&data](int h) { return data.indices[static_cast<std::size_t>(h)]; };
    auto end = [&data](int h) {
        return data.indices[static_cast<std::size_t>(h - h % 3 + (h + 1) % 3)];
    };

    // edges: twins and counts from the reference matching, the degenerate flag per half-edge
    const ReferenceMatching matching = ReferenceMatchingOf(data.indices);
    r.counts = matching.counts;
    r.twin = matching.twin;
    for (int h = 0; h < halfEdgeCount; ++h) {
        r.degenerate.push_back(start(h) == end(h) ? 1 : 0);
    }

    // faces: lengths, degeneracy, normals from the two unit edge vectors of corners 1 and 2
    const int faceCount = ZelMeshFaceCount(data);
    r.length.resize(static_cast<std::size_t>(halfEdgeCount));
    for (int h = 0; h < halfEdgeCount; ++h) {
        Vec3d d = Sub(position(end(h)), position(start(h)));
        r.length[static_cast<std::size_t>(h)] = std::sqrt(Dot(d, d));
    }
    double weightSum = 0.0;
    Vec3d weighted;
    for (int f = 0; f < faceCount; ++f) {
        int count = r.degenerate[3 * f] + r.degenerate[3 * f + 1] + r.degenerate[3 * f + 2];
        r.degeneracy.push_back(count == 3 ? 1 : (count > 0 ? 2 : 0));
        Vec3d p0 = position(start(3 * f));
        Vec3d p1 = position(start(3 * f + 1));
        Vec3d p2 = position(start(3 * f + 2));
        r.faceNormal.push_back(Unit(Cross(Unit(Sub(p2, p1)), Unit(Sub(p0, p2)))));
        double w = std::sqrt(Dot(Cross(Sub(p0, p1), Sub(p0, p2)), Cross(Sub(p0, p1), Sub(p0, p2))));
        weightSum += w;
        weighted = {weighted.x + w * (p0.x + p1.x + p2.x), weighted.y + w * (p0.y + p1.y + p2.y),
                    weighted.z + w * (p0.z + p1.z + p2.z)};
    }
    if (weightSum > 0.0) {
        r.centroid = {weighted.x / (3 * weightSum), weighted.y / (3 * weightSum),
                      weighted.z / (3 * weightSum)};
    }
    for (int h = 0; h < halfEdgeCount; ++h) {
        int t = r.twin[static_cast<std::size_t>(h)];
        r.crease.push_back(t < 0 || Dot(r.faceNormal[static_cast<std::size_t>(h / 3)],
                                        r.faceNormal[static_cast<std::size_t>(t / 3)]) < 0.0);
    }

    // vertices: last half-edge leaving, boundary ends, the fan flooded through twinned edges
    r.halfEdge.assign(static_cast<std::size_t>(vertexCount), -1);
    r.boundary.assign(static_cast<std::size_t>(vertexCount), 0);
    for (int h = 0; h < halfEdgeCount; ++h) {
        r.halfEdge[static_cast<std::size_t>(start(h))] = h;
        if (r.twin[static_cast<std::size_t>(h)] < 0) {
            r.boundary[static_cast<std::size_t>(start(h))] = 1;
            r.boundary[static_cast<std::size_t>(end(h))] = 1;
        }
    }
    for (int v = 0; v < vertexCount; ++v) {
        std::vector<int> fan;
        if (r.halfEdge[static_cast<std::size_t>(v)] >= 0) {
            fan.push_back(r.halfEdge[static_cast<std::size_t>(v)] / 3);
        }
        for (std::size_t i = 0; i < fan.size(); ++i) {
            int f = fan[i];
            for (int h = 3 * f; h < 3 * f + 3; ++h) {
                int t = r.twin[static_cast<std::size_t>(h)];
                bool touches = start(h) == v || end(h) == v;
                if (touches && t >= 0 && std::find(fan.begin(), fan.end(), t / 3) == fan.end()) {
                    fan.push_back(t / 3);
                }
            }
        }
        Vec3d sum;
        for (int f : fan) {
            const Vec3d& n = r.faceNormal[static_cast<std::size_t>(f)];
            sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
        }
        r.valence.push_back(static_cast<int>(fan.size()));
        r.vertexNormal.push_back(Unit(sum));
        const float* p = &data.coordinates[3 * static_cast<std::size_t>(v)];
        r.boundsMin = {std::min(r.boundsMin.x, p[0]), std::min(r.boundsMin.y, p[1]),
                       std::min(r.boundsMin.z, p[2])};
        r.boundsMax = {std::max(r.boundsMax.x, p[0]), std::max(r.boundsMax.y, p[1]),
                       std::max(r.boundsMax.z, p[2])};
    }
    return r;
}

constexpr double kNormalTolerance = 1e-5;

void ExpectNear(const Vec3& actual, const Vec3d& expected, double tolerance, const char* what,
                int id) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what << " " << id;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what << " " << id;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what << " " << id;
}

// Builds the mesh and compares every reported count, link, flag and value with the reference.
void ExpectMatchesReference(const ZelMesh& data, const char* name) {
    SCOPED_TRACE(name);
    fixtures::BuiltMesh built = fixtures::Build(data);
    const Mesh& mesh = *built.mesh;
    const Reference r = ComputeReference(data);

    const EdgeCounts& counts = mesh.edgeCounts;
    fixtures::ExpectCounts(counts, r.counts, name);
    ASSERT_EQ(mesh.halfEdges.size(), r.twin.size());
    ASSERT_EQ(mesh.faces.size(), r.faceNormal.size());
    ASSERT_EQ(mesh.vertices.size(), r.valence.size());

    for (const HalfEdge* h : mesh.halfEdges) {
        const std::size_t i = static_cast<std::size_t>(h->id);
        ASSERT_EQ(h->twin != nullptr ? h->twin->id : -1, r.twin[i]) << "twin of " << h->id;
        ASSERT_EQ(h->degenerate, r.degenerate[i]) << "half-edge " << h->id;
        ASSERT_NEAR(h->length, r.length[i], 1e-6 * (1.0 + r.length[i])) << "half-edge " << h->id;
        ASSERT_EQ(h->crease, r.crease[i] != 0) << "half-edge " << h->id;
    }
    for (const Face* f : mesh.faces) {
        const std::size_t i = static_cast<std::size_t>(f->id);
        ASSERT_EQ(f->degeneracy, r.degeneracy[i]) << "face " << f->id;
        ExpectNear(f->normal, r.faceNormal[i], kNormalTolerance, "face", f->id);
        const Vec3& p = f->Vertex0()->position;
        const Vec3& n = f->normal;
        EXPECT_NEAR(f->planeOffset, double(n.x) * p.x + double(n.y) * p.y + double(n.z) * p.z, 1e-9)
            << "face " << f->id;
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    for (const MeshVertex* v : mesh.vertices) {
        const std::size_t i = static_cast<std::size_t>(v->id);
        ASSERT_EQ(v->halfEdge != nullptr ? v->halfEdge->id : -1, r.halfEdge[i])
            << "vertex " << v->id;
        ASSERT_EQ(v->boundary, r.boundary[i] != 0) << "vertex " << v->id;
        ASSERT_EQ(v->valence, r.valence[i]) << "vertex " << v->id;
        ExpectNear(v->normal, r.vertexNormal[i], kNormalTolerance, "vertex", v->id);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    // Bounds are plain comparisons, exact; the centroid sums in float over every face.
    EXPECT_EQ(mesh.boundsMin.x, r.boundsMin.x);
    EXPECT_EQ(mesh.boundsMin.y, r.boundsMin.y);
    EXPECT_EQ(mesh.boundsMin.z, r.boundsMin.z);
    EXPECT_EQ(mesh.boundsMax.x, r.boundsMax.x);
    EXPECT_EQ(mesh.boundsMax.y, r.boundsMax.y);
    EXPECT_EQ(mesh.boundsMax.z, r.boundsMax.z);
    ExpectNear(mesh.centroid, r.centroid, 1e-3, "centroid", 0);
    double radius = 0.0;
    for (int v = 0; v < ZelMeshVertexCount(data); ++v) {
        const float* p = &data.coordinates[3 * static_cast<std::size_t>(v)];
        Vec3d d{mesh.centroid.x - double(p[0]), mesh.centroid.y - double(p[1]),
                mesh.centroid.z - double(p[2])};
        radius = std::max(radius, std::sqrt(Dot(d, d)));
    }
    EXPECT_NEAR(mesh.radius, radius, 1e-5 * (1.0 + radius));
}

TEST(MeshEquivalence, SmallMeshesMatchTheStraightforwardValues) {
    // Meshes whose faces have three distinct corners, so every fan is a plain flood fill.
    const std::pair<const char*, ZelMesh> cases[] = {
        {"empty", fixtures::Empty()},
        {"single triangle", fixtures::SingleTriangle()},
        {"square", fixtures::Square()},
        {"inconsistent pair", fixtures::InconsistentPair()},
        {"duplicate triangle", fixtures::DuplicateTriangle()},
        {"opposite triangles", fixtures::OppositeTriangles()},
        {"fin", fixtures::Fin()},
        {"right angle", fixtures::RightAngle()},
        {"tetrahedron", fixtures::Tetrahedron()},
        {"unused vertex", fixtures::UnusedVertex()},
        {"hexagon fan", fixtures::HexagonFan()},
        {"open fan", fixtures::OpenFan()},
        {"two fans", fixtures::TwoFans()},
        {"small torus", fixtures::Torus(12, 8)},
        {"small open torus", fixtures::Torus(12, 8, true)},
        {"small torus with fins", fixtures::Torus(12, 8, false, true)},
    };
    for (const auto& [name, data] : cases) {
        ExpectMatchesReference(data, name);
    }
}

TEST(MeshEquivalence, RealSizedToriMatchTheStraightforwardValues) {
    // 200,000 faces each: far more half-edges than any cache holds, and element storage spread
    // over many pages.
    ExpectMatchesReference(fixtures::Torus(500, 200), "torus");
    ExpectMatchesReference(fixtures::Torus(500, 200, true), "open torus");
    ExpectMatchesReference(fixtures::Torus(500, 200, false, true), "torus with fins");
}

TEST(MeshEquivalence, DegenerateFacesReportAndFlagLikeTheStraightforwardCount) {
    // Faces with repeated corners: counts, twins and flags only (a fan with such a face is not a
    // plain flood fill).
    for (const ZelMesh& data : {fixtures::DegenerateAab(), fixtures::DegenerateAaa()}) {
        fixtures::BuiltMesh built = fixtures::Build(data);
        const Reference r = ComputeReference(data);
        const EdgeCounts& counts = built.mesh->edgeCounts;
        EXPECT_EQ(counts.good, r.counts.good);
        EXPECT_EQ(counts.degenerate, r.counts.degenerate);
        for (const HalfEdge* h : built.mesh->halfEdges) {
            EXPECT_EQ(h->twin != nullptr ? h->twin->id : -1,
                      r.twin[static_cast<std::size_t>(h->id)]);
            EXPECT_EQ(h->degenerate, r.degenerate[static_cast<std::size_t>(h->id)]);
        }
        EXPECT_EQ(built.mesh->faces.front()->degeneracy, r.degeneracy[0]);
    }
}

// The mesh made by calling the public steps one after another, in the order Build runs them.
std::unique_ptr<Mesh> BuildStepByStep(const ZelMesh& data) {
    auto mesh = std::make_unique<Mesh>();
    mesh->CreateElements(data.coordinates.data(), data.indices.data(), ZelMeshVertexCount(data),
                         ZelMeshFaceCount(data));
    mesh->MatchEdgesWithoutReport();
    mesh->MarkBoundaryVertices();
    mesh->MarkDegenerateElements();
    mesh->ComputeFaceGeometry();
    mesh->ComputeCreases();
    mesh->ComputeVertexGeometry();
    mesh->geometryComputed = true;
    mesh->ComputeCentroid();
    mesh->ComputeRadius();
    mesh->ComputeBounds();
    return mesh;
}

std::uint64_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

template <typename T>
std::uint64_t Id(const T* element) {
    return element != nullptr ? static_cast<std::uint64_t>(element->id) : ~0ull;
}

// Every field of every element and of the mesh, floats as their bits, links as ids.
std::vector<std::vector<std::uint64_t>> AllFields(const Mesh& mesh) {
    std::vector<std::vector<std::uint64_t>> fields;
    for (const HalfEdge* h : mesh.halfEdges) {
        fields.push_back({Id(h), Id(h->next), Id(h->twin), Id(h->origin), Id(h->face),
                          static_cast<std::uint64_t>(h->degenerate), h->processed, h->crease,
                          Bits(h->direction.x), Bits(h->direction.y), Bits(h->direction.z),
                          Bits(h->length)});
    }
    for (const Face* f : mesh.faces) {
        fields.push_back({Id(f), f->mark, Bits(f->normal.x), Bits(f->normal.y), Bits(f->normal.z),
                          Bits(f->planeOffset), Id(f->halfEdges[0]), Id(f->halfEdges[1]),
                          Id(f->halfEdges[2]), static_cast<std::uint64_t>(f->degeneracy)});
    }
    for (const MeshVertex* v : mesh.vertices) {
        fields.push_back({Id(v), v->mark, Bits(v->position.x), Bits(v->position.y),
                          Bits(v->position.z), Bits(v->normal.x), Bits(v->normal.y),
                          Bits(v->normal.z), Id(v->halfEdge),
                          static_cast<std::uint64_t>(v->valence), v->boundary});
    }
    const EdgeCounts& c = mesh.edgeCounts;
    fields.push_back({static_cast<std::uint64_t>(mesh.maxVertexId),
                      static_cast<std::uint64_t>(mesh.maxHalfEdgeId),
                      static_cast<std::uint64_t>(mesh.maxFaceId),
                      mesh.connected,
                      mesh.geometryComputed,
                      static_cast<std::uint64_t>(c.total),
                      static_cast<std::uint64_t>(c.good),
                      static_cast<std::uint64_t>(c.boundary),
                      static_cast<std::uint64_t>(c.nonManifold),
                      static_cast<std::uint64_t>(c.degenerate),
                      static_cast<std::uint64_t>(c.inconsistent),
                      Bits(mesh.centroid.x),
                      Bits(mesh.centroid.y),
                      Bits(mesh.centroid.z),
                      Bits(mesh.radius),
                      Bits(mesh.boundsMin.x),
                      Bits(mesh.boundsMin.y),
                      Bits(mesh.boundsMin.z),
                      Bits(mesh.boundsMax.x),
                      Bits(mesh.boundsMax.y),
                      Bits(mesh.boundsMax.z)});
    return fields;
}

TEST(MeshEquivalence, BuildGivesBitForBitWhatThePublicStepsGiveOneAfterAnother) {
    const std::pair<const char*, ZelMesh> cases[] = {
        {"empty", fixtures::Empty()},
        {"single triangle", fixtures::SingleTriangle()},
        {"square", fixtures::Square()},
        {"inconsistent pair", fixtures::InconsistentPair()},
        {"duplicate triangle", fixtures::DuplicateTriangle()},
        {"fin", fixtures::Fin()},
        {"tetrahedron", fixtures::Tetrahedron()},
        {"degenerate a-a-b", fixtures::DegenerateAab()},
        {"degenerate a-a-a", fixtures::DegenerateAaa()},
        {"unused vertex", fixtures::UnusedVertex()},
        {"open fan", fixtures::OpenFan()},
        {"two fans", fixtures::TwoFans()},
        {"open torus", fixtures::Torus(40, 20, true)},
        {"damaged torus with fins", fixtures::DamagedTorus(5, 40, 20, true)},
        {"large damaged torus with fins", fixtures::DamagedTorus(11, 400, 250, true)},
        // runs of many faces on one edge, every class of edge
        {"soup", fixtures::RandomSoup(3, 40, 3000)},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        fixtures::BuiltMesh built = fixtures::Build(data);
        const auto fused = AllFields(*built.mesh);
        const auto stepwise = AllFields(*BuildStepByStep(data));
        ASSERT_EQ(fused.size(), stepwise.size());
        for (std::size_t i = 0; i < fused.size(); ++i) {
            // Records run half-edges, faces, vertices, then the mesh's own fields.
            ASSERT_EQ(fused[i], stepwise[i]) << "record " << i;
        }
        // A second pass recomputes the same values.
        built.mesh->ComputeGeometry();
        ASSERT_EQ(AllFields(*built.mesh), fused);
    }
}

// The mesh built on two threads, from arrays it takes over, with its storage faulted in ahead by
// the pool's thread as the viewer prepares it; the report it printed goes to report.
std::unique_ptr<Mesh> BuildOnTwoThreads(const ZelMesh& data, std::string* report) {
    const int vertexCount = ZelMeshVertexCount(data);
    const int faceCount = ZelMeshFaceCount(data);
    auto coordinates = std::make_unique<float[]>(data.coordinates.size());
    auto indices = std::make_unique<int[]>(data.indices.size());
    std::copy(data.coordinates.begin(), data.coordinates.end(), coordinates.get());
    std::copy(data.indices.begin(), data.indices.end(), indices.get());
    ElementArenaPool pool;
    ElementArenaPoolPrepareAhead(pool, Mesh::StorageSizes(vertexCount, faceCount));
    ElementArenaPoolAdopt(&pool);
    auto mesh = std::make_unique<Mesh>();
    mesh->buildThreads = 2;
    {
        CerrCapture capture;
        mesh->BuildTakingArrays(std::move(coordinates), std::move(indices), vertexCount, faceCount);
        *report = capture.Text();
    }
    ElementArenaPoolAdopt(nullptr);
    EXPECT_TRUE(pool.blocks.empty()) << pool.blocks.size() << " prepared blocks were not taken";
    return mesh;
}

TEST(MeshEquivalence, TwoThreadsBuildBitForBitWhatOneThreadBuilds) {
    // Every part of every step holds records of both kinds of pair (twin in the same part, twin
    // in a part the other thread may not have reached) once the mesh has a few hundred faces.
    const std::pair<const char*, ZelMesh> cases[] = {
        {"empty", fixtures::Empty()},
        {"single triangle", fixtures::SingleTriangle()},
        {"inconsistent pair", fixtures::InconsistentPair()},
        {"fin", fixtures::Fin()},
        {"degenerate a-a-b", fixtures::DegenerateAab()},
        {"degenerate a-a-a", fixtures::DegenerateAaa()},
        {"unused vertex", fixtures::UnusedVertex()},
        {"two fans", fixtures::TwoFans()},
        {"open torus", fixtures::Torus(40, 20, true)},
        {"damaged torus with fins", fixtures::DamagedTorus(5, 40, 20, true)},
        {"soup", fixtures::RandomSoup(3, 40, 3000)},
        // 200,000 faces: the pool's blocks are mapped, and the pool's thread is still faulting
        // them in while the elements are made
        {"large damaged torus with fins", fixtures::DamagedTorus(11, 400, 250, true)},
        {"large soup", fixtures::RandomSoup(7, 30000, 200000)},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        fixtures::BuiltMesh one = fixtures::Build(data);
        std::string report;
        const std::unique_ptr<Mesh> two = BuildOnTwoThreads(data, &report);
        EXPECT_TRUE(fixtures::ValidateConnectivity(*two));
        EXPECT_EQ(report, one.report);
        // drawing's lists see the same changes
        EXPECT_EQ(two->elementsVersion, one.mesh->elementsVersion);
        const auto oneFields = AllFields(*one.mesh);
        const auto twoFields = AllFields(*two);
        ASSERT_EQ(twoFields.size(), oneFields.size());
        for (std::size_t i = 0; i < oneFields.size(); ++i) {
            ASSERT_EQ(twoFields[i], oneFields[i]) << "record " << i;
        }
        // the same from arrays the mesh does not take over
        Mesh fromArrays;
        fromArrays.buildThreads = 2;
        {
            CerrCapture capture;
            fromArrays.Build(data.coordinates.data(), data.indices.data(), ZelMeshVertexCount(data),
                             ZelMeshFaceCount(data));
        }
        ASSERT_EQ(AllFields(fromArrays), oneFields);
    }
}

}  // namespace
