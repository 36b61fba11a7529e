// Camera path recording and playback, with GLUT replaced by recording fakes: the path advances one
// frame per Viewer::ViewingMatrix call, exactly as it does once per displayed frame.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "camera/Camera.h"
#include "camera/Matrix4.h"
#include "tests/support/TempDirectory.h"
#include "tests/viewer/FakeGlut.h"
#include "viewer/Viewer.h"

namespace {

constexpr float kTolerance = 1e-6f;
// Window id under which the timer tests register their viewer.
constexpr int kTestWindow = 7;

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

// A recognisable frame for camera `index` in frame `frame`: default axes, origin
// (frame + 0.5, -index, 0.25).
Vec3 PathOrigin(int frame, int index) {
    Vec3 origin;
    origin.Set(static_cast<float>(frame) + 0.5f, static_cast<float>(-index), 0.25f);
    return origin;
}

void PlaceCameras(Viewer& viewer, int frame) {
    for (int i = 0; i < viewer.cameraCount; ++i) {
        viewer.cameras[i].ResetFrame();
        viewer.cameras[i].origin = PathOrigin(frame, i);
    }
}

// A path file line with default axes and the given origin, built without the code under test.
std::string PathLine(int frame, int index) {
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(6);
    Vec3 o = PathOrigin(frame, index);
    line << "1 0 0 0 1 0 0 0 1 " << o.x << ' ' << o.y << ' ' << o.z << '\n';
    return line.str();
}

std::string PathFrames(int frames) {
    std::string text;
    for (int frame = 0; frame < frames; ++frame) {
        for (int i = 0; i < 4; ++i) {
            text += PathLine(frame, i);
        }
    }
    return text;
}

void ExpectOrigin(const Camera& camera, const Vec3& expected) {
    EXPECT_NEAR(camera.origin.x, expected.x, kTolerance);
    EXPECT_NEAR(camera.origin.y, expected.y, kTolerance);
    EXPECT_NEAR(camera.origin.z, expected.z, kTolerance);
}

void ShowFrame(Viewer& viewer) {
    Matrix4 view;
    viewer.ViewingMatrix(view);
}

// The playback duration line, e.g. "0.12 seconds".
const std::regex kDurationLine("([0-9]+\\.[0-9]{2}) seconds\n");

class CameraPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(directory.empty());
        FakeGlutReset();
    }

    void TearDown() override {
        if (viewer.pathFile != nullptr) {
            std::fclose(viewer.pathFile);
            viewer.pathFile = nullptr;
        }
    }

    Viewer viewer;
    TempWorkingDirectory workingDirectory{"zel-camera-path"};
    const std::filesystem::path directory = workingDirectory.Path();
};

TEST_F(CameraPathTest, RecordingWritesFourLinesPerDisplayedFrame) {
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    ASSERT_EQ(viewer.isRecording, 1);
    constexpr int kFrames = 3;
    for (int frame = 0; frame < kFrames; ++frame) {
        PlaceCameras(viewer, frame);
        ShowFrame(viewer);
    }
    viewer.EndRecording();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);

    std::vector<std::string> lines = ReadLines(kCameraPathFile);
    ASSERT_EQ(lines.size(), 4u * kFrames);
    EXPECT_EQ(lines[0],
              "1.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 1.000000 "
              "0.500000 0.000000 0.250000");
    EXPECT_EQ(lines[5],
              "1.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 1.000000 "
              "1.500000 -1.000000 0.250000");
    for (size_t n = 0; n < lines.size(); ++n) {
        float v[12];
        ASSERT_EQ(
            std::sscanf(lines[n].c_str(), "%f %f %f %f %f %f %f %f %f %f %f %f", &v[0], &v[1],
                        &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11]),
            12)
            << lines[n];
        Vec3 expected = PathOrigin(static_cast<int>(n / 4), static_cast<int>(n % 4));
        EXPECT_NEAR(v[9], expected.x, kTolerance);
        EXPECT_NEAR(v[10], expected.y, kTolerance);
        EXPECT_NEAR(v[11], expected.z, kTolerance);
    }
}

TEST_F(CameraPathTest, PlaybackShowsEachFrameThenEndsInTheNextFrame) {
    constexpr int kFrames = 2;
    WriteText(kCameraPathFile, PathFrames(kFrames));

    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CAM PLAYBACK...\n");
    ASSERT_EQ(viewer.isPlayingBack, 1);

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < kFrames; ++frame) {
        Matrix4 shown;
        viewer.ViewingMatrix(shown);
        ASSERT_EQ(viewer.isPlayingBack, 1) << "frame " << frame;
        for (int i = 0; i < 4; ++i) {
            ExpectOrigin(viewer.cameras[i], PathOrigin(frame, i));
        }
        // The frame read is the frame drawn.
        Matrix4 expected;
        viewer.currentCamera->ViewingMatrix(expected);
        for (int k = 0; k < 16; ++k) {
            EXPECT_FLOAT_EQ(shown.m[k], expected.m[k]);
        }
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    ShowFrame(viewer);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(output, kDurationLine)) << output;
    EXPECT_EQ(viewer.isPlayingBack, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);
    for (int i = 0; i < 4; ++i) {
        ExpectOrigin(viewer.cameras[i], PathOrigin(kFrames - 1, i));
    }
}

TEST_F(CameraPathTest, PlaybackDurationCountsWallClockTime) {
    WriteText(kCameraPathFile, PathFrames(1));
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    // Sleeping uses no processor time, so only a wall clock sees this wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    viewer.EndPlayback();
    std::string output = testing::internal::GetCapturedStdout();
    std::smatch match;
    std::string last = output.substr(output.find('\n') + 1);
    ASSERT_TRUE(std::regex_match(last, match, kDurationLine)) << output;
    double seconds = std::atof(match[1].str().c_str());
    EXPECT_GE(seconds, 0.14);
    EXPECT_LT(seconds, 10.0);
}

TEST_F(CameraPathTest, EmptyPathFileEndsPlaybackInTheFirstFrame) {
    WriteText(kCameraPathFile, "");
    PlaceCameras(viewer, 7);
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    ShowFrame(viewer);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(viewer.isPlayingBack, 0);
    ASSERT_EQ(output.rfind("CAM PLAYBACK...\n", 0), 0u) << output;
    EXPECT_TRUE(std::regex_match(output.substr(16), kDurationLine)) << output;
    for (int i = 0; i < 4; ++i) {
        ExpectOrigin(viewer.cameras[i], PathOrigin(7, i));
    }
}

TEST_F(CameraPathTest, PartialLastFrameMovesOnlyTheCamerasThatFindALine) {
    std::string text = PathFrames(1) + PathLine(1, 0) + PathLine(1, 1);
    WriteText(kCameraPathFile, text);
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    ShowFrame(viewer);
    EXPECT_EQ(viewer.isPlayingBack, 1);
    ShowFrame(viewer);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(viewer.isPlayingBack, 0);
    ExpectOrigin(viewer.cameras[0], PathOrigin(1, 0));
    ExpectOrigin(viewer.cameras[1], PathOrigin(1, 1));
    ExpectOrigin(viewer.cameras[2], PathOrigin(0, 2));
    ExpectOrigin(viewer.cameras[3], PathOrigin(0, 3));
}

TEST_F(CameraPathTest, TokenThatIsNotANumberHoldsTheLastFrameUntilStop) {
    WriteText(kCameraPathFile, PathFrames(1) + "not-a-number 1 2 3\n");
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    for (int frame = 0; frame < 5; ++frame) {
        ShowFrame(viewer);
        ASSERT_EQ(viewer.isPlayingBack, 1) << "frame " << frame;
    }
    for (int i = 0; i < 4; ++i) {
        ExpectOrigin(viewer.cameras[i], PathOrigin(0, i));
    }
    testing::internal::GetCapturedStdout();

    testing::internal::CaptureStdout();
    viewer.StopPathPlay();
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(output, kDurationLine)) << output;
    EXPECT_EQ(viewer.isPlayingBack, 0);
}

TEST_F(CameraPathTest, PlayDuringRecordingReadsWhatWasJustRecorded) {
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    for (int frame = 0; frame < 2; ++frame) {
        PlaceCameras(viewer, frame);
        ShowFrame(viewer);
    }
    PlaceCameras(viewer, 9);
    viewer.StartPlayback(kCameraPathFile);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CAM PLAYBACK...\n");
    EXPECT_EQ(viewer.isRecording, 0);
    ASSERT_EQ(viewer.isPlayingBack, 1);

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 2; ++frame) {
        ShowFrame(viewer);
        for (int i = 0; i < 4; ++i) {
            ExpectOrigin(viewer.cameras[i], PathOrigin(frame, i));
        }
    }
    ShowFrame(viewer);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(viewer.isPlayingBack, 0);
}

TEST_F(CameraPathTest, RecordDuringPlaybackPrintsDurationAndDiscardsTheOldPath) {
    WriteText(kCameraPathFile, PathFrames(2));
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    ShowFrame(viewer);
    testing::internal::GetCapturedStdout();

    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(output, kDurationLine)) << output;
    EXPECT_EQ(viewer.isPlayingBack, 0);
    ASSERT_EQ(viewer.isRecording, 1);
    viewer.EndRecording();
    EXPECT_TRUE(ReadLines(kCameraPathFile).empty());
}

TEST_F(CameraPathTest, RecordTwiceKeepsRecordingIntoTheSameFile) {
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    ShowFrame(viewer);
    viewer.StartRecording("other.dat");
    ShowFrame(viewer);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Already recording!\n");
    EXPECT_EQ(viewer.isRecording, 1);
    viewer.EndRecording();
    EXPECT_EQ(ReadLines(kCameraPathFile).size(), 8u);
    EXPECT_FALSE(std::filesystem::exists("other.dat"));
}

TEST_F(CameraPathTest, StopEndsWhicheverModeIsOn) {
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    ShowFrame(viewer);
    viewer.StopPathPlay();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);
    EXPECT_EQ(ReadLines(kCameraPathFile).size(), 4u);

    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    viewer.StopPathPlay();
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(output.substr(16), kDurationLine)) << output;
    EXPECT_EQ(viewer.isPlayingBack, 0);
}

TEST_F(CameraPathTest, EndingWhileIdleOnlyPrintsAMessage) {
    struct Case {
        void (Viewer::*end)();
        const char* message;
    };
    const Case cases[] = {{&Viewer::StopPathPlay, "Not recording or playing back!\n"},
                          {&Viewer::EndRecording, "Not recording!\n"},
                          {&Viewer::EndPlayback, "Not playing back!\n"}};
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        (viewer.*c.end)();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_EQ(viewer.isRecording, 0);
        EXPECT_EQ(viewer.isPlayingBack, 0);
        EXPECT_EQ(viewer.pathFile, nullptr);
    }
}

TEST_F(CameraPathTest, UnopenablePathFileLeavesTheViewerIdle) {
    // Playing a missing file, straight from idle.
    testing::internal::CaptureStdout();
    viewer.StartPlayback("missing.dat");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR (StartPlayback) fp==NULL\n");
    EXPECT_EQ(viewer.isPlayingBack, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);

    // Recording into a directory that does not exist, while playing back: the playback has
    // already ended when the open fails.
    WriteText(kCameraPathFile, PathFrames(1));
    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    viewer.StartRecording("no-such-directory/cam.dat");
    std::string output = testing::internal::GetCapturedStdout();
    std::string durationLine = output.substr(0, output.find('\n') + 1);
    EXPECT_TRUE(std::regex_match(durationLine, kDurationLine)) << output;
    EXPECT_EQ(output.substr(durationLine.size()), "ERROR (StartRecording) fp==NULL\n");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(viewer.isPlayingBack, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);

    // Playing a missing file while recording: the recording is closed and kept.
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    ShowFrame(viewer);
    viewer.StartPlayback("missing.dat");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR (StartPlayback) fp==NULL\n");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(ReadLines(kCameraPathFile).size(), 4u);
}

TEST_F(CameraPathTest, WriteErrorIsReportedWhenRecordingEnds) {
    testing::internal::CaptureStdout();
    viewer.StartRecording("/dev/full");
    ASSERT_EQ(viewer.isRecording, 1);
    ShowFrame(viewer);
    ShowFrame(viewer);
    viewer.EndRecording();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR WRITING CAM PATH FILE!\n");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);
}

TEST_F(CameraPathTest, PlaybackTimerIgnoresIdsWithoutARegisteredViewer) {
    for (int id : {-1, 0, kMaxWindowId + 1, kTestWindow}) {
        PlaybackTimer(id);
    }
    EXPECT_EQ(FakeGlut().redisplays, 0);
    EXPECT_TRUE(FakeGlut().timers.empty());
}

TEST_F(CameraPathTest, PlaybackTimerChainRedisplaysWhilePlayingAndEndsAfterwards) {
    Viewer::windows[kTestWindow] = &viewer;
    viewer.windowId = kTestWindow;
    WriteText(kCameraPathFile, PathFrames(1));

    testing::internal::CaptureStdout();
    viewer.StartPlayback(kCameraPathFile);
    // The first tick runs at once, in the viewer's window.
    EXPECT_EQ(FakeGlut().currentWindow, kTestWindow);
    EXPECT_EQ(FakeGlut().redisplays, 1);
    ASSERT_EQ(FakeGlut().timers.size(), 1u);
    FakeTimer tick = FakeGlut().timers.back();
    EXPECT_EQ(tick.interval, viewer.timerInterval);
    EXPECT_EQ(tick.callback, &PlaybackTimer);
    EXPECT_EQ(tick.value, kTestWindow);

    FakeGlut().currentWindow = 0;
    tick.callback(tick.value);
    EXPECT_EQ(FakeGlut().currentWindow, kTestWindow);
    EXPECT_EQ(FakeGlut().redisplays, 2);
    ASSERT_EQ(FakeGlut().timers.size(), 2u);

    viewer.EndPlayback();
    testing::internal::GetCapturedStdout();
    tick = FakeGlut().timers.back();
    tick.callback(tick.value);
    EXPECT_EQ(FakeGlut().redisplays, 2);
    EXPECT_EQ(FakeGlut().timers.size(), 2u);
    Viewer::windows[kTestWindow] = nullptr;
}

}  // namespace
