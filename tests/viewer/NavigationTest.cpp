#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/Vec3Expect.h"
#include "tests/viewer/FakeGlut.h"
#include "viewer/Viewer.h"

namespace {

constexpr float kTolerance = 1e-4f;
constexpr int kWindowWidth = 200;
constexpr int kWindowHeight = 100;
// Window id under which the fixture registers its viewer.
constexpr int kTestWindow = 5;

// Corner of a cube centred on the origin whose corners lie 2 units from the centre.
const float kCorner = 2.0f / std::sqrt(3.0f);

float Distance(const Vec3& a, const Vec3& b) {
    Vec3 d;
    return Vec3Length(Vec3Subtract(a, b, d));
}

void ExpectSameAxes(const Camera& a, const Camera& b) {
    ExpectVec3Near(a.xAxis, b.xAxis, 1e-6f);
    ExpectVec3Near(a.yAxis, b.yAxis, 1e-6f);
    ExpectVec3Near(a.zAxis, b.zAxis, 1e-6f);
}

// A viewer registered under a fake window of 200 x 100 pixels: scene of radius 2 round the
// origin, every camera on +z looking at it with a frustum 1.0 wide at near 1.0.
class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeGlutReset();
        FakeGlut().windowWidth = kWindowWidth;
        FakeGlut().windowHeight = kWindowHeight;
        FakeGlut().currentWindow = kTestWindow;
        Viewer::windows[kTestWindow] = &viewer;
        viewer.windowId = kTestWindow;
        viewer.inertiaCallback = ViewerInertiaFunc;
        PlaceCamera(10.0f);
    }

    void TearDown() override { Viewer::windows[kTestWindow] = nullptr; }

    // Puts every camera at distance from the centre on +z and gives it the test frustum.
    void PlaceCamera(float distance) {
        Vec3 a{-kCorner, -kCorner, -kCorner};
        Vec3 b{kCorner, kCorner, kCorner};
        Vec3 eye{0.0f, 0.0f, distance};
        Vec3 centre;
        Vec3 up{0.0f, 1.0f, 0.0f};
        viewer.SetCameras(a, b, eye, centre, up, 45.0f, 1.0f, 0.5f, 50.0f);
        for (int i = 0; i < viewer.cameraCount; ++i) {
            Camera& camera = viewer.cameras[i];
            camera.left = -0.5f;
            camera.right = 0.5f;
            camera.bottom = -0.5f;
            camera.top = 0.5f;
            camera.zNear = 1.0f;
        }
        start.Copy(*viewer.currentCamera);
    }

    // Left press at (x0, y0) with the given modifiers, then one motion event to (x1, y1).
    void Drag(int x0, int y0, int x1, int y1, int modifiers = 0) {
        FakeGlut().modifiers = modifiers;
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x0, y0);
        viewer.Motion(x1, y1);
    }

    const Camera& camera() const { return *viewer.currentCamera; }

    Viewer viewer;
    Camera start;
};

TEST_F(NavigationTest, TranslateFullWidthDragMovesByViewWidthAtCentreDistance) {
    viewer.mode = Translate;
    Drag(0, 50, kWindowWidth, 50);
    ExpectVec3Near(camera().origin, MakeVec3(-10.0f, 0.0f, 10.0f), kTolerance);
    ExpectSameAxes(camera(), start);
}

TEST_F(NavigationTest, TranslateNeverUsesLessThanSceneRadiusAsDistance) {
    PlaceCamera(1.0f);
    viewer.mode = Translate;
    Drag(0, 50, kWindowWidth, 50);
    ExpectVec3Near(camera().origin, MakeVec3(-2.0f, 0.0f, 1.0f), kTolerance);
}

TEST_F(NavigationTest, TranslateVerticalDragMovesSceneWithPointer) {
    viewer.mode = Translate;
    // Downwards over the full height: window y grows down, the camera's yAxis points up.
    Drag(100, 0, 100, kWindowHeight);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 10.0f, 10.0f), kTolerance);
}

TEST_F(NavigationTest, TranslateWithInOutMovesQuarterRadiusPerWindow) {
    viewer.mode = Translate;
    viewer.inOut = 1;
    Drag(0, 50, kWindowWidth, 50);
    ExpectVec3Near(camera().origin, MakeVec3(-0.5f, 0.0f, 10.0f), kTolerance);
}

TEST_F(NavigationTest, DriveWithCtrlMovesCameraWithPointer) {
    viewer.mode = Drive;
    Drag(0, 50, kWindowWidth, 50, GLUT_ACTIVE_CTRL);
    ExpectVec3Near(camera().origin, MakeVec3(10.0f, 0.0f, 10.0f), kTolerance);
}

TEST_F(NavigationTest, CtrlTakesPrecedenceOverAlt) {
    viewer.mode = Drive;
    Drag(0, 50, kWindowWidth, 50, GLUT_ACTIVE_CTRL | GLUT_ACTIVE_ALT);
    ExpectVec3Near(camera().origin, MakeVec3(10.0f, 0.0f, 10.0f), kTolerance);
    ExpectSameAxes(camera(), start);
}

TEST_F(NavigationTest, LookHalfWidthDragYawsFortyFiveDegreesInPlace) {
    viewer.mode = Look;
    Drag(50, 50, 150, 50);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 10.0f), 1e-5f);
    // A drag to the right turns the view to the right: it now looks along (+x, -z).
    float half = std::sqrt(0.5f);
    ExpectVec3Near(camera().zAxis, MakeVec3(-half, 0.0f, half), kTolerance);
    ExpectVec3Near(camera().xAxis, MakeVec3(half, 0.0f, half), kTolerance);
    ExpectVec3Near(camera().yAxis, MakeVec3(0.0f, 1.0f, 0.0f), kTolerance);
}

TEST_F(NavigationTest, TrackBallHalfWidthDragOrbitsNinetyDegreesAtConstantDistance) {
    viewer.mode = TrackBall;
    Drag(50, 50, 150, 50);
    EXPECT_NEAR(Distance(camera().origin, viewer.sceneCentre), 10.0f, kTolerance);
    // Carried round the centre against the drag, still facing the centre.
    ExpectVec3Near(camera().origin, MakeVec3(-10.0f, 0.0f, 0.0f), 1e-3f);
    ExpectVec3Near(camera().zAxis, MakeVec3(-1.0f, 0.0f, 0.0f), kTolerance);
}

TEST_F(NavigationTest, TrackBallWithCtrlVerticalDragDolliesByTwiceDistance) {
    viewer.mode = TrackBall;
    Drag(100, 0, 100, kWindowHeight / 2, GLUT_ACTIVE_CTRL);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 20.0f), kTolerance);
    ExpectSameAxes(camera(), start);
}

TEST_F(NavigationTest, HyperBallVerticalDragRotatesAboutCentre) {
    viewer.mode = HyperBall;
    Drag(100, 50, 100, 80);
    EXPECT_NEAR(Distance(camera().origin, viewer.sceneCentre), 10.0f, kTolerance);
    EXPECT_GT(std::fabs(camera().origin.y), 1.0f);
}

TEST_F(NavigationTest, HyperBallWithCtrlVerticalDragOnlyDollies) {
    viewer.mode = HyperBall;
    Drag(100, 50, 100, 80, GLUT_ACTIVE_CTRL);
    ExpectSameAxes(camera(), start);
    // t = 30 / 100 of the height, D = 10: backwards by 6.
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 16.0f), kTolerance);
}

// What a vertical drag over half the window height did to a camera 10 units in front of the centre.
enum class VerticalEffect { Dolly, Orbit, PitchInPlace, MoveUp, MoveDown };

TEST_F(NavigationTest, VerticalDragFollowsModeAndModifierTable) {
    struct Row {
        int mode;
        int modifiers;
        VerticalEffect effect;
    };
    const Row rows[] = {
        {TrackBall, 0, VerticalEffect::Orbit},
        {TrackBall, GLUT_ACTIVE_CTRL, VerticalEffect::Dolly},
        {TrackBall, GLUT_ACTIVE_ALT, VerticalEffect::Orbit},
        {HyperBall, 0, VerticalEffect::Orbit},
        {HyperBall, GLUT_ACTIVE_CTRL, VerticalEffect::Dolly},
        {HyperBall, GLUT_ACTIVE_ALT, VerticalEffect::Orbit},
        {Drive, 0, VerticalEffect::Dolly},
        {Drive, GLUT_ACTIVE_CTRL, VerticalEffect::MoveDown},
        {Drive, GLUT_ACTIVE_ALT, VerticalEffect::PitchInPlace},
        {Translate, 0, VerticalEffect::MoveUp},
        {Translate, GLUT_ACTIVE_CTRL, VerticalEffect::Dolly},
        {Translate, GLUT_ACTIVE_ALT, VerticalEffect::MoveUp},
        {Look, 0, VerticalEffect::PitchInPlace},
        {Look, GLUT_ACTIVE_CTRL, VerticalEffect::MoveUp},
        {Look, GLUT_ACTIVE_ALT, VerticalEffect::Dolly},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << " modifiers " << row.modifiers);
        PlaceCamera(10.0f);
        viewer.mode = row.mode;
        Drag(100, 0, 100, kWindowHeight / 2, row.modifiers);
        const Vec3& origin = camera().origin;
        switch (row.effect) {
            case VerticalEffect::Dolly:
                ExpectVec3Near(origin, MakeVec3(0.0f, 0.0f, 20.0f), kTolerance);
                ExpectSameAxes(camera(), start);
                break;
            case VerticalEffect::Orbit:
                EXPECT_NEAR(Distance(origin, viewer.sceneCentre), 10.0f, 1e-3f);
                EXPECT_GT(std::fabs(origin.y), 1.0f);
                break;
            case VerticalEffect::PitchInPlace:
                ExpectVec3Near(origin, MakeVec3(0.0f, 0.0f, 10.0f), 1e-5f);
                EXPECT_NEAR(std::fabs(camera().zAxis.y), std::sqrt(0.5f), kTolerance);
                break;
            case VerticalEffect::MoveUp:
                ExpectVec3Near(origin, MakeVec3(0.0f, 5.0f, 10.0f), kTolerance);
                break;
            case VerticalEffect::MoveDown:
                ExpectVec3Near(origin, MakeVec3(0.0f, -5.0f, 10.0f), kTolerance);
                break;
        }
    }
}

TEST_F(NavigationTest, ModeOutsideRangeOnlyPostsRedisplay) {
    viewer.mode = 7;
    Drag(0, 0, kWindowWidth, kWindowHeight);
    EXPECT_EQ(FakeGlut().redisplays, 1);
    ExpectSameAxes(camera(), start);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 10.0f), 0.0f);
}

TEST_F(NavigationTest, MotionWithoutLeftButtonOnlyShiftsPointerHistory) {
    viewer.mode = Translate;
    viewer.curX = 30;
    viewer.curY = 40;
    viewer.Motion(120, 90);
    EXPECT_EQ(viewer.prevX, 30);
    EXPECT_EQ(viewer.prevY, 40);
    EXPECT_EQ(viewer.curX, 30);
    EXPECT_EQ(viewer.curY, 40);
    EXPECT_EQ(FakeGlut().redisplays, 0);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 10.0f), 0.0f);
}

TEST_F(NavigationTest, DragInWindowWithoutExtentLeavesCameraFinite) {
    FakeGlut().windowWidth = 0;
    FakeGlut().windowHeight = 0;
    for (int mode = TrackBall; mode <= Look; ++mode) {
        viewer.mode = mode;
        Drag(0, 0, 30, 30);
        Drag(0, 0, 30, 30, GLUT_ACTIVE_CTRL);
    }
    ExpectSameAxes(camera(), start);
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 10.0f), 0.0f);
}

TEST_F(NavigationTest, TranslateInZeroSizeSceneLeavesCameraFinite) {
    Vec3 point{1.0f, 1.0f, 1.0f};
    Vec3 eye{1.0f, 1.0f, 5.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    viewer.SetCameras(point, point, eye, point, up, 45.0f, 1.0f, 0.01f, 10.0f);
    viewer.mode = Look;
    Drag(0, 0, 50, 50, GLUT_ACTIVE_CTRL);
    EXPECT_TRUE(std::isfinite(camera().origin.x));
    EXPECT_TRUE(std::isfinite(camera().origin.y));
    ExpectVec3Near(camera().origin, MakeVec3(1.0f, 1.0f, 5.0f), 0.0f);
}

TEST_F(NavigationTest, ModifiersAreCapturedAtButtonEventsOnly) {
    FakeGlut().modifiers = GLUT_ACTIVE_SHIFT | GLUT_ACTIVE_ALT;
    viewer.Mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 3, 4);
    EXPECT_EQ(viewer.shiftDown, 1);
    EXPECT_EQ(viewer.altDown, 1);
    EXPECT_EQ(viewer.ctrlDown, 0);
    EXPECT_EQ(viewer.middleDown, 1);
    EXPECT_EQ(viewer.prevX, 3);
    EXPECT_EQ(viewer.prevY, 4);
    FakeGlut().modifiers = GLUT_ACTIVE_CTRL;
    viewer.Motion(10, 10);
    EXPECT_EQ(viewer.ctrlDown, 0);
    viewer.Mouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 3, 4);
    EXPECT_EQ(viewer.ctrlDown, 1);
    EXPECT_EQ(viewer.middleDown, 0);
}

// Drag ending with a last step of (dx, dy) pixels, then release at the end point.
class InertiaReleaseTest : public NavigationTest {
protected:
    void DragAndRelease(int dx, int dy) {
        viewer.mode = Translate;
        FakeGlut().modifiers = 0;
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 50, 50);
        viewer.Motion(60, 50);
        viewer.Motion(60 + dx, 50 + dy);
        beforeRelease.Copy(camera().origin);
        viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 60 + dx, 50 + dy);
    }

    // Camera x movement of one Translate step of dx pixels from where the camera stands now.
    float StepX(const Vec3& from, int dx) const {
        return -Distance(from, viewer.sceneCentre) * static_cast<float>(dx) / kWindowWidth;
    }

    Vec3 beforeRelease;
};

TEST_F(InertiaReleaseTest, LastStepOfOnePixelStartsNoInertia) {
    DragAndRelease(1, 1);
    EXPECT_EQ(viewer.inertiaActive, 0);
    EXPECT_TRUE(FakeGlut().timers.empty());
    EXPECT_EQ(viewer.leftDown, 0);
}

TEST_F(InertiaReleaseTest, LastStepOfTwoPixelsStartsInertiaOnEitherAxis) {
    DragAndRelease(2, 0);
    EXPECT_EQ(viewer.inertiaActive, 1);
    viewer.SetInertia(0);
    FakeGlutReset();
    FakeGlut().currentWindow = kTestWindow;
    DragAndRelease(0, -2);
    EXPECT_EQ(viewer.inertiaActive, 1);
}

TEST_F(InertiaReleaseTest, DisabledInertiaDoesNotStart) {
    viewer.inertiaEnabled = 0;
    DragAndRelease(5, 5);
    EXPECT_EQ(viewer.inertiaActive, 0);
    EXPECT_TRUE(FakeGlut().timers.empty());
}

TEST_F(InertiaReleaseTest, ReleaseWithoutPressStartsNoInertia) {
    // The release of a click that picked a menu entry arrives without its press.
    viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_UP, 150, 90);
    EXPECT_EQ(viewer.inertiaActive, 0);
    EXPECT_TRUE(FakeGlut().timers.empty());
    ExpectVec3Near(camera().origin, MakeVec3(0.0f, 0.0f, 10.0f), 0.0f);
}

TEST_F(InertiaReleaseTest, StartStepsAtOnceAndArmsOneTimerForTheWindow) {
    DragAndRelease(4, 0);
    // The release itself replays the last 4-pixel step once.
    EXPECT_NEAR(camera().origin.x - beforeRelease.x, StepX(beforeRelease, 4), 1e-5f);
    ASSERT_EQ(FakeGlut().timers.size(), 1u);
    EXPECT_EQ(FakeGlut().timers[0].interval, 10u);
    EXPECT_EQ(FakeGlut().timers[0].value, kTestWindow);
    EXPECT_EQ(viewer.leftDown, 0);
}

TEST_F(InertiaReleaseTest, TimerTickReplaysSameStepAndKeepsPointerState) {
    DragAndRelease(4, 0);
    int prevX = viewer.prevX;
    int curX = viewer.curX;
    Vec3 before = camera().origin;
    FakeTimer tick = FakeGlut().timers.back();
    tick.callback(tick.value);
    EXPECT_NEAR(camera().origin.x - before.x, StepX(before, 4), 1e-5f);
    EXPECT_EQ(viewer.prevX, prevX);
    EXPECT_EQ(viewer.curX, curX);
    EXPECT_EQ(viewer.leftDown, 0);
    EXPECT_EQ(FakeGlut().timers.size(), 2u);
}

TEST_F(InertiaReleaseTest, NewRunWhileTickPendingKeepsOneTimerChain) {
    DragAndRelease(4, 0);
    ASSERT_EQ(FakeGlut().timers.size(), 1u);
    DragAndRelease(3, 0);
    EXPECT_EQ(viewer.inertiaActive, 1);
    EXPECT_EQ(FakeGlut().timers.size(), 1u);
    FakeTimer tick = FakeGlut().timers.back();
    tick.callback(tick.value);
    EXPECT_EQ(FakeGlut().timers.size(), 2u);
}

TEST_F(InertiaReleaseTest, LeftPressStopsInertiaAndPendingTickDoesNothing) {
    DragAndRelease(4, 0);
    viewer.Mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_EQ(viewer.inertiaActive, 0);
    Vec3 origin = camera().origin;
    FakeTimer tick = FakeGlut().timers.back();
    tick.callback(tick.value);
    ExpectVec3Near(camera().origin, MakeVec3(origin.x, origin.y, origin.z), 0.0f);
    EXPECT_EQ(FakeGlut().timers.size(), 1u);
    EXPECT_EQ(viewer.inertiaTimerArmed, 0);
}

TEST_F(InertiaReleaseTest, TickForWindowWithoutViewerDoesNothing) {
    DragAndRelease(4, 0);
    Viewer::windows[kTestWindow] = nullptr;
    FakeTimer tick = FakeGlut().timers.back();
    Vec3 origin = camera().origin;
    tick.callback(tick.value);
    tick.callback(-1);
    tick.callback(kWindowSlots);
    ExpectVec3Near(camera().origin, MakeVec3(origin.x, origin.y, origin.z), 0.0f);
    EXPECT_EQ(FakeGlut().timers.size(), 1u);
}

}  // namespace
