#include <GL/glut.h>
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/GlWindow.h"
#include "viewer/Viewer.h"

namespace {

// Inertia at a 10 ms interval replays about 100 steps a second; two timer chains would give
// about 200. The bounds leave room for a loaded machine.
constexpr double kMinStepsPerSecond = 30.0;
constexpr double kMaxStepsPerSecond = 130.0;

// Counts the inertia steps that reach the viewer.
class CountingViewer : public Viewer {
public:
    void InertiaMotion(int x, int y) override {
        ++steps;
        Viewer::InertiaMotion(x, y);
    }
    int steps = 0;
};

// A viewer in a real window, Look mode, cameras placed round the box -1..1.
class InertiaGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        GlInitOnce();
        ASSERT_GT(viewer.CreateWindow("zel inertia test", GLUT_RGB | GLUT_DOUBLE, 0, 0, 64, 64), 0);
        PumpEvents(50);
        Vec3 a{-1.0f, -1.0f, -1.0f};
        Vec3 b{1.0f, 1.0f, 1.0f};
        Vec3 eye{0.0f, 0.0f, 5.0f};
        Vec3 centre;
        Vec3 up{0.0f, 1.0f, 0.0f};
        viewer.SetCameras(a, b, eye, centre, up, 45.0f, 1.0f, 0.01f, 10.0f);
        viewer.mode = Look;
    }

    void TearDown() override {
        viewer.SetInertia(0);
        PumpEvents(30);
        glutDestroyWindow(viewer.windowId);
        PumpEvents(20);
    }

    // A left drag whose last step is 4 pixels, released where it ended.
    void Fling(int x) {
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, 20);
        viewer.Motion(x + 4, 20);
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_UP, x + 4, 20);
    }

    // Steps per second while events are pumped for about the given time.
    double MeasureRate(int milliseconds) {
        int before = viewer.steps;
        auto start = std::chrono::steady_clock::now();
        PumpEvents(milliseconds);
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        return (viewer.steps - before) / elapsed.count();
    }

    CountingViewer viewer;
};

TEST_F(InertiaGlTest, ReleasedDragReplaysAboutOneHundredStepsPerSecond) {
    Fling(10);
    EXPECT_EQ(viewer.inertiaActive, 1);
    EXPECT_EQ(viewer.steps, 1);
    Vec3 start = viewer.currentCamera->zAxis;
    double rate = MeasureRate(500);
    EXPECT_GT(rate, kMinStepsPerSecond);
    EXPECT_LT(rate, kMaxStepsPerSecond);
    // The replay keeps turning the camera.
    EXPECT_LT(Vec3Dot(start, viewer.currentCamera->zAxis), 0.999f);
}

TEST_F(InertiaGlTest, NewFlingWhileTickPendingDoesNotDoubleRate) {
    Fling(10);
    Fling(30);
    Fling(50);
    EXPECT_EQ(viewer.inertiaActive, 1);
    double rate = MeasureRate(500);
    EXPECT_GT(rate, kMinStepsPerSecond);
    EXPECT_LT(rate, kMaxStepsPerSecond);
}

TEST_F(InertiaGlTest, LeftPressStopsInertia) {
    Fling(10);
    PumpEvents(100);
    viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 5, 5);
    EXPECT_EQ(viewer.inertiaActive, 0);
    int steps = viewer.steps;
    Vec3 origin = viewer.currentCamera->origin;
    Vec3 zAxis = viewer.currentCamera->zAxis;
    PumpEvents(100);
    EXPECT_EQ(viewer.steps, steps);
    EXPECT_EQ(viewer.inertiaTimerArmed, 0);
    EXPECT_EQ(viewer.currentCamera->zAxis.x, zAxis.x);
    EXPECT_EQ(viewer.currentCamera->origin.z, origin.z);
}

}  // namespace
