// Camera path playback in a real GLUT window: the playback timer posts the redisplays that
// advance the path, and its chain ends once playback is over.

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/GlWindow.h"
#include "tests/support/TempDirectory.h"
#include "viewer/Viewer.h"

namespace {

int displayCount = 0;

// Several playback timer intervals: a timer chain still running ticks within it.
constexpr int kQuietMs = 50;

// Draws a frame the way the application does, so each redisplay advances the path once.
void CountingDisplay() {
    ++displayCount;
    if (Viewer* viewer = Viewer::Current()) {
        viewer->BeginFrame();
        viewer->EndFrame();
    }
}

class CameraPathGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { windowId = OpenTestWindow(64, 64, "zel camera path test"); }

    void SetUp() override {
        ASSERT_FALSE(directory.empty());
        glutSetWindow(windowId);
        ASSERT_EQ(viewer.AttachWindow(windowId), windowId);
        glutDisplayFunc(CountingDisplay);
        // Let the redisplays and ticks still pending from earlier tests run out before counting.
        ASSERT_TRUE(PumpUntilTimersDue(kQuietMs));
        displayCount = 0;
    }

    void TearDown() override {
        if (viewer.pathFile != nullptr) {
            std::fclose(viewer.pathFile);
            viewer.pathFile = nullptr;
        }
        viewer.isPlayingBack = 0;
        viewer.isRecording = 0;
        // Pending timer ticks of this test must not reach a destroyed viewer.
        Viewer::windows[windowId] = nullptr;
        EXPECT_TRUE(PumpUntilTimersDue(kQuietMs));
    }

    static int windowId;
    Viewer viewer;
    TempWorkingDirectory workingDirectory{"zel-camera-path-gl"};
    const std::filesystem::path directory = workingDirectory.Path();
};

int CameraPathGlTest::windowId = 0;

TEST_F(CameraPathGlTest, PlaybackThroughRedisplaysShowsEveryRecordedFrameOnce) {
    constexpr int kFrames = 5;
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    for (int frame = 0; frame < kFrames; ++frame) {
        viewer.cameras[0].origin.Set(static_cast<float>(frame), 0.0f, 0.0f);
        Matrix4 view;
        viewer.ViewingMatrix(view);
    }
    viewer.cameras[0].origin.Set(-1.0f, 0.0f, 0.0f);

    viewer.StartPlayback(kCameraPathFile);
    ASSERT_TRUE(PumpEventsUntil([this] { return viewer.isPlayingBack == 0; }));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("CAM PLAYBACK...\n"), std::string::npos);
    EXPECT_NE(output.find(" seconds\n"), std::string::npos);
    // N frames shown, and end of file met in the frame after them.
    EXPECT_EQ(displayCount, kFrames + 1);
    EXPECT_NEAR(viewer.cameras[0].origin.x, kFrames - 1.0f, 1e-6f);

    // The pending tick finds playback over and ends the chain: no more redisplays. A chain still
    // running would tick, and post one, before timers due several intervals later.
    ASSERT_TRUE(PumpUntilTimersDue(kQuietMs));
    displayCount = 0;
    ASSERT_TRUE(PumpUntilTimersDue(kQuietMs));
    EXPECT_EQ(displayCount, 0);
}

}  // namespace
