#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/ViewerProcess.h"

// Nothing the program writes is lost or left half-written: the camera path file after "Stop" and
// after Esc, and snapshots, also when the disk refuses them.

namespace {

constexpr int kWindowTimeoutSeconds = 20;
constexpr int kExitTimeoutMs = 10000;
// Time a pick's effect may take to show on a loaded machine.
constexpr int kEffectTimeoutMs = 3000;

// Main menu entries and their sub-menu entries, as the menu tree orders them.
constexpr int kViewerOptionsMenu = 5;
constexpr int kDumpCamParams = 4;
constexpr int kPathPlayMenu = 7;
constexpr int kRecord = 0;
constexpr int kStop = 2;

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool FileExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

// Checks a camera path file: whole lines of twelve numbers, four a frame; returns the lines.
std::vector<std::string> ExpectWholeFrames(const std::string& bytes) {
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.back(), '\n') << "the last line is cut short";
    std::vector<std::string> lines = SplitLines(bytes);
    EXPECT_EQ(lines.size() % 4, 0u) << "a frame is cut short";
    std::regex twelveNumbers(R"(-?\d+\.\d{6}( -?\d+\.\d{6}){11})");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, twelveNumbers)) << line;
    }
    return lines;
}

// The example torus running in a fresh working directory, with its window found.
class DataSafety : public ::testing::Test {
protected:
    void Launch() {
        ASSERT_TRUE(UseOwnDisplay()) << "could not start a private Xvfb server";
        ASSERT_NE(dir.Path(), "");
        ASSERT_TRUE(program.Start({"-file", ExamplePath("torus.zel")}));
        window = WaitForViewerWindow(kWindowTimeoutSeconds);
        ASSERT_NE(window, "") << program.Stderr();
        ASSERT_TRUE(GetWindowGeometry(window, &frame));
    }

    void DragAcross() {
        int middleX = frame.x + frame.width / 2;
        int middleY = frame.y + frame.height / 2;
        LeftDrag(middleX - 60, middleY, middleX + 60, middleY + 20, 16);
    }

    // Picks a menu entry until standard output holds one more copy of text than before; on a
    // loaded machine a pick now and then lands nowhere, so it is tried a few times.
    bool PickUntilPrinted(const std::vector<int>& path, const std::string& text) {
        size_t before = CountOf(program.Stdout(), text);
        for (int attempt = 0; attempt < 4; ++attempt) {
            EXPECT_TRUE(PickMenuEntry(window, 40, 40, {path[0], path[1]}));
            if (WaitFor([&] { return CountOf(program.Stdout(), text) > before; },
                        kEffectTimeoutMs)) {
                return true;
            }
        }
        return false;
    }

    // Picks "Record" until the path file appears.
    void StartRecording() {
        for (int attempt = 0; attempt < 4; ++attempt) {
            ASSERT_TRUE(PickMenuEntry(window, 40, 40, {kPathPlayMenu, kRecord}));
            if (WaitFor([this] { return FileExists(dir.File("cam_record0.dat")); },
                        kEffectTimeoutMs)) {
                return;
            }
        }
        FAIL() << "recording did not start; stdout:\n" << program.Stdout();
    }

    // Picks "Stop" until the program says nothing is recording, which only a later "Stop" than
    // the one that ended the recording prints; returns the path file as it stands then.
    std::string StopRecording() {
        EXPECT_TRUE(PickUntilPrinted({kPathPlayMenu, kStop}, "Not recording or playing back!\n"))
            << program.Stdout();
        EXPECT_EQ(program.Stdout().find("CAM PLAYBACK"), std::string::npos)
            << "a pick landed on \"Play\"";
        return ReadFileBytes(dir.File("cam_record0.dat"));
    }

    void PressEscapeAndExpectStatusOne() {
        ExpectEscapeEndsWithStatusOne(program, window, kExitTimeoutMs);
    }

    TempDirectory dir;
    ViewerProcess program{dir.Path()};
    std::string window;
    WindowGeometry frame;
};

// The program started in a working directory with a limit on the size of the files it writes
// and the limit signal ignored, so a write past the limit fails the way a full disk does.
class SizeLimitedViewer {
public:
    ~SizeLimitedViewer() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    bool Start(const std::string& dir, const std::string& mesh, rlim_t maxFileBytes) {
        outPath = dir + "/stdout.txt";
        pid = fork();
        if (pid == 0) {
            int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int null = open("/dev/null", O_RDWR);
            if (out < 0 || null < 0 || chdir(dir.c_str()) != 0) {
                _exit(127);
            }
            dup2(null, 0);
            dup2(out, 1);
            dup2(null, 2);
            rlimit limit{maxFileBytes, maxFileBytes};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
            std::string program = ViewerProgramPath();
            execl(program.c_str(), program.c_str(), "-file", mesh.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid > 0;
    }

    // Waits for the program to end; its exit status, or -1 when it had to be killed.
    int Wait(int timeoutMs) {
        int status = 0;
        bool ended =
            WaitFor([this, &status] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
        if (!ended) {
            return -1;
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Stdout() const { return ReadFileBytes(outPath); }

private:
    pid_t pid = -1;
    std::string outPath;
};

}  // namespace

TEST_F(DataSafety, StoppedRecordingHoldsEveryFrameUpToTheStop) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    // Inertia off, so the camera stands still once the drag ends.
    SendKeys(window, "i");
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    DragAcross();
    // Whole frames are on disk once recording has stopped.
    std::string recorded = StopRecording();
    std::vector<std::string> lines = ExpectWholeFrames(recorded);
    ASSERT_GE(lines.size(), 8u) << program.Stdout();
    EXPECT_NE(lines.front(), lines[lines.size() - 4]) << "the drag was not recorded";

    // The last frame written is the camera as it stands: its origin is the eye the dump prints.
    ASSERT_TRUE(PickUntilPrinted({kViewerOptionsMenu, kDumpCamParams}, "       Far: "))
        << program.Stdout();
    float eye[3];
    std::string out = program.Stdout();
    size_t at = out.find("       Eye: ");
    ASSERT_NE(at, std::string::npos) << out;
    ASSERT_EQ(std::sscanf(out.c_str() + at, "       Eye: (%f, %f, %f)", &eye[0], &eye[1], &eye[2]),
              3);
    float values[12];
    const std::string& last = lines[lines.size() - 4];
    ASSERT_EQ(std::sscanf(last.c_str(), "%f %f %f %f %f %f %f %f %f %f %f %f", &values[0],
                          &values[1], &values[2], &values[3], &values[4], &values[5], &values[6],
                          &values[7], &values[8], &values[9], &values[10], &values[11]),
              12);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(values[9 + axis], eye[axis], 0.0015f) << "axis " << axis;
    }
    PressEscapeAndExpectStatusOne();
}

TEST_F(DataSafety, EscapeWhileRecordingLeavesOnlyWholeFrames) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_NO_FATAL_FAILURE(StartRecording());
    DragAcross();
    // Inertia keeps the camera moving, so frames are still being written when Esc comes.
    PressEscapeAndExpectStatusOne();
    std::vector<std::string> lines = ExpectWholeFrames(ReadFileBytes(dir.File("cam_record0.dat")));
    EXPECT_GE(lines.size(), 8u);
}

TEST_F(DataSafety, SnapshotTakenJustBeforeEscapeIsCompleteAndShowsTheScene) {
    // Both keys in one burst as soon as the window is on the screen, maybe before its first frame.
    ASSERT_NO_FATAL_FAILURE(Launch());
    SendKeys(window, "equal Escape");
    ProcessResult result = program.Wait(kExitTimeoutMs);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1);
    // Keys are handled in order, each to its end, so the image is whole: the green torus on the
    // clear colour (0.6, 0.7, 0.7), not a black or undefined buffer.
    PpmImage image;
    ASSERT_TRUE(ReadPpm(dir.File("snap100.ppm"), &image));
    EXPECT_EQ(image.width, frame.width);
    EXPECT_EQ(image.height, frame.height);
    int pixels = image.width * image.height;
    EXPECT_GT(CountPixelsNear(image, 153, 178, 178, 2), pixels / 10);
    EXPECT_GT(CountPixelsLedBy(image, 1), pixels / 50);
}

TEST(DataSafetyOnFullDisk, SnapshotThatCannotBeWrittenWholeIsRemoved) {
    ASSERT_TRUE(UseOwnDisplay()) << "could not start a private Xvfb server";
    TempDirectory dir;
    ASSERT_NE(dir.Path(), "");
    SizeLimitedViewer program;
    // Far below the 786,447 bytes of a 512 x 512 image.
    ASSERT_TRUE(program.Start(dir.Path(), ExamplePath("torus.zel"), 64 * 1024));
    std::string window = WaitForViewerWindow(kWindowTimeoutSeconds);
    ASSERT_NE(window, "");

    SendKeys(window, "equal");
    EXPECT_TRUE(
        WaitFor([&program] { return program.Stdout().find('\n') != std::string::npos; }, 5000));
    EXPECT_EQ(program.Stdout(), "UNABLE TO WRITE SNAPSHOT FILE snap100.ppm!\n");
    EXPECT_FALSE(FileExists(dir.File("snap100.ppm")));

    // The next snapshot takes the next number, and fails the same way.
    SendKeys(window, "equal");
    EXPECT_TRUE(WaitFor([&program] { return SplitLines(program.Stdout()).size() >= 2; }, 5000));
    EXPECT_EQ(program.Stdout(),
              "UNABLE TO WRITE SNAPSHOT FILE snap100.ppm!\n"
              "UNABLE TO WRITE SNAPSHOT FILE snap101.ppm!\n");
    EXPECT_FALSE(FileExists(dir.File("snap101.ppm")));
    SendKeys(window, "Escape");
    EXPECT_EQ(program.Wait(kExitTimeoutMs), 1);
}
