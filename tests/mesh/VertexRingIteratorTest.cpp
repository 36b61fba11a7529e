#include <gtest/gtest.h>

#include <vector>

#include "mesh/Mesh.h"
#include "mesh/VertexRingIterator.h"
#include "tests/mesh/MeshFixtures.h"

namespace {

using fixtures::Build;
using fixtures::FaceAt;
using fixtures::VertexAt;

// The half-edge of the given face that leaves the vertex.
HalfEdge* LeavingIn(const Mesh& mesh, int faceId, const MeshVertex* vertex) {
    for (HalfEdge* h : FaceAt(mesh, faceId)->halfEdges) {
        if (h->origin == vertex) {
            return h;
        }
    }
    return nullptr;
}

// Face ids in walk order with the callers' loop, starting in the given face.
std::vector<int> WalkFrom(const Mesh& mesh, MeshVertex* vertex, int startFace) {
    vertex->halfEdge = LeavingIn(mesh, startFace, vertex);
    std::vector<int> visits;
    VertexFanIterator it(*vertex);
    while (!it.done) {
        EXPECT_EQ(it.current->origin, vertex);
        visits.push_back(it.current->face->id);
        it.Advance();
        if (visits.size() > 64) {
            ADD_FAILURE() << "walk does not end";
            break;
        }
    }
    return visits;
}

TEST(VertexRingIterator, InteriorVertexWalkCirclesOnceFromAnyFace) {
    fixtures::BuiltMesh built = Build(fixtures::HexagonFan());
    MeshVertex* centre = VertexAt(*built.mesh, 0);
    // Forward steps pass counter-clockwise faces clockwise: face ids go down, wrapping.
    EXPECT_EQ(WalkFrom(*built.mesh, centre, 0), (std::vector<int>{0, 5, 4, 3, 2, 1}));
    EXPECT_EQ(WalkFrom(*built.mesh, centre, 3), (std::vector<int>{3, 2, 1, 0, 5, 4}));
    EXPECT_EQ(WalkFrom(*built.mesh, centre, 5), (std::vector<int>{5, 4, 3, 2, 1, 0}));
}

TEST(VertexRingIterator, InteriorVertexNeverHitsBoundary) {
    fixtures::BuiltMesh built = Build(fixtures::HexagonFan());
    VertexFanIterator it(*VertexAt(*built.mesh, 0));
    EXPECT_TRUE(it.IsValid());
    while (!it.done) {
        EXPECT_FALSE(it.HitBoundary());
        EXPECT_FALSE(it.reversed);
        it.Advance();
    }
    // Advancing a finished walk changes nothing.
    HalfEdge* last = it.current;
    it.Advance();
    EXPECT_TRUE(it.done);
    EXPECT_EQ(it.current, last);
}

TEST(VertexRingIterator, BoundaryVertexWalkTurnsBackOnce) {
    fixtures::BuiltMesh built = Build(fixtures::OpenFan());
    MeshVertex* corner = VertexAt(*built.mesh, 0);
    // Face 2 has no backward neighbour at vertex 0, face 0 no forward one.
    EXPECT_EQ(WalkFrom(*built.mesh, corner, 0), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(WalkFrom(*built.mesh, corner, 1), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(WalkFrom(*built.mesh, corner, 2), (std::vector<int>{2, 1, 0}));
}

TEST(VertexRingIterator, BoundaryFlagsChangeWhenTheForwardWalkEnds) {
    fixtures::BuiltMesh built = Build(fixtures::OpenFan());
    MeshVertex* corner = VertexAt(*built.mesh, 0);
    corner->halfEdge = LeavingIn(*built.mesh, 1, corner);
    VertexFanIterator it(*corner);
    EXPECT_TRUE(it.forward);
    EXPECT_FALSE(it.backward);
    EXPECT_FALSE(it.HitBoundary());
    it.Advance();  // forward into face 0
    EXPECT_FALSE(it.HitBoundary());
    EXPECT_EQ(it.cursor, it.current);
    it.Advance();  // no forward neighbour: turn back into face 2
    EXPECT_TRUE(it.HitBoundary());
    EXPECT_TRUE(it.reversed);
    EXPECT_FALSE(it.done);
    EXPECT_EQ(it.current->face->id, 2);
    it.Advance();  // no backward neighbour either
    EXPECT_TRUE(it.done);
    EXPECT_TRUE(it.HitBoundary());
    EXPECT_FALSE(it.backward);
}

TEST(VertexRingIterator, IsolatedVertexWalkIsDoneAtOnce) {
    fixtures::BuiltMesh built = Build(fixtures::UnusedVertex());
    MeshVertex* isolated = VertexAt(*built.mesh, 3);
    VertexFanIterator it(*isolated);
    EXPECT_FALSE(it.IsValid());
    EXPECT_TRUE(it.done);
    EXPECT_EQ(it.current, nullptr);
    EXPECT_EQ(isolated->ComputeValence(), 0);
    Vec3 normal = isolated->ComputeNormal();
    EXPECT_EQ(normal.x, 0.0f);
    EXPECT_EQ(normal.y, 0.0f);
    EXPECT_EQ(normal.z, 0.0f);
}

TEST(VertexRingIterator, TwoFanVertexWalksOnlyTheFanOfItsHalfEdge) {
    fixtures::BuiltMesh built = Build(fixtures::TwoFans());
    MeshVertex* pinch = VertexAt(*built.mesh, 0);
    // Its halfEdge is the last created one, in face 3 of the tilted fan.
    EXPECT_EQ(pinch->halfEdge->face->id, 3);
    EXPECT_EQ(WalkFrom(*built.mesh, pinch, 3), (std::vector<int>{3, 2}));
    EXPECT_EQ(WalkFrom(*built.mesh, pinch, 0), (std::vector<int>{0, 1}));

    pinch->halfEdge = LeavingIn(*built.mesh, 3, pinch);
    EXPECT_EQ(pinch->ComputeValence(), 2);
    EXPECT_EQ(pinch->valence, 2);
    // (0, 1, 0) + (-1, 0, -1)/sqrt(2), normalised.
    Vec3 normal = pinch->ComputeNormal();
    EXPECT_NEAR(normal.x, -0.5f, 1e-6f);
    EXPECT_NEAR(normal.y, 0.70710678f, 1e-6f);
    EXPECT_NEAR(normal.z, -0.5f, 1e-6f);
}

TEST(VertexRingIterator, SingleFaceVertexHasValenceOneAndTheFaceNormal) {
    fixtures::BuiltMesh built = Build(fixtures::ClockwiseTriangle());
    for (MeshVertex* v : built.mesh->vertices) {
        EXPECT_EQ(v->ComputeValence(), 1);
        Vec3 normal = v->ComputeNormal();
        EXPECT_NEAR(normal.x, 0.0f, 1e-6f);
        EXPECT_NEAR(normal.y, 0.0f, 1e-6f);
        EXPECT_NEAR(normal.z, -1.0f, 1e-6f);
    }
}

TEST(VertexRingIterator, BoundaryValenceDoesNotDependOnTheStartFace) {
    fixtures::BuiltMesh built = Build(fixtures::OpenFan());
    MeshVertex* corner = VertexAt(*built.mesh, 0);
    for (int start = 0; start < 3; ++start) {
        corner->halfEdge = LeavingIn(*built.mesh, start, corner);
        EXPECT_EQ(corner->ComputeValence(), 3) << start;
        Vec3 normal = corner->ComputeNormal();
        EXPECT_NEAR(normal.z, 1.0f, 1e-6f) << start;
    }
}

TEST(VertexRingIterator, CancellingFaceNormalsLeaveZeroNormal) {
    fixtures::BuiltMesh built = Build(fixtures::OppositeTriangles());
    for (MeshVertex* v : built.mesh->vertices) {
        EXPECT_EQ(v->valence, 2);
        EXPECT_EQ(v->normal.x, 0.0f);
        EXPECT_EQ(v->normal.y, 0.0f);
        EXPECT_EQ(v->normal.z, 0.0f);
    }
}

}  // namespace
