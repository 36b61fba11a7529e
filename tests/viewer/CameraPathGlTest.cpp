// Camera path playback in a real GLUT window: the playback timer posts the redisplays that
// advance the path, and its chain ends once playback is over.

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/GlWindow.h"
#include "tests/support/TempDirectory.h"
#include "viewer/Viewer.h"

namespace {

int displayCount = 0;

// Draws a frame the way the application does, so each redisplay advances the path once.
void CountingDisplay() {
    ++displayCount;
    if (Viewer* viewer = Viewer::Current()) {
        viewer->BeginFrame();
        viewer->EndFrame();
    }
}

// Pumps events until the viewer's playback ends or the time runs out; false on time out.
bool PumpUntilPlaybackEnds(const Viewer& viewer, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (viewer.isPlayingBack && std::chrono::steady_clock::now() < end) {
        PumpEvents(5);
    }
    return !viewer.isPlayingBack;
}

class CameraPathGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { windowId = OpenTestWindow(64, 64, "zel camera path test"); }

    void SetUp() override {
        ASSERT_FALSE(directory.empty());
        glutSetWindow(windowId);
        ASSERT_EQ(viewer.AttachWindow(windowId), windowId);
        glutDisplayFunc(CountingDisplay);
        // Let anything pending from earlier tests run out before counting.
        PumpEvents(40);
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
        PumpEvents(30);
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
    ASSERT_TRUE(PumpUntilPlaybackEnds(viewer, 5000));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("CAM PLAYBACK...\n"), std::string::npos);
    EXPECT_NE(output.find(" seconds\n"), std::string::npos);
    // N frames shown, and end of file met in the frame after them.
    EXPECT_EQ(displayCount, kFrames + 1);
    EXPECT_NEAR(viewer.cameras[0].origin.x, kFrames - 1.0f, 1e-6f);

    // The pending tick finds playback over and ends the chain: no more redisplays.
    PumpEvents(50);
    displayCount = 0;
    PumpEvents(150);
    EXPECT_EQ(displayCount, 0);
}

}  // namespace
