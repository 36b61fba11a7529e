#include "tests/e2e/ViewerProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

// Time a menu may take to open or close on a loaded machine.
constexpr int kMenuTimeoutMs = 5000;
// Pause between two looks at a condition that does not hold yet.
constexpr int kPollMs = 20;

// Entries of a freeglut menu are 25 pixels high inside a 2-pixel border.
constexpr int kMenuBorder = 2;
constexpr int kMenuEntryHeight = 25;

int MenuEntryCentreY(const WindowGeometry& menu, int index) {
    return menu.y + kMenuBorder + kMenuEntryHeight * index + kMenuEntryHeight / 2;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Pointer position as the menu helpers last left it, so glides start where the pointer is.
int pointerX = 0;
int pointerY = 0;

}  // namespace

ViewerProcess::ViewerProcess(const std::string& directory) : workDir(directory) {}

ViewerProcess::~ViewerProcess() {
    if (pid > 0 && !finished) {
        Kill();
    }
}

bool ViewerProcess::Start(const std::vector<std::string>& args, bool withDisplay) {
    std::string program = ViewerProgramPath();
    std::vector<char*> argv;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string variable = *entry;
        if (variable.rfind("DISPLAY=", 0) == 0 && !withDisplay) {
            continue;
        }
        variables.push_back(variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::string outPath = workDir + "/stdout.txt";
    std::string errPath = workDir + "/stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        pid = -1;
        return false;
    }
    finished = false;
    return true;
}

bool ViewerProcess::Running() {
    if (pid <= 0 || finished) {
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        finished = true;
        result.exited = WIFEXITED(status);
        result.status = result.exited ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

ProcessResult ViewerProcess::Wait(int timeoutMs) {
    if (!WaitFor([this] { return !Running(); }, timeoutMs)) {
        Kill();
        result = ProcessResult();
        result.timedOut = true;
    }
    return result;
}

void ViewerProcess::Kill() {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    finished = true;
}

std::string ViewerProcess::Stdout() const {
    return ReadFileBytes(workDir + "/stdout.txt");
}

std::string ViewerProcess::Stderr() const {
    return ReadFileBytes(workDir + "/stderr.txt");
}

bool ViewerProcess::WaitForStdout(const std::string& text, int timeoutMs) const {
    return WaitFor([this, &text] { return Stdout().find(text) != std::string::npos; }, timeoutMs);
}

bool ViewerProcess::WaitForStderr(const std::string& text, int timeoutMs) const {
    return WaitFor([this, &text] { return Stderr().find(text) != std::string::npos; }, timeoutMs);
}

namespace {

// The private X server of this test process; killed when the process ends normally, and by the
// kernel (parent-death signal) when it does not.
class OwnDisplay {
public:
    ~OwnDisplay() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }

    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            std::string displayFd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            return false;
        }
        // The server writes its display number to the pipe once it accepts clients.
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            return false;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        // A cookie file from an outer X server (xvfb-run's) does not belong to this one.
        unsetenv("XAUTHORITY");
        return true;
    }

    pid_t pid = -1;
};

}  // namespace

bool UseOwnDisplay() {
    static OwnDisplay display;
    static bool started = display.Start();
    return started;
}

std::string ViewerProgramPath() {
    return ZEL_VIEWER_PROGRAM;
}

std::string ExamplePath(const std::string& name) {
    return std::string(ZEL_EXAMPLES_DIR) + "/" + name;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return output;
    }
    char buffer[512];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, count);
    }
    int raw = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return output;
}

std::string WaitForViewerWindow(int timeoutSeconds) {
    std::string ids =
        RunCommand("timeout " + std::to_string(timeoutSeconds) +
                   " xdotool search --sync --onlyvisible --name '^ZEL viewer$' 2>/dev/null");
    std::vector<std::string> lines = SplitLines(ids);
    return lines.empty() ? std::string() : lines.front();
}

bool GetWindowGeometry(const std::string& window, WindowGeometry* geometry) {
    std::string shell = RunCommand("xdotool getwindowgeometry --shell " + window + " 2>/dev/null");
    int found = 0;
    for (const std::string& line : SplitLines(shell)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, equals);
        int value = std::atoi(line.c_str() + equals + 1);
        if (key == "X") {
            geometry->x = value;
        } else if (key == "Y") {
            geometry->y = value;
        } else if (key == "WIDTH") {
            geometry->width = value;
        } else if (key == "HEIGHT") {
            geometry->height = value;
        } else {
            continue;
        }
        ++found;
    }
    return found == 4;
}

std::vector<std::string> VisibleMenus() {
    return SplitLines(
        RunCommand("xdotool search --onlyvisible --name '^freeglut menu$' 2>/dev/null"));
}

void SendKeys(const std::string& window, const std::string& keys) {
    RunCommand("xdotool key --window " + window + " --delay 30 " + keys + " 2>/dev/null");
}

void MovePointer(int x, int y) {
    RunCommand("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    pointerX = x;
    pointerY = y;
}

void GlidePointer(int fromX, int fromY, int toX, int toY, int steps) {
    // One xdotool run chains every step; the server queues each as its own motion event, and
    // the program handles them in order, however late.
    std::string command = "xdotool";
    for (int i = 1; i <= steps; ++i) {
        int x = fromX + (toX - fromX) * i / steps;
        int y = fromY + (toY - fromY) * i / steps;
        command += " mousemove " + std::to_string(x) + " " + std::to_string(y);
    }
    RunCommand(command);
    pointerX = toX;
    pointerY = toY;
}

void LeftDrag(int fromX, int fromY, int toX, int toY, int steps) {
    // Input events reach the program in the order they are sent, so no pauses are needed.
    MovePointer(fromX, fromY);
    RunCommand("xdotool mousedown 1");
    GlidePointer(fromX, fromY, toX, toY, steps);
    RunCommand("xdotool mouseup 1");
}

bool PickMenuEntry(const std::string& window, int x, int y, const std::vector<int>& path) {
    WindowGeometry frame;
    if (path.empty() || !GetWindowGeometry(window, &frame)) {
        return false;
    }
    MovePointer(frame.x + x, frame.y + y);
    RunCommand("xdotool click 3");

    WindowGeometry menu;
    menu.x = frame.x + x;
    menu.y = frame.y + y;
    for (size_t level = 0; level < path.size(); ++level) {
        // Find the menu opened at the expected corner: the main menu at the pointer, a sub-menu
        // to the right of its parent with its top level with the parent's entry.
        bool opened = WaitFor(
            [&menu] {
                for (const std::string& id : VisibleMenus()) {
                    WindowGeometry candidate;
                    if (GetWindowGeometry(id, &candidate) && std::abs(candidate.x - menu.x) <= 4 &&
                        std::abs(candidate.y - menu.y) <= 4) {
                        menu = candidate;
                        return true;
                    }
                }
                return false;
            },
            kMenuTimeoutMs);
        if (!opened) {
            return false;
        }
        int rowY = MenuEntryCentreY(menu, path[level]);
        int insideX = menu.x + 12;
        // Jump straight to the row: gliding down would open the sub-menus of the entries passed
        // on the way, and on a loaded machine one of them can still cover the wanted sub-menu.
        // The program handles the motion before the click that follows it, however late.
        MovePointer(insideX, rowY);
        if (level + 1 == path.size()) {
            RunCommand("xdotool click 1");
            break;
        }
        // Move right along the entry's row, so the hovered sub-menu stays the one wanted.
        GlidePointer(insideX, rowY, menu.x + menu.width - 4, rowY, 6);
        int subX = menu.x + menu.width;
        int subY = rowY - kMenuBorder - kMenuEntryHeight / 2;
        menu.x = subX;
        menu.y = subY;
    }
    // The pick closes every menu.
    return WaitFor([] { return VisibleMenus().empty(); }, kMenuTimeoutMs);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    int64_t deadline = NowMs() + timeoutMs;
    while (!condition()) {
        if (NowMs() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}

bool ReadPpm(const std::string& path, PpmImage* image) {
    return ParsePpm(ReadFileBytes(path), image);
}

bool ParsePpm(const std::string& data, PpmImage* image) {
    std::istringstream header(data);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    if (!(header >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 ||
        width <= 0 || height <= 0) {
        return false;
    }
    // A single white-space character separates the header from the pixels.
    size_t start = static_cast<size_t>(header.tellg()) + 1;
    size_t size = static_cast<size_t>(width) * height * 3;
    if (data.size() != start + size) {
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.assign(data.begin() + start, data.end());
    return true;
}

bool WaitForPpm(const std::string& path, int timeoutMs, PpmImage* image) {
    return WaitFor([&path, image] { return ReadPpm(path, image); }, timeoutMs);
}

bool CaptureWindow(const std::string& window, PpmImage* image) {
    return ParsePpm(RunCommand("import -silent -window " + window + " -depth 8 ppm:- 2>/dev/null"),
                    image);
}

bool WaitForWindowToShow(const std::string& window, const PpmImage& image, int timeoutMs,
                         PpmImage* shown) {
    return WaitFor(
        [&window, &image, shown] {
            return CaptureWindow(window, shown) && CountDifferentPixels(image, *shown) == 0;
        },
        timeoutMs);
}

int CountPixelsNear(const PpmImage& image, int r, int g, int b, int tolerance) {
    int count = 0;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
        if (std::abs(image.pixels[i] - r) <= tolerance &&
            std::abs(image.pixels[i + 1] - g) <= tolerance &&
            std::abs(image.pixels[i + 2] - b) <= tolerance) {
            ++count;
        }
    }
    return count;
}

int CountPixelsLedBy(const PpmImage& image, int channel) {
    // a channel leads when it exceeds both others by this much
    constexpr int kLeadMargin = 20;
    int count = 0;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
        int lead = image.pixels[i + channel];
        bool leads = true;
        for (int other = 0; other < 3; ++other) {
            if (other != channel && lead < image.pixels[i + other] + kLeadMargin) {
                leads = false;
            }
        }
        count += leads ? 1 : 0;
    }
    return count;
}

int CountDifferentPixels(const PpmImage& a, const PpmImage& b) {
    if (a.width != b.width || a.height != b.height) {
        return a.width * a.height;
    }
    int count = 0;
    for (size_t i = 0; i + 2 < a.pixels.size(); i += 3) {
        if (a.pixels[i] != b.pixels[i] || a.pixels[i + 1] != b.pixels[i + 1] ||
            a.pixels[i + 2] != b.pixels[i + 2]) {
            ++count;
        }
    }
    return count;
}

bool ReadZelSummary(const std::string& path, ZelSummary* summary) {
    std::ifstream in(path);
    std::string word;
    if (!(in >> word >> summary->vertexCount >> summary->faceCount) || word != "ZEL") {
        return false;
    }
    for (int axis = 0; axis < 3; ++axis) {
        summary->boundsMin[axis] = 1e10f;
        summary->boundsMax[axis] = -1e10f;
    }
    for (int v = 0; v < summary->vertexCount; ++v) {
        for (int axis = 0; axis < 3; ++axis) {
            float value = 0.0f;
            if (!(in >> value)) {
                return false;
            }
            summary->boundsMin[axis] = std::min(summary->boundsMin[axis], value);
            summary->boundsMax[axis] = std::max(summary->boundsMax[axis], value);
        }
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

void ExpectEscapeEndsWithStatusOne(ViewerProcess& program, const std::string& window,
                                   int timeoutMs) {
    SendKeys(window, "Escape");
    ProcessResult result = program.Wait(timeoutMs);
    EXPECT_FALSE(result.timedOut);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1);
}
