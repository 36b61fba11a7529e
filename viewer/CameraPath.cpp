// Camera path recording and playback: the path file is opened and closed here; the per-frame
// write or read of every camera happens in Viewer::ViewingMatrix.

#include <GL/freeglut.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "viewer/Viewer.h"

namespace {

// Milliseconds to seconds for the playback duration.
constexpr double kMillisecondsToSeconds = 0.001;

// A monotonic wall clock in milliseconds, truncated to 32 bits. Processor time would not
// count the time spent waiting for frames, so it would not give the playback's duration.
uint32_t MonotonicMilliseconds() {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(milliseconds.count());
}

void PrintMessage(const char* message) {
    std::printf("%s", message);
    std::fflush(stdout);
}

}  // namespace

void Viewer::StartRecording(const char* fileName) {
    if (isRecording) {
        PrintMessage("Already recording!\n");
        return;
    }
    if (isPlayingBack) {
        EndPlayback();
    }
    pathFile = std::fopen(fileName, "w");
    if (pathFile == nullptr) {
        PrintMessage("ERROR (StartRecording) fp==NULL\n");
        return;
    }
    isRecording = 1;
}

void Viewer::EndRecording() {
    if (!isRecording) {
        PrintMessage("Not recording!\n");
        return;
    }
    // Buffered frames reach the disk only at close, so both the stream's error flag and the
    // close result decide whether the recording was saved.
    bool failed = std::ferror(pathFile) != 0;
    if (std::fclose(pathFile) != 0) {
        failed = true;
    }
    pathFile = nullptr;
    isRecording = 0;
    if (failed) {
        PrintMessage("ERROR WRITING CAM PATH FILE!\n");
    }
}

void Viewer::StartPlayback(const char* fileName) {
    if (isRecording) {
        EndRecording();
    }
    if (isPlayingBack) {
        EndPlayback();
    }
    pathFile = std::fopen(fileName, "r");
    if (pathFile == nullptr) {
        PrintMessage("ERROR (StartPlayback) fp==NULL\n");
        return;
    }
    isPlayingBack = 1;
    PrintMessage("CAM PLAYBACK...\n");
    playbackStartClock = static_cast<int32_t>(MonotonicMilliseconds());
    PlaybackTimer(windowId);
}

void Viewer::EndPlayback() {
    if (!isPlayingBack) {
        PrintMessage("Not playing back!\n");
        return;
    }
    std::fclose(pathFile);
    pathFile = nullptr;
    isPlayingBack = 0;
    // Unsigned subtraction stays right when the 32-bit clock wraps between start and end.
    uint32_t elapsed = MonotonicMilliseconds() - static_cast<uint32_t>(playbackStartClock);
    std::printf("%.2f seconds\n", elapsed * kMillisecondsToSeconds);
    std::fflush(stdout);
}

void Viewer::StopPathPlay() {
    if (isPlayingBack) {
        EndPlayback();
    } else if (isRecording) {
        EndRecording();
    } else {
        PrintMessage("Not recording or playing back!\n");
    }
}

void PlaybackTimer(int value) {
    // A viewer without a registered window (id -1, or 0 after a refused registration) has no
    // table slot and nothing to redisplay; its playback advances with its own frames.
    if (value <= 0 || value > kMaxWindowId) {
        return;
    }
    Viewer* viewer = Viewer::windows[value];
    if (viewer == nullptr || !viewer->isPlayingBack) {
        return;
    }
    if (glutGetWindow() != value) {
        glutSetWindow(value);
    }
    glutPostRedisplay();
    glutTimerFunc(viewer->timerInterval, PlaybackTimer, viewer->windowId);
}
