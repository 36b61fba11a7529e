#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>

#include "tests/support/FieldOfViewReadBack.h"
#include "tests/viewer/FakeGlut.h"
#include "viewer/Viewer.h"

namespace {

constexpr float kTolerance = 1e-4f;
constexpr int kTestWindow = 7;

void ExpectSameFrame(const Camera& a, const Camera& b) {
    const Vec3* left[] = {&a.xAxis, &a.yAxis, &a.zAxis, &a.origin};
    const Vec3* right[] = {&b.xAxis, &b.yAxis, &b.zAxis, &b.origin};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(left[i]->x, right[i]->x) << "vector " << i;
        EXPECT_FLOAT_EQ(left[i]->y, right[i]->y) << "vector " << i;
        EXPECT_FLOAT_EQ(left[i]->z, right[i]->z) << "vector " << i;
    }
}

float Aspect(const Camera& camera) {
    return (camera.right - camera.left) / (camera.top - camera.bottom);
}

// Counts the calls the window trampolines forward.
class CountingViewer : public Viewer {
public:
    void Display() override { ++displays; }
    void Reshape(int width, int height) override {
        lastWidth = width;
        lastHeight = height;
    }
    void Motion(int x, int y) override {
        lastX = x;
        lastY = y;
    }
    int displays = 0;
    int lastWidth = -1;
    int lastHeight = -1;
    int lastX = -1;
    int lastY = -1;
};

// A viewer with the cameras placed round a box from (-1, -1, -1) to (3, 3, 3), registered as
// the current fake window.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeGlutReset();
        FakeGlut().currentWindow = kTestWindow;
        Viewer::windows[kTestWindow] = &viewer;
        viewer.windowId = kTestWindow;
        Vec3 a{-1.0f, -1.0f, -1.0f};
        Vec3 b{3.0f, 3.0f, 3.0f};
        Vec3 eye{1.0f, 1.0f, 12.0f};
        Vec3 centre{1.0f, 1.0f, 1.0f};
        Vec3 up{0.0f, 1.0f, 0.0f};
        viewer.SetCameras(a, b, eye, centre, up, 45.0f, 1.0f, 0.01f, 10.0f);
    }

    void TearDown() override { Viewer::windows[kTestWindow] = nullptr; }

    Viewer viewer;
};

TEST(ViewerTableTest, LaterViewerKeepsEarlierRegistrationAndDestructorClearsOnlyItsOwnSlot) {
    Viewer first;
    Viewer::windows[3] = &first;
    first.windowId = 3;
    {
        Viewer second;
        EXPECT_EQ(Viewer::windows[3], &first);
        second.windowId = 4;
        Viewer::windows[4] = &second;
    }
    EXPECT_EQ(Viewer::windows[4], nullptr);
    EXPECT_EQ(Viewer::windows[3], &first);
    Viewer::windows[3] = nullptr;
}

TEST(ViewerTableTest, ConstructedViewerOwnsFourDefaultCamerasAndNoWindow) {
    Viewer viewer;
    EXPECT_EQ(viewer.windowId, -1);
    ASSERT_EQ(viewer.cameraCount, 4);
    EXPECT_EQ(viewer.currentCamera, viewer.cameras);
    Camera standard;
    for (int i = 0; i < viewer.cameraCount; ++i) {
        ExpectSameFrame(viewer.cameras[i], standard);
        EXPECT_EQ(viewer.cameraShown[i], 0);
    }
    FakeGlutReset();
    FakeGlut().currentWindow = 9;
    EXPECT_EQ(Viewer::Current(), nullptr);
}

TEST(ViewerTableTest, TrampolinesForwardToCurrentWindowsViewerAndIgnoreEmptySlots) {
    FakeGlutReset();
    CountingViewer viewer;
    FakeGlut().currentWindow = 11;
    ViewerDisplayFunc();
    ViewerReshapeFunc(10, 20);
    ViewerMotionFunc(1, 2);
    ViewerInertiaFunc(3, 4);
    ViewerMouseFunc(0, 0, 1, 1);
    ViewerKeyboardFunc('q', 0, 0);
    EXPECT_EQ(viewer.displays, 0);

    Viewer::windows[11] = &viewer;
    viewer.windowId = 11;
    ViewerDisplayFunc();
    ViewerReshapeFunc(10, 20);
    ViewerMotionFunc(1, 2);
    EXPECT_EQ(viewer.displays, 1);
    EXPECT_EQ(viewer.lastWidth, 10);
    EXPECT_EQ(viewer.lastHeight, 20);
    EXPECT_EQ(viewer.lastX, 1);
    // The inertia step calls the base Motion, not the override.
    viewer.leftDown = 0;
    viewer.curX = 40;
    ViewerInertiaFunc(3, 4);
    EXPECT_EQ(viewer.lastX, 1);
    EXPECT_EQ(viewer.prevX, 40);

    FakeGlut().currentWindow = kWindowSlots;
    ViewerDisplayFunc();
    EXPECT_EQ(viewer.displays, 1);
}

TEST_F(ViewerTest, SetCamerasPlacesEveryCameraAndTheHomeCamera) {
    EXPECT_NEAR(viewer.sceneCentre.x, 1.0f, kTolerance);
    EXPECT_NEAR(viewer.sceneRadius, std::sqrt(12.0f), kTolerance);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        const Camera& camera = viewer.cameras[i];
        EXPECT_NEAR(camera.zNear, 0.01f * std::sqrt(12.0f), 1e-6f);
        EXPECT_NEAR(camera.zFar, 10.0f * std::sqrt(12.0f), kTolerance);
        EXPECT_NEAR(camera.origin.z, 12.0f, kTolerance);
        EXPECT_NEAR(camera.zAxis.z, 1.0f, kTolerance);
    }
    ExpectSameFrame(viewer.homeCamera, viewer.cameras[0]);
    EXPECT_FLOAT_EQ(viewer.homeCamera.top, viewer.cameras[0].top);
}

TEST_F(ViewerTest, SetCamerasKeepsCurrentCameraAndDisplayFlags) {
    viewer.currentCamera = &viewer.cameras[2];
    viewer.cameraShown[1] = 1;
    Vec3 a{0.0f, 0.0f, 0.0f};
    Vec3 b{1.0f, 1.0f, 1.0f};
    Vec3 eye{0.5f, 0.5f, 4.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    viewer.SetCameras(a, b, eye, a, up, 45.0f, 1.0f, 0.01f, 10.0f);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);
    EXPECT_EQ(viewer.cameraShown[1], 1);
}

TEST_F(ViewerTest, SetCamerasWithEqualCornersGivesZeroRadiusAndStaysFiniteOnReshape) {
    Vec3 point{2.0f, 2.0f, 2.0f};
    Vec3 eye{2.0f, 2.0f, 5.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    viewer.SetCameras(point, point, eye, point, up, 45.0f, 1.0f, 0.01f, 10.0f);
    EXPECT_EQ(viewer.sceneRadius, 0.0f);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        EXPECT_EQ(viewer.cameras[i].zNear, 0.0f);
        EXPECT_EQ(viewer.cameras[i].zFar, 0.0f);
    }
    viewer.Reshape(800, 400);
    FakeGlut().windowWidth = 300;
    FakeGlut().windowHeight = 100;
    viewer.ResetViews();
    for (int i = 0; i < viewer.cameraCount; ++i) {
        const Camera& camera = viewer.cameras[i];
        EXPECT_TRUE(std::isfinite(camera.left) && std::isfinite(camera.right));
        EXPECT_TRUE(std::isfinite(camera.top) && std::isfinite(camera.bottom));
    }
}

float ReadFovy(const Camera& camera) {
    float fovy = 0.0f;
    float unused = 0.0f;
    camera.GetPerspective(fovy, unused, unused, unused);
    return fovy;
}

TEST_F(ViewerTest, ReshapeSetsEachCameraAgainFromItsReadBackFieldOfView) {
    // Give each camera its own field of view and near distance so that none is taken from
    // another.
    const float fovys[] = {30.0f, 40.0f, 50.0f, 60.0f};
    const float nears[] = {0.5f, 1.5f, 2.5f, 3.5f};
    for (int i = 0; i < viewer.cameraCount; ++i) {
        viewer.cameras[i].SetPerspective(fovys[i], 1.0f, nears[i], 100.0f);
    }
    viewer.Reshape(800, 400);
    EXPECT_EQ(FakeGlut().viewportWidth, 800);
    EXPECT_EQ(FakeGlut().viewportHeight, 400);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        SCOPED_TRACE(i);
        const Camera& camera = viewer.cameras[i];
        float once = FieldOfViewReadBack(fovys[i], nears[i]);
        EXPECT_FLOAT_EQ(ReadFovy(camera), FieldOfViewReadBack(once, nears[i]));
        EXPECT_LT(ReadFovy(camera), once);
        EXPECT_EQ(camera.zNear, nears[i]);
        EXPECT_EQ(camera.zFar, 100.0f);
        EXPECT_EQ(camera.bottom, -camera.top);
        EXPECT_NEAR(Aspect(camera), 2.0f, kTolerance);
    }
}

TEST_F(ViewerTest, EveryReshapeShrinksTheFieldOfViewOnceMore) {
    viewer.SetPerspective(45.0f, 1.0f, 0.1f, 100.0f);
    float expected = FieldOfViewReadBack(45.0f, 0.1f);
    // 45 x 0.9999947^n for n = 2, 3, 4: the placement read back, then one shrink per reshape.
    const float about[] = {44.99952f, 44.99928f, 44.99904f};
    for (int reshape = 0; reshape < 3; ++reshape) {
        SCOPED_TRACE(reshape);
        viewer.Reshape(512, 512);
        expected = FieldOfViewReadBack(expected, 0.1f);
        EXPECT_FLOAT_EQ(ReadFovy(viewer.cameras[0]), expected);
        EXPECT_NEAR(ReadFovy(viewer.cameras[0]), about[reshape], 1e-5f);
        EXPECT_FLOAT_EQ(viewer.cameras[0].right, viewer.cameras[0].top);
    }
}

TEST_F(ViewerTest, ReshapeToZeroSideSetsViewportAndKeepsAspect) {
    viewer.Reshape(600, 300);
    viewer.Reshape(0, 480);
    EXPECT_EQ(FakeGlut().viewportWidth, 0);
    viewer.Reshape(640, 0);
    EXPECT_EQ(FakeGlut().viewportWidth, 640);
    EXPECT_EQ(FakeGlut().viewportHeight, 0);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        EXPECT_NEAR(Aspect(viewer.cameras[i]), 2.0f, kTolerance);
        EXPECT_TRUE(std::isfinite(viewer.cameras[i].right));
    }
}

TEST_F(ViewerTest, ResetViewsRestoresHomeFramesWithAspectOfWindowAtResetTime) {
    for (int reshape = 0; reshape < 3; ++reshape) {
        viewer.Reshape(400, 400);
    }
    Matrix4 move;
    TranslationMatrix(move, 1.0f, 2.0f, 3.0f);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        viewer.cameras[i].Transform(move);
    }
    viewer.currentCamera = &viewer.cameras[3];
    viewer.cameraShown[0] = 1;
    FakeGlut().windowWidth = 300;
    FakeGlut().windowHeight = 100;
    viewer.ResetViews();
    // The field of view starts again from the home camera's: shrunk once, whatever the
    // reshapes before did.
    float once = FieldOfViewReadBack(ReadFovy(viewer.homeCamera), viewer.homeCamera.zNear);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        ExpectSameFrame(viewer.cameras[i], viewer.homeCamera);
        EXPECT_FLOAT_EQ(ReadFovy(viewer.cameras[i]), once);
        EXPECT_EQ(viewer.cameras[i].zNear, viewer.homeCamera.zNear);
        EXPECT_NEAR(Aspect(viewer.cameras[i]), 3.0f, kTolerance);
    }
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[3]);
    EXPECT_EQ(viewer.cameraShown[0], 1);
}

TEST_F(ViewerTest, SelectCameraAndToggleDisplayActOnCurrentWindowAndIgnoreBadIndices) {
    Viewer::SelectCamera(2);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);
    EXPECT_EQ(FakeGlut().redisplays, 1);
    Viewer::SelectCamera(4);
    Viewer::SelectCamera(-1);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);

    Viewer::ToggleCameraDisplay(0);
    EXPECT_EQ(viewer.cameraShown[0], 1);
    Viewer::ToggleCameraDisplay(0);
    EXPECT_EQ(viewer.cameraShown[0], 0);
    Viewer::ToggleCameraDisplay(4);
    Viewer::ToggleCameraDisplay(-1);
    EXPECT_EQ(FakeGlut().redisplays, 3);

    FakeGlut().currentWindow = kTestWindow + 1;
    Viewer::SelectCamera(1);
    Viewer::ToggleCameraDisplay(1);
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);
    EXPECT_EQ(viewer.cameraShown[1], 0);
}

TEST_F(ViewerTest, RecordingWritesOneLinePerCameraPerFrame) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    viewer.pathFile = file;
    viewer.isRecording = 1;
    Matrix4 matrix;
    for (int frame = 0; frame < 3; ++frame) {
        viewer.ViewingMatrix(matrix);
    }
    viewer.isRecording = 0;
    viewer.pathFile = nullptr;
    std::rewind(file);
    int lines = 0;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        lines += c == '\n' ? 1 : 0;
    }
    std::fclose(file);
    EXPECT_EQ(lines, 12);
}

TEST_F(ViewerTest, PlaybackReadsEveryCameraAndEndsInFrameThatMeetsEndOfFile) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    // Six lines: one whole frame, then lines for cameras 0 and 1 only.
    for (int line = 1; line <= 6; ++line) {
        std::fprintf(file, "1 0 0 0 1 0 0 0 1 %d 0 0\n", line);
    }
    std::rewind(file);
    viewer.pathFile = file;
    viewer.isPlayingBack = 1;
    viewer.currentCamera = &viewer.cameras[1];
    Matrix4 matrix;
    viewer.ViewingMatrix(matrix);
    EXPECT_EQ(viewer.isPlayingBack, 1);
    EXPECT_FLOAT_EQ(viewer.cameras[3].origin.x, 4.0f);
    // The matrix is that of the frame just read: camera 1 at x = 2.
    EXPECT_FLOAT_EQ(matrix[12], -2.0f);

    viewer.ViewingMatrix(matrix);
    EXPECT_EQ(viewer.isPlayingBack, 0);
    EXPECT_FLOAT_EQ(viewer.cameras[0].origin.x, 5.0f);
    EXPECT_FLOAT_EQ(viewer.cameras[1].origin.x, 6.0f);
    EXPECT_FLOAT_EQ(viewer.cameras[2].origin.x, 3.0f);
    EXPECT_FLOAT_EQ(viewer.cameras[3].origin.x, 4.0f);
    EXPECT_FLOAT_EQ(matrix[12], -6.0f);
}

// Current wall clock in the meter's units.
MeterTime Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    MeterTime time;
    time.seconds = static_cast<int32_t>(now.tv_sec);
    time.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return time;
}

TEST(FrameRateMeterTest, CountsOnlyWhileOnAndMeasuresOverAtLeastOneSecond) {
    Viewer viewer;
    viewer.UpdateFrameRate();
    EXPECT_EQ(viewer.meterFrames, 0);

    viewer.meterOn = 1;
    viewer.meterLast = Now();
    viewer.UpdateFrameRate();
    EXPECT_EQ(viewer.meterFrames, 1);
    EXPECT_EQ(viewer.frameRate, 0.0f);

    viewer.meterLast.seconds -= 2;
    viewer.meterFrames = 9;
    viewer.UpdateFrameRate();
    EXPECT_EQ(viewer.meterFrames, 0);
    EXPECT_NEAR(viewer.frameRate, 5.0f, 0.3f);
}

TEST(FrameRateMeterTest, NegativeMillisecondDifferenceBorrowsFromSeconds) {
    Viewer viewer;
    viewer.meterOn = 1;
    MeterTime now = Now();
    viewer.meterLast.seconds = now.seconds - 2;
    viewer.meterLast.milliseconds = 999;
    viewer.meterFrames = 9;
    viewer.UpdateFrameRate();
    // Elapsed lies between 1.0 and 2.0 seconds, so 10 frames give 5 to 10 per second.
    EXPECT_GE(viewer.frameRate, 4.9f);
    EXPECT_LE(viewer.frameRate, 10.1f);
}

}  // namespace
