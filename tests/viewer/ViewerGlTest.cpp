#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/GlWindow.h"
#include "viewer/Viewer.h"

namespace {

constexpr int kSize = 64;
constexpr unsigned int kDisplayMode = GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH;

// Builds no menus: freeglut gives every menu a window id of its own, which would use up the ids
// this test counts. Counts the calls instead.
class MenuCountingViewer : public Viewer {
public:
    void CreateMenus() override { ++menuBuilds; }
    int menuBuilds = 0;
};

TEST(ViewerWindowGlTest, WindowIdsUpToThirtyTwoAreAcceptedAndTheNextIsRefused) {
    GlInitOnce();
    std::vector<std::unique_ptr<MenuCountingViewer>> viewers;
    int id = 0;
    while (id < kMaxWindowId) {
        auto viewer = std::make_unique<MenuCountingViewer>();
        id = viewer->CreateWindow("zel viewer test", kDisplayMode, 0, 0, 16, 16);
        ASSERT_GT(id, 0) << "window " << viewers.size() + 1 << " refused";
        EXPECT_EQ(viewer->windowId, id);
        EXPECT_EQ(Viewer::windows[id], viewer.get());
        EXPECT_EQ(viewer->inertiaCallback, &ViewerInertiaFunc);
        EXPECT_EQ(viewer->menuBuilds, 1);
        viewers.push_back(std::move(viewer));
    }
    ASSERT_EQ(id, kMaxWindowId);

    MenuCountingViewer extra;
    testing::internal::CaptureStdout();
    int refused = extra.CreateWindow("zel viewer test", kDisplayMode, 0, 0, 16, 16);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(extra.windowId, 0);
    EXPECT_EQ(output, "ERROR: too many windows added!\n");
    EXPECT_EQ(extra.inertiaCallback, nullptr);
    EXPECT_EQ(extra.menuBuilds, 0);
    for (const auto& viewer : viewers) {
        EXPECT_EQ(Viewer::windows[viewer->windowId], viewer.get());
    }

    for (const auto& viewer : viewers) {
        glutDestroyWindow(viewer->windowId);
    }
    // GLUT closes destroyed windows in its next event round.
    glutMainLoopEvent();
}

TEST(ViewerWindowGlTest, DestroyedViewerLeavesNoDispatchToItsWindow) {
    GlInitOnce();
    int windowId = 0;
    {
        Viewer viewer;
        windowId = viewer.CreateWindow("zel viewer test", kDisplayMode, 0, 0, kSize, kSize);
        ASSERT_GT(windowId, 0);
    }
    EXPECT_EQ(Viewer::windows[windowId], nullptr);
    glutSetWindow(windowId);
    EXPECT_EQ(Viewer::Current(), nullptr);
    // The window's own callbacks still point at the trampolines; they must find nothing.
    ASSERT_TRUE(WaitForWindowMapped(windowId));
    glutSetWindow(windowId);
    glutReshapeWindow(kSize + 8, kSize + 8);
    glutPostRedisplay();
    EXPECT_TRUE(PumpEventsUntil([windowId] {
        glutSetWindow(windowId);
        return glutGet(GLUT_WINDOW_WIDTH) == kSize + 8;
    }));
    ViewerMouseFunc(GLUT_LEFT_BUTTON, GLUT_DOWN, 1, 1);
    ViewerMotionFunc(5, 5);
    ViewerKeyboardFunc('z', 0, 0);
    glutDestroyWindow(windowId);
    glutMainLoopEvent();
}

// A viewer in a real 64 x 64 window looking at the box -1..1 from (0, 0, 5), drawing in white on
// black without lighting.
class ViewerFrameGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        GlInitOnce();
        ASSERT_GT(viewer.CreateWindow("zel viewer test", kDisplayMode, 0, 0, kSize, kSize), 0);
        ASSERT_TRUE(WaitForWindowMapped(viewer.windowId));
        glutSetWindow(viewer.windowId);
        Vec3 a{-1.0f, -1.0f, -1.0f};
        Vec3 b{1.0f, 1.0f, 1.0f};
        Vec3 eye{0.0f, 0.0f, 5.0f};
        Vec3 centre;
        Vec3 up{0.0f, 1.0f, 0.0f};
        viewer.SetCameras(a, b, eye, centre, up, 45.0f, 1.0f, 0.01f, 10.0f);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
    }

    void TearDown() override {
        glutDestroyWindow(viewer.windowId);
        glutMainLoopEvent();
    }

    // Moves camera i backwards (along its zAxis) by distance.
    void MoveBack(int i, float distance) {
        Camera& camera = viewer.cameras[i];
        Matrix4 move;
        TranslationMatrix(move, camera.zAxis.x * distance, camera.zAxis.y * distance,
                          camera.zAxis.z * distance);
        camera.Transform(move);
    }

    // Fills both buffers with one colour, so a missing swap would show it.
    void FillBothBuffers(float r, float g, float b) {
        for (int i = 0; i < 2; ++i) {
            glClearColor(r, g, b, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glutSwapBuffers();
        }
    }

    // One frame the way the application draws it, cleared to black, lines in white.
    void DrawFrame() {
        viewer.BeginFrame();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(1.0f, 1.0f, 1.0f);
        viewer.EndFrame();
        glFinish();
    }

    // The window as the screen shows it, RGB rows bottom-up.
    std::vector<unsigned char> ShownImage() { return ShownPixels(viewer.windowId); }

    // Pixels of the shown image that are not black.
    int LitPixels() {
        std::vector<unsigned char> pixels = ShownImage();
        int lit = 0;
        for (size_t i = 0; i < pixels.size(); i += 3) {
            lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0 ? 1 : 0;
        }
        return lit;
    }

    Viewer viewer;
};

TEST_F(ViewerFrameGlTest, FrameWithoutDisplayFlagsStillSwaps) {
    FillBothBuffers(0.0f, 0.0f, 1.0f);
    std::vector<unsigned char> before = ShownImage();
    ASSERT_EQ(before[2], 255);
    DrawFrame();
    EXPECT_EQ(LitPixels(), 0);
}

TEST_F(ViewerFrameGlTest, FlaggedFrustumIsDrawnAndToggledOffAgain) {
    MoveBack(0, 3.0f);
    DrawFrame();
    EXPECT_EQ(LitPixels(), 0);
    Viewer::ToggleCameraDisplay(1);
    ASSERT_EQ(viewer.cameraShown[1], 1);
    DrawFrame();
    EXPECT_GT(LitPixels(), 20);
    Viewer::ToggleCameraDisplay(1);
    DrawFrame();
    EXPECT_EQ(LitPixels(), 0);
}

TEST_F(ViewerFrameGlTest, SelectedCameraShowsOtherCamerasFrustum) {
    MoveBack(2, 3.0f);
    Viewer::SelectCamera(2);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);
    Viewer::ToggleCameraDisplay(0);
    DrawFrame();
    EXPECT_GT(LitPixels(), 20);
    Viewer::ToggleCameraDisplay(0);
    DrawFrame();
    EXPECT_EQ(LitPixels(), 0);
}

TEST_F(ViewerFrameGlTest, CameraCommandsActOnlyOnTheCurrentWindowsViewer) {
    int other = OpenTestWindow(kSize, kSize, "other");
    Viewer::SelectCamera(3);
    Viewer::ToggleCameraDisplay(2);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[0]);
    EXPECT_EQ(viewer.cameraShown[2], 0);
    glutSetWindow(viewer.windowId);
    Viewer::SelectCamera(3);
    Viewer::ToggleCameraDisplay(2);
    Viewer::SelectCamera(viewer.cameraCount);
    Viewer::ToggleCameraDisplay(-1);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[3]);
    EXPECT_EQ(viewer.cameraShown[2], 1);
    glutDestroyWindow(other);
    glutSetWindow(viewer.windowId);
}

}  // namespace
