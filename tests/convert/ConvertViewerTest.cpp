// zelviewer opens a file that zelconvert wrote, and every native format itself (needs an X
// display and xdotool).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "tests/convert/ConvertTestFiles.h"

namespace {

constexpr const char* kConverter = ZELCONVERT_PATH;
constexpr const char* kViewer = ZELVIEWER_PATH;

// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        ::pclose(pipe);
    }
    return output;
}

// Waits up to the given time for the child; on timeout it is killed so no window stays open,
// unless asked not to (then -2 says it still runs).
int WaitOrKill(pid_t child, std::chrono::seconds limit, bool kill = true) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!kill) {
        return -2;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -2;
}

// Opens the file in the viewer, ends it with Escape once its window shows (when a window is
// expected), and returns what it printed on standard error and its exit status (-2 when no
// window appeared).
std::pair<std::string, int> ViewerRun(const TempDirectory& dir, const std::string& path,
                                      bool window = true) {
    const std::string errorPath = dir.File("viewer.err");
    const pid_t viewer = ::fork();
    if (viewer == 0) {
        std::FILE* errorFile = std::fopen(errorPath.c_str(), "w");
        if (errorFile != nullptr) {
            ::dup2(::fileno(errorFile), 2);
        }
        ::execl(kViewer, kViewer, "-file", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (!window) {
        const int status = WaitOrKill(viewer, std::chrono::seconds(15));
        return {ReadFileBytes(errorPath), status};
    }
    const std::string id = CommandOutput(
        "timeout 20 xdotool search --sync --onlyvisible --name 'ZEL viewer' 2>/dev/null | head -n "
        "1");
    // A key sent while the window is still being set up can be lost, so Escape goes again each
    // second until the viewer has ended, for at most 15 seconds.
    int status = -2;
    for (int attempt = 0; attempt < 15 && !id.empty(); ++attempt) {
        CommandOutput("xdotool key --window " + id.substr(0, id.find('\n')) + " Escape");
        status = WaitOrKill(viewer, std::chrono::seconds(1), false);
        if (status != -2) {
            break;
        }
    }
    if (status == -2) {
        status = WaitOrKill(viewer, std::chrono::seconds(id.empty() ? 1 : 0));
    }
    return {ReadFileBytes(errorPath), id.empty() && status == 1 ? -2 : status};
}

}  // namespace

TEST(ConvertViewer, TheSameCubeInEveryNativeFormatGivesTheSameReport) {
    TempDirectory dir;
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(CubeMesh(), dir.File("cube.zel"), &message)) << message;
    const std::pair<const char*, std::string> files[] = {
        {"cube.off", CubeOff()},
        {"cube.ply", CubeAsciiPly()},
        {"little.ply", CubeBinaryPly(false)},
        {"big.ply", CubeBinaryPly(true)},
        {"cube.obj", CubeObjWithSeams()},
        {"ascii.stl", CubeAsciiStl()},
        {"binary.stl", CubeBinaryStl()},
    };
    const auto [zelReport, zelStatus] = ViewerRun(dir, dir.File("cube.zel"));
    EXPECT_EQ(zelStatus, 1);
    EXPECT_EQ(zelReport,
              "There are 36 edges\n36 good edges\n0 boundary edges\n0 non-manifold edges\n"
              "0 degenerate edges\n0 edges with inconsistent normals\n");
    for (const auto& [name, bytes] : files) {
        ASSERT_TRUE(WriteFileBytes(dir.File(name), bytes));
        const auto [report, status] = ViewerRun(dir, dir.File(name));
        EXPECT_EQ(status, 1) << name;
        EXPECT_EQ(report, zelReport) << name;
    }
    // a refused file: one line, status 2, no window
    ASSERT_TRUE(WriteFileBytes(dir.File("short.off"), "OFF\n4 2 0\n0 0 0\n1 0 0\n"));
    const auto [error, status] = ViewerRun(dir, dir.File("short.off"), false);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(error, "Error: \"" + dir.File("short.off") +
                         "\" holds 2 of the 4 vertices its header declares\n");
}

TEST(ConvertViewer, ViewerOpensAConvertedStlAndEndsOnEscape) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    std::string error;
    ASSERT_EQ(RunProgram({kConverter, dir.File("cube.stl"), dir.File("cube.zel")}, &error), 0)
        << error;

    const std::string errorPath = dir.File("viewer.err");
    const pid_t viewer = ::fork();
    ASSERT_GE(viewer, 0);
    if (viewer == 0) {
        std::FILE* errorFile = std::fopen(errorPath.c_str(), "w");
        if (errorFile != nullptr) {
            ::dup2(::fileno(errorFile), 2);
        }
        ::execl(kViewer, kViewer, "-file", dir.File("cube.zel").c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }

    const std::string window = CommandOutput(
        "timeout 20 xdotool search --sync --onlyvisible --name 'ZEL viewer' 2>/dev/null | head -n "
        "1");
    if (!window.empty()) {
        CommandOutput("xdotool key --window " + window.substr(0, window.find('\n')) + " Escape");
    }
    const int status = WaitOrKill(viewer, std::chrono::seconds(window.empty() ? 1 : 15));
    ASSERT_FALSE(window.empty()) << "no viewer window appeared";
    EXPECT_EQ(status, 1);
    EXPECT_NE(ReadFileBytes(errorPath).find("There are 36 edges\n36 good edges\n0 boundary edges\n"
                                            "0 non-manifold edges\n0 degenerate edges\n"
                                            "0 edges with inconsistent normals\n"),
              std::string::npos)
        << ReadFileBytes(errorPath);
}
