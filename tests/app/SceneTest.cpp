#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "app/Scene.h"

// FitCamerasToMesh only places the cameras through Viewer::SetCameras, which needs no window, so
// these tests read the result straight from theViewer.

namespace {

constexpr float kTolerance = 1e-5f;

struct ExpectedFit {
    Vec3 boxMin;
    Vec3 boxMax;
    Vec3 eye;
};

// Builds a mesh from coordinate and index lists and makes it the scene's mesh.
class SceneFitTest : public ::testing::Test {
protected:
    void TearDown() override { theMesh = nullptr; }

    void UseMesh(const std::vector<float>& coordinates, const std::vector<int>& indices) {
        mesh = std::make_unique<Mesh>(coordinates.data(), indices.data(),
                                      static_cast<int>(coordinates.size() / 3),
                                      static_cast<int>(indices.size() / 3));
        theMesh = mesh.get();
    }

    // Checks every camera, the home camera and the scene box against the expected fit.
    static void ExpectFit(const ExpectedFit& fit) {
        Vec3 centre{(fit.boxMin.x + fit.boxMax.x) * 0.5f, (fit.boxMin.y + fit.boxMax.y) * 0.5f,
                    (fit.boxMin.z + fit.boxMax.z) * 0.5f};
        float radius = std::sqrt((fit.boxMax.x - centre.x) * (fit.boxMax.x - centre.x) +
                                 (fit.boxMax.y - centre.y) * (fit.boxMax.y - centre.y) +
                                 (fit.boxMax.z - centre.z) * (fit.boxMax.z - centre.z));
        EXPECT_NEAR(theViewer.sceneCentre.x, centre.x, kTolerance);
        EXPECT_NEAR(theViewer.sceneCentre.y, centre.y, kTolerance);
        EXPECT_NEAR(theViewer.sceneCentre.z, centre.z, kTolerance);
        EXPECT_NEAR(theViewer.sceneRadius, radius, kTolerance);
        EXPECT_FLOAT_EQ(theViewer.worldUp.y, 1.0f);
        for (int i = 0; i < theViewer.cameraCount; ++i) {
            const Camera& camera = theViewer.cameras[i];
            EXPECT_NEAR(camera.origin.x, fit.eye.x, kTolerance) << "camera " << i;
            EXPECT_NEAR(camera.origin.y, fit.eye.y, kTolerance) << "camera " << i;
            EXPECT_NEAR(camera.origin.z, fit.eye.z, kTolerance) << "camera " << i;
            EXPECT_NEAR(camera.zNear, radius * 0.01f, kTolerance) << "camera " << i;
            EXPECT_NEAR(camera.zFar, radius * 10.0f, kTolerance) << "camera " << i;
        }
        EXPECT_NEAR(theViewer.homeCamera.origin.z, fit.eye.z, kTolerance);
    }

    std::unique_ptr<Mesh> mesh;
};

// Places the cameras somewhere no fit can put them, so a kept placement is recognisable.
void PlaceCamerasAway() {
    theViewer.SetCameras(Vec3{-12.0f, -12.0f, -12.0f}, Vec3{22.0f, 22.0f, 22.0f},
                         Vec3{22.0f, 22.0f, 22.0f}, Vec3{-12.0f, -12.0f, -12.0f},
                         Vec3{0.0f, 1.0f, 0.0f}, 45.0f, 1.0f, 0.01f, 10.0f);
}

}  // namespace

//   (-1,1) 3-----2 (1,1)
//          |   / |
//          | /   |
//  (-1,-1) 0-----1 (1,-1)      all at z = 0
TEST_F(SceneFitTest, FlatSquareIsFramedFromPlusZWithMarginOfATenth) {
    UseMesh({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}, {0, 1, 2, 0, 2, 3});
    FitCamerasToMesh();
    ExpectFit({{-1.2f, -1.2f, -0.2f}, {1.2f, 1.2f, 0.2f}, {0.0f, 0.0f, 0.4f}});

    // The camera looks down -z at the centre, with y up.
    const Camera& camera = theViewer.cameras[0];
    EXPECT_NEAR(camera.zAxis.z, 1.0f, kTolerance);
    EXPECT_NEAR(camera.yAxis.y, 1.0f, kTolerance);
    EXPECT_EQ(theViewer.currentCamera, &theViewer.cameras[0]);
}

TEST_F(SceneFitTest, PointBoxGetsAUnitMarginSoTheCamerasStayFinite) {
    // A single vertex, then a triangle whose three corners coincide.
    UseMesh({1.5f, -2.0f, 3.0f}, {});
    FitCamerasToMesh();
    ExpectFit({{0.5f, -3.0f, 2.0f}, {2.5f, -1.0f, 4.0f}, {1.5f, -2.0f, 5.0f}});

    UseMesh({4, 5, 6, 4, 5, 6, 4, 5, 6}, {0, 1, 2});
    FitCamerasToMesh();
    ExpectFit({{3, 4, 5}, {5, 6, 7}, {4, 5, 8}});
    float fovy = 0.0f;
    float aspect = 0.0f;
    float zNear = 0.0f;
    float zFar = 0.0f;
    theViewer.cameras[0].GetPerspective(fovy, aspect, zNear, zFar);
    EXPECT_NEAR(fovy, 45.0f, 1e-3f);
    EXPECT_GT(zNear, 0.0f);
}

TEST_F(SceneFitTest, MarginComesFromTheLargestExtentWhicheverAxisHoldsIt) {
    struct Case {
        float dx, dy, dz;
        float margin;
    };
    const Case cases[] = {
        {4, 1, 2, 0.4f},  // x largest
        {1, 3, 2, 0.3f},  // y largest
        {1, 2, 5, 0.5f},  // z largest
        {2, 2, 1, 0.2f},  // x and y equal
        {1, 2, 2, 0.2f},  // z equal to the larger of x and y
        {3, 3, 3, 0.3f},  // a cube
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dx << " x " << c.dy << " x " << c.dz);
        // One triangle spanning the box from (1, 1, 1) to (1 + dx, 1 + dy, 1 + dz).
        UseMesh({1, 1, 1, 1 + c.dx, 1 + c.dy, 1, 1, 1, 1 + c.dz}, {0, 1, 2});
        FitCamerasToMesh();
        Vec3 low{1 - c.margin, 1 - c.margin, 1 - c.margin};
        Vec3 high{1 + c.dx + c.margin, 1 + c.dy + c.margin, 1 + c.dz + c.margin};
        float centreZ = (low.z + high.z) * 0.5f;
        ExpectFit({low,
                   high,
                   {(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, 2.0f * high.z - centreZ}});
    }
}

TEST_F(SceneFitTest, MissingOrEmptyMeshKeepsThePlacementItHas) {
    const ExpectedFit away{{-12, -12, -12}, {22, 22, 22}, {22, 22, 22}};

    PlaceCamerasAway();
    theMesh = nullptr;
    FitCamerasToMesh();
    ExpectFit(away);

    PlaceCamerasAway();
    UseMesh({}, {});
    FitCamerasToMesh();
    ExpectFit(away);
    for (int i = 0; i < theViewer.cameraCount; ++i) {
        EXPECT_TRUE(std::isfinite(theViewer.cameras[i].zFar)) << "camera " << i;
    }
}
