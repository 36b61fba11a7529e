#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "tests/support/GlWindow.h"
#include "viewer/Viewer.h"

namespace {

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
        ASSERT_TRUE(WaitForWindowMapped(viewer.windowId));
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
        // A tick still pending finds inertia off and ends its chain before the viewer goes.
        EXPECT_TRUE(PumpUntilTimersDue(static_cast<int>(viewer.timerInterval)));
        glutDestroyWindow(viewer.windowId);
        glutMainLoopEvent();
    }

    // A left drag whose last step is 4 pixels, released where it ended.
    void Fling(int x) {
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, 20);
        viewer.Motion(x + 4, 20);
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_UP, x + 4, 20);
    }

    // Lets more than one timer interval pass without handling anything, then handles what is due
    // once: every inertia timer chain then ticks exactly once, however fast the machine is, since
    // a tick arms the next one an interval after it. Returns the steps taken in that round.
    int StepsInOneRound() {
        int start = glutGet(GLUT_ELAPSED_TIME);
        int due = start + static_cast<int>(viewer.timerInterval) + 1;
        EXPECT_TRUE(WaitUntil([due] { return glutGet(GLUT_ELAPSED_TIME) > due; }));
        int before = viewer.steps;
        glutMainLoopEvent();
        return viewer.steps - before;
    }

    CountingViewer viewer;
};

TEST_F(InertiaGlTest, ReleasedDragReplaysOneStepPerTimerTick) {
    Fling(10);
    EXPECT_EQ(viewer.inertiaActive, 1);
    EXPECT_EQ(viewer.steps, 1);
    Vec3 start = viewer.currentCamera->zAxis;
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(StepsInOneRound(), 1) << "round " << round;
    }
    // The replay keeps turning the camera.
    EXPECT_LT(Vec3Dot(start, viewer.currentCamera->zAxis), 0.999f);
}

TEST_F(InertiaGlTest, NewFlingWhileTickPendingKeepsOneTimerChain) {
    Fling(10);
    Fling(30);
    Fling(50);
    EXPECT_EQ(viewer.inertiaActive, 1);
    // A second or third chain would tick in the same round.
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(StepsInOneRound(), 1) << "round " << round;
    }
}

TEST_F(InertiaGlTest, LeftPressStopsInertia) {
    Fling(10);
    ASSERT_TRUE(PumpEventsUntil([this] { return viewer.steps >= 3; }));
    viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 5, 5);
    EXPECT_EQ(viewer.inertiaActive, 0);
    int steps = viewer.steps;
    Vec3 origin = viewer.currentCamera->origin;
    Vec3 zAxis = viewer.currentCamera->zAxis;
    // The tick that was pending falls due in these rounds and must replay nothing.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(StepsInOneRound(), 0) << "round " << round;
    }
    EXPECT_EQ(viewer.steps, steps);
    EXPECT_EQ(viewer.inertiaTimerArmed, 0);
    EXPECT_EQ(viewer.currentCamera->zAxis.x, zAxis.x);
    EXPECT_EQ(viewer.currentCamera->origin.z, origin.z);
}

}  // namespace
