#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh/Mesh.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/Vec3Expect.h"

namespace {

using fixtures::Build;
using fixtures::FaceAt;
using fixtures::VertexAt;

constexpr float kTolerance = 1e-6f;

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Every computed float of the mesh is a number.
void ExpectNoNaN(const Mesh& mesh) {
    for (const HalfEdge* h : mesh.halfEdges) {
        EXPECT_TRUE(Finite(h->direction)) << "half-edge " << h->id;
        EXPECT_TRUE(std::isfinite(h->length)) << "half-edge " << h->id;
    }
    for (const Face* f : mesh.faces) {
        EXPECT_TRUE(Finite(f->normal)) << "face " << f->id;
        EXPECT_TRUE(std::isfinite(f->planeOffset)) << "face " << f->id;
    }
    for (const MeshVertex* v : mesh.vertices) {
        EXPECT_TRUE(Finite(v->normal)) << "vertex " << v->id;
    }
    EXPECT_TRUE(Finite(mesh.centroid));
    EXPECT_TRUE(std::isfinite(mesh.radius));
}

TEST(MeshGeometry, SingleTriangleValues) {
    fixtures::BuiltMesh built = Build(fixtures::SingleTriangle());
    const Mesh& mesh = *built.mesh;
    EXPECT_TRUE(mesh.geometryComputed);
    const Face* face = FaceAt(mesh, 0);
    ExpectVec3Near(face->normal, MakeVec3(0, 0, 1), kTolerance, "face normal");
    EXPECT_NEAR(face->planeOffset, 0.0, 1e-12);
    EXPECT_EQ(face->degeneracy, 0);

    const float lengths[3] = {1.0f, std::sqrt(2.0f), 1.0f};
    for (int c = 0; c < 3; ++c) {
        const HalfEdge* h = face->halfEdges[c];
        EXPECT_NEAR(h->length, lengths[c], kTolerance) << c;
        EXPECT_NEAR(Vec3Length(h->direction), 1.0f, kTolerance) << c;
        EXPECT_TRUE(h->crease) << c;
        EXPECT_EQ(h->degenerate, 0) << c;
    }
    ExpectVec3Near(face->halfEdges[1]->direction, MakeVec3(-std::sqrt(0.5f), std::sqrt(0.5f), 0),
                   kTolerance, "1 -> 2");

    for (const MeshVertex* v : mesh.vertices) {
        EXPECT_EQ(v->valence, 1);
        ExpectVec3Near(v->normal, MakeVec3(0, 0, 1), kTolerance, "vertex normal");
        EXPECT_TRUE(v->boundary);
    }
    ExpectVec3Near(mesh.centroid, MakeVec3(1.0f / 3.0f, 1.0f / 3.0f, 0), kTolerance, "centroid");
    EXPECT_NEAR(mesh.radius, std::sqrt(5.0f) / 3.0f, kTolerance);
    ExpectVec3Near(mesh.boundsMin, MakeVec3(0, 0, 0), kTolerance, "boundsMin");
    ExpectVec3Near(mesh.boundsMax, MakeVec3(1, 1, 0), kTolerance, "boundsMax");
}

TEST(MeshGeometry, ClockwiseTriangleFacesAway) {
    fixtures::BuiltMesh built = Build(fixtures::ClockwiseTriangle());
    ExpectVec3Near(FaceAt(*built.mesh, 0)->normal, MakeVec3(0, 0, -1), kTolerance, "face normal");
}

TEST(MeshGeometry, PlaneOffsetIsTheFacesDistanceAlongItsNormal) {
    ZelMesh data = fixtures::SingleTriangle();
    for (std::size_t i = 2; i < data.coordinates.size(); i += 3) {
        data.coordinates[i] = 2.5f;
    }
    fixtures::BuiltMesh built = Build(data);
    EXPECT_NEAR(FaceAt(*built.mesh, 0)->planeOffset, 2.5, 1e-6);
}

TEST(MeshGeometry, SquareSharedEdgeIsNoCrease) {
    fixtures::BuiltMesh built = Build(fixtures::Square());
    for (const HalfEdge* h : built.mesh->halfEdges) {
        bool shared = h->twin != nullptr;
        EXPECT_EQ(h->crease, !shared) << h->id;
    }
    const int valences[4] = {2, 1, 2, 1};
    for (const MeshVertex* v : built.mesh->vertices) {
        EXPECT_EQ(v->valence, valences[v->id]) << v->id;
        ExpectVec3Near(v->normal, MakeVec3(0, 0, 1), kTolerance, "vertex normal");
    }
}

TEST(MeshGeometry, TwinsShareLengthAndOppositeDirection) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    for (const HalfEdge* h : built.mesh->halfEdges) {
        ASSERT_NE(h->twin, nullptr);
        EXPECT_EQ(h->length, h->twin->length);
        EXPECT_NEAR(h->length, std::sqrt(8.0f), kTolerance);
        Vec3 sum{h->direction.x + h->twin->direction.x, h->direction.y + h->twin->direction.y,
                 h->direction.z + h->twin->direction.z};
        ExpectVec3Near(sum, MakeVec3(0, 0, 0), kTolerance, "direction + twin direction");
    }
}

TEST(MeshGeometry, RightAngleIsNoCrease) {
    fixtures::BuiltMesh built = Build(fixtures::RightAngle());
    int shared = 0;
    for (const HalfEdge* h : built.mesh->halfEdges) {
        if (h->twin != nullptr) {
            ++shared;
            EXPECT_FALSE(h->crease) << h->id;
        }
    }
    EXPECT_EQ(shared, 2);
}

TEST(MeshGeometry, TetrahedronCreasesEverywhereAndNormalsPointOut) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    const Mesh& mesh = *built.mesh;
    for (const HalfEdge* h : mesh.halfEdges) {
        EXPECT_TRUE(h->crease) << h->id;
    }
    const float inverseRoot3 = 1.0f / std::sqrt(3.0f);
    for (const MeshVertex* v : mesh.vertices) {
        EXPECT_EQ(v->valence, 3);
        EXPECT_FALSE(v->boundary);
        ExpectVec3Near(v->normal,
                       MakeVec3(v->position.x * inverseRoot3, v->position.y * inverseRoot3,
                                v->position.z * inverseRoot3),
                       kTolerance, "vertex normal");
    }
    for (const Face* f : mesh.faces) {
        // The face's normal points away from the vertex it does not use.
        Vec3 sum{f->Vertex0()->position.x + f->Vertex1()->position.x + f->Vertex2()->position.x,
                 f->Vertex0()->position.y + f->Vertex1()->position.y + f->Vertex2()->position.y,
                 f->Vertex0()->position.z + f->Vertex1()->position.z + f->Vertex2()->position.z};
        ExpectVec3Near(f->normal,
                       MakeVec3(sum.x * inverseRoot3, sum.y * inverseRoot3, sum.z * inverseRoot3),
                       kTolerance, "face normal");
        EXPECT_NEAR(f->planeOffset, inverseRoot3, 1e-6);
    }
    ExpectVec3Near(mesh.centroid, MakeVec3(0, 0, 0), kTolerance, "centroid");
    EXPECT_NEAR(mesh.radius, std::sqrt(3.0f), kTolerance);
}

TEST(MeshGeometry, FaceWithTwoEqualCornersIsPartlyDegenerateWithoutNaN) {
    fixtures::BuiltMesh built = Build(fixtures::DegenerateAab());
    const Mesh& mesh = *built.mesh;
    const Face* face = FaceAt(mesh, 0);
    EXPECT_EQ(face->degeneracy, 2);
    EXPECT_EQ(face->halfEdges[0]->degenerate, 1);
    EXPECT_EQ(face->halfEdges[1]->degenerate, 0);
    EXPECT_EQ(face->halfEdges[2]->degenerate, 0);
    ExpectVec3Near(face->halfEdges[0]->direction, MakeVec3(0, 0, 0), kTolerance,
                   "zero-length direction");
    EXPECT_EQ(face->halfEdges[0]->length, 0.0f);
    EXPECT_NEAR(face->halfEdges[1]->length, 1.0f, kTolerance);
    ExpectNoNaN(mesh);
    // Only the degenerate half-edge a -> a lacks a twin: a is on a boundary, b is not.
    EXPECT_TRUE(VertexAt(mesh, 0)->boundary);
    EXPECT_FALSE(VertexAt(mesh, 1)->boundary);
}

TEST(MeshGeometry, FaceWithThreeEqualCornersIsFullyDegenerateWithZeroNormals) {
    fixtures::BuiltMesh built = Build(fixtures::DegenerateAaa());
    const Mesh& mesh = *built.mesh;
    const Face* face = FaceAt(mesh, 0);
    EXPECT_EQ(face->degeneracy, 1);
    for (const HalfEdge* h : face->halfEdges) {
        EXPECT_EQ(h->degenerate, 1);
        ExpectVec3Near(h->direction, MakeVec3(0, 0, 0), kTolerance, "direction");
    }
    ExpectVec3Near(face->normal, MakeVec3(0, 0, 0), kTolerance, "face normal");
    EXPECT_EQ(face->planeOffset, 0.0);
    ExpectVec3Near(VertexAt(mesh, 0)->normal, MakeVec3(0, 0, 0), kTolerance, "vertex normal");
    ExpectNoNaN(mesh);
    // No area: the centroid is the vertex itself.
    ExpectVec3Near(mesh.centroid, MakeVec3(2, 3, 4), kTolerance, "centroid");
    EXPECT_EQ(mesh.radius, 0.0f);
}

TEST(MeshGeometry, CoincidentCornersGiveZeroNormalWithoutNaN) {
    // Distinct vertex numbers at one position: zero length, but not flagged degenerate.
    fixtures::BuiltMesh built = Build(ZelMesh{{0, 0, 0, 0, 0, 0, 1, 0, 0}, {0, 1, 2}});
    const Face* face = FaceAt(*built.mesh, 0);
    EXPECT_EQ(face->degeneracy, 0);
    EXPECT_EQ(face->halfEdges[0]->length, 0.0f);
    ExpectVec3Near(face->normal, MakeVec3(0, 0, 0), kTolerance, "face normal");
    ExpectNoNaN(*built.mesh);
}

TEST(MeshGeometry, UnusedVertexCountsInBoundsAndRadiusOnly) {
    fixtures::BuiltMesh built = Build(fixtures::UnusedVertex());
    const Mesh& mesh = *built.mesh;
    const MeshVertex* unused = VertexAt(mesh, 3);
    EXPECT_EQ(unused->valence, 0);
    ExpectVec3Near(unused->normal, MakeVec3(0, 0, 0), kTolerance, "normal");
    EXPECT_FALSE(unused->boundary);
    ExpectVec3Near(mesh.boundsMax, MakeVec3(5, 5, 5), kTolerance, "boundsMax");
    ExpectVec3Near(mesh.boundsMin, MakeVec3(0, 0, 0), kTolerance, "boundsMin");
    // The centroid stays the triangle's; the radius reaches the far vertex.
    ExpectVec3Near(mesh.centroid, MakeVec3(1.0f / 3.0f, 1.0f / 3.0f, 0), kTolerance, "centroid");
    float dx = 5.0f - 1.0f / 3.0f;
    EXPECT_NEAR(mesh.radius, std::sqrt(2 * dx * dx + 25.0f), 1e-5f);
}

TEST(MeshGeometry, EmptyMeshKeepsStartBoundsAndZeroRadius) {
    fixtures::BuiltMesh built = Build(fixtures::Empty());
    const Mesh& mesh = *built.mesh;
    EXPECT_EQ(mesh.boundsMin.x, 1e10f);
    EXPECT_EQ(mesh.boundsMin.y, 1e10f);
    EXPECT_EQ(mesh.boundsMin.z, 1e10f);
    EXPECT_EQ(mesh.boundsMax.x, -1e10f);
    EXPECT_EQ(mesh.boundsMax.y, -1e10f);
    EXPECT_EQ(mesh.boundsMax.z, -1e10f);
    EXPECT_EQ(mesh.radius, 0.0f);
    ExpectVec3Near(mesh.centroid, MakeVec3(0, 0, 0), kTolerance, "centroid");
}

TEST(MeshGeometry, ZeroAreaCentroidIsTheVertexMean) {
    // Collinear corners and an unused vertex: no area anywhere.
    fixtures::BuiltMesh built = Build(ZelMesh{{0, 0, 0, 1, 0, 0, 2, 0, 0, 1, 4, 0}, {0, 1, 2}});
    const Mesh& mesh = *built.mesh;
    ExpectVec3Near(mesh.centroid, MakeVec3(1, 1, 0), kTolerance, "centroid");
    EXPECT_NEAR(mesh.radius, 3.0f, kTolerance);
    ExpectNoNaN(mesh);
}

TEST(MeshGeometry, CentroidIsAreaWeighted) {
    // A unit triangle and one with four times its area, far apart.
    fixtures::BuiltMesh built = Build(
        ZelMesh{{0, 0, 0, 1, 0, 0, 0, 1, 0, 10, 0, 0, 12, 0, 0, 10, 2, 0}, {0, 1, 2, 3, 4, 5}});
    const float x = (1.0f / 3.0f + 4.0f * 32.0f / 3.0f) / 5.0f;
    const float y = (1.0f / 3.0f + 4.0f * 2.0f / 3.0f) / 5.0f;
    ExpectVec3Near(built.mesh->centroid, MakeVec3(x, y, 0), kTolerance, "centroid");
}

// All computed values of a mesh, for comparing two passes.
std::vector<float> GeometryValues(const Mesh& mesh) {
    std::vector<float> values;
    for (const HalfEdge* h : mesh.halfEdges) {
        values.insert(values.end(), {h->direction.x, h->direction.y, h->direction.z, h->length,
                                     h->crease ? 1.0f : 0.0f});
    }
    for (const Face* f : mesh.faces) {
        values.insert(values.end(),
                      {f->normal.x, f->normal.y, f->normal.z, static_cast<float>(f->planeOffset)});
    }
    for (const MeshVertex* v : mesh.vertices) {
        values.insert(values.end(),
                      {v->normal.x, v->normal.y, v->normal.z, static_cast<float>(v->valence)});
    }
    values.insert(values.end(), {mesh.centroid.x, mesh.centroid.y, mesh.centroid.z, mesh.radius,
                                 mesh.boundsMin.x, mesh.boundsMin.y, mesh.boundsMin.z,
                                 mesh.boundsMax.x, mesh.boundsMax.y, mesh.boundsMax.z});
    return values;
}

TEST(MeshGeometry, SecondPassGivesTheSameValues) {
    for (const ZelMesh& data : {fixtures::Tetrahedron(), fixtures::Fin(), fixtures::OpenFan(),
                                fixtures::DegenerateAab(), fixtures::UnusedVertex()}) {
        fixtures::BuiltMesh built = Build(data);
        std::vector<float> first = GeometryValues(*built.mesh);
        built.mesh->ComputeGeometry();
        EXPECT_EQ(GeometryValues(*built.mesh), first);
        EXPECT_TRUE(fixtures::ValidateConnectivity(*built.mesh));
    }
}

TEST(MeshGeometry, PassOverwritesCreationDefaults) {
    fixtures::BuiltMesh built = Build(fixtures::Square());
    Mesh& mesh = *built.mesh;
    for (Face* f : mesh.faces) {
        f->normal.Set(1, 0, 0);
        for (HalfEdge* h : f->halfEdges) {
            h->direction.Set(1, 0, 0);
            h->length = 0;
        }
    }
    for (MeshVertex* v : mesh.vertices) {
        v->valence = -1;
    }
    mesh.ComputeGeometry();
    for (const Face* f : mesh.faces) {
        ExpectVec3Near(f->normal, MakeVec3(0, 0, 1), kTolerance, "face normal");
    }
    for (const HalfEdge* h : mesh.halfEdges) {
        EXPECT_GT(h->length, 0.9f) << h->id;
    }
    for (const MeshVertex* v : mesh.vertices) {
        EXPECT_GE(v->valence, 1);
    }
}

}  // namespace
