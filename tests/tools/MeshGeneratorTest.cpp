#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <utility>

#include "tests/support/EdgeCountsDirect.h"
#include "tools/MeshGenerator.h"

namespace {

// Expects the shape, added to a mesh that already holds a sphere, to append what it makes alone
// with its corners moved past the vertices already there, and to leave the sphere as it was.
void ExpectAddedAfterAnotherPiece(const std::function<void(ZelMesh&)>& add) {
    ZelMesh alone;
    add(alone);
    ZelMesh before;
    ZelMeshAddSphere(before, 1);
    ZelMesh both = before;
    add(both);

    ASSERT_EQ(both.coordinates.size(), before.coordinates.size() + alone.coordinates.size());
    ASSERT_EQ(both.indices.size(), before.indices.size() + alone.indices.size());
    const std::size_t firstCoordinate = before.coordinates.size();
    for (std::size_t i = 0; i < both.coordinates.size(); ++i) {
        ASSERT_EQ(both.coordinates[i], i < firstCoordinate ? before.coordinates[i]
                                                           : alone.coordinates[i - firstCoordinate])
            << "coordinate " << i;
    }
    const std::size_t firstCorner = before.indices.size();
    for (std::size_t i = 0; i < both.indices.size(); ++i) {
        ASSERT_EQ(both.indices[i],
                  i < firstCorner ? before.indices[i]
                                  : ZelMeshVertexCount(before) + alone.indices[i - firstCorner])
            << "corner " << i;
    }
}

TEST(MeshGenerator, EveryShapeAddsAfterTheVerticesAlreadyThere) {
    const TorusGrid grid{8, 5};
    const std::pair<const char*, std::function<void(ZelMesh&)>> shapes[] = {
        {"sphere", [](ZelMesh& mesh) { ZelMeshAddSphere(mesh, 2); }},
        {"open grid", [](ZelMesh& mesh) { ZelMeshAddOpenGrid(mesh, 50); }},
        {"torus", [&grid](ZelMesh& mesh) { ZelMeshAddTorus(mesh, grid, false); }},
        {"open torus", [&grid](ZelMesh& mesh) { ZelMeshAddTorus(mesh, grid, true); }},
        {"defects", ZelMeshAddDefects},
    };
    for (const auto& [name, add] : shapes) {
        SCOPED_TRACE(name);
        ExpectAddedAfterAnotherPiece(add);
    }

    // Two spheres: both closed, each with its own vertices (Euler characteristic 2 + 2).
    ZelMesh spheres;
    ZelMeshAddSphere(spheres, 1);
    ZelMeshAddSphere(spheres, 2);
    int edges = 0;
    const EdgeCounts counts = EdgeCountsDirect(spheres.indices, &edges);
    EXPECT_EQ(counts.good, counts.total) << counts;
    EXPECT_EQ(ZelMeshFaceCount(spheres), 80 + 320);
    EXPECT_EQ(ZelMeshVertexCount(spheres) - edges + ZelMeshFaceCount(spheres), 4);
}

}  // namespace
