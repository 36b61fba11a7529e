// zelviewer opens a file that zelconvert wrote (needs an X display and xdotool).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

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

// Waits up to the given time for the child; on timeout it is killed so no window stays open.
int WaitOrKill(pid_t child, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -2;
}

}  // namespace

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
