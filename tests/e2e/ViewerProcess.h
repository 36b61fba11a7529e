#pragma once

// Harness for the end-to-end tests: runs the real zelviewer program in a fresh working directory
// and drives its window through xdotool (needs an X display, e.g. under xvfb-run).

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

// How a run of the program ended.
struct ProcessResult {
    bool exited = false;    // ended through exit, with status below
    int status = -1;        // exit status when exited
    bool timedOut = false;  // still running at the deadline and killed
};

// One run of the zelviewer program with stdout and stderr captured in files of its working
// directory. A program still running when the object goes away is killed.
class ViewerProcess {
public:
    explicit ViewerProcess(const std::string& workDir);
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // Starts the program with the given arguments (program name not included); false on failure.
    // Without a display the program gets no DISPLAY variable, so it cannot open a window.
    bool Start(const std::vector<std::string>& args, bool withDisplay = true);
    // Waits for the program to end; kills it after timeoutMs and reports timedOut.
    ProcessResult Wait(int timeoutMs);
    // True while the program has not ended.
    bool Running();
    // Everything the program wrote so far to standard output / standard error.
    std::string Stdout() const;
    std::string Stderr() const;
    // Poll standard output / standard error until it holds text; false after timeoutMs.
    bool WaitForStdout(const std::string& text, int timeoutMs) const;
    bool WaitForStderr(const std::string& text, int timeoutMs) const;

private:
    void Kill();

    std::string workDir;
    pid_t pid = -1;
    bool finished = false;
    ProcessResult result;
};

// Makes sure this test process has an X display of its own: a private Xvfb server, started on
// first use and ended with the process, whose number goes into DISPLAY. False when it won't start.
bool UseOwnDisplay();

// Position of a window on the screen and its size, in pixels.
struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Path of the zelviewer program and of the bundled example meshes.
std::string ViewerProgramPath();
std::string ExamplePath(const std::string& name);

// Runs a shell command, returns its standard output; status receives the exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
// Waits up to timeoutSeconds for a visible window titled exactly "ZEL viewer"; its id or "".
std::string WaitForViewerWindow(int timeoutSeconds);
// Screen position and size of a window; false when xdotool cannot tell.
bool GetWindowGeometry(const std::string& window, WindowGeometry* geometry);
// Ids of the visible freeglut pop-up menu windows.
std::vector<std::string> VisibleMenus();
// Sends key presses (xdotool key names, e.g. "equal", "Escape") to the window.
void SendKeys(const std::string& window, const std::string& keys);
// Moves the pointer to a screen position.
void MovePointer(int x, int y);
// Moves the pointer in small steps, each its own motion event.
void GlidePointer(int fromX, int fromY, int toX, int toY, int steps);
// Presses the left button at (fromX, fromY), glides to (toX, toY) and releases it there.
void LeftDrag(int fromX, int fromY, int toX, int toY, int steps);
// Picks an entry from the right-button menu, opened at window pixel (x, y): path holds the
// entry index in the main menu, then the index in each sub-menu. False when a menu did not open.
bool PickMenuEntry(const std::string& window, int x, int y, const std::vector<int>& path);
// Polls condition until it holds; false after timeoutMs. Tests wait for what they check this
// way, never for a fixed time.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

// An RGB image read from a binary PPM file.
struct PpmImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // rows from the top, three bytes a pixel
};

// Reads a binary PPM (P6, maximum 255) file; false when it is missing, malformed or short.
bool ReadPpm(const std::string& path, PpmImage* image);
// Parses binary PPM bytes; false when they are malformed or short.
bool ParsePpm(const std::string& data, PpmImage* image);
// The window's pixels as the X server holds them, that is what the screen shows (ImageMagick's
// import); false when the window cannot be read.
bool CaptureWindow(const std::string& window, PpmImage* image);
// Waits up to timeoutMs until the screen shows exactly the image in the window, as it does once
// the program has drawn and swapped that frame; shown receives the last capture.
bool WaitForWindowToShow(const std::string& window, const PpmImage& image, int timeoutMs,
                         PpmImage* shown);
// Waits up to timeoutMs until the file exists as a complete PPM image and reads it.
bool WaitForPpm(const std::string& path, int timeoutMs, PpmImage* image);
// Number of pixels whose channels all lie within tolerance of (r, g, b).
int CountPixelsNear(const PpmImage& image, int r, int g, int b, int tolerance);
// Number of pixels whose channel (0 red, 1 green, 2 blue) exceeds both others by a clear margin.
int CountPixelsLedBy(const PpmImage& image, int channel);
// Number of pixels that differ between two images of the same size.
int CountDifferentPixels(const PpmImage& a, const PpmImage& b);

// The header counts and bounding box of a ZEL file, read by the tests themselves.
struct ZelSummary {
    int vertexCount = 0;
    int faceCount = 0;
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0};
};

// Reads a ZEL file's counts and the box round its vertices; false when unreadable.
bool ReadZelSummary(const std::string& path, ZelSummary* summary);
// Presses Esc in the window and expects the program to end through exit with status 1 in time.
void ExpectEscapeEndsWithStatusOne(ViewerProcess& program, const std::string& window,
                                   int timeoutMs);
// Splits text into its lines, without the line ends.
std::vector<std::string> SplitLines(const std::string& text);
