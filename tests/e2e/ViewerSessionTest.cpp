#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/ViewerProcess.h"
#include "tests/support/FieldOfViewReadBack.h"

// Whole sessions with the real program: one launch per test, several checks per launch, since
// starting the program and its window is the slow part.

namespace {

constexpr int kWindowTimeoutSeconds = 20;
constexpr int kExitTimeoutMs = 10000;
constexpr int kSnapshotTimeoutMs = 10000;
// Time the screen may take to show a frame on a loaded machine with a software renderer.
constexpr int kShownTimeoutMs = 20000;

// The clear colour (0.6, 0.7, 0.7) in 8-bit channels, and how far a pixel may stray from it.
constexpr int kBackgroundRed = 153;
constexpr int kBackgroundGreen = 178;
constexpr int kBackgroundBlue = 178;
constexpr int kBackgroundTolerance = 2;

int CountBackground(const PpmImage& image) {
    return CountPixelsNear(image, kBackgroundRed, kBackgroundGreen, kBackgroundBlue,
                           kBackgroundTolerance);
}

// The six edge report lines for a mesh whose every edge is a good pair.
std::string ClosedMeshReport(int faceCount) {
    int halfEdges = 3 * faceCount;
    std::ostringstream report;
    report << "There are " << halfEdges << " edges\n"
           << halfEdges << " good edges\n"
           << "0 boundary edges\n0 non-manifold edges\n0 degenerate edges\n"
           << "0 edges with inconsistent normals\n";
    return report.str();
}

// Reads "(x, y, z)" behind a label in a line of the camera dump.
bool ParseVector(const std::string& line, const std::string& label, float out[3]) {
    if (line.rfind(label, 0) != 0) {
        return false;
    }
    return std::sscanf(line.c_str() + label.size(), "(%f, %f, %f)", &out[0], &out[1], &out[2]) == 3;
}

// The program running on one mesh in a fresh working directory, with its window found.
class ViewerSession : public ::testing::Test {
protected:
    void Launch(const std::string& meshPath) {
        ASSERT_TRUE(UseOwnDisplay()) << "could not start a private Xvfb server";
        ASSERT_NE(dir.Path(), "");
        ASSERT_TRUE(program.Start({"-file", meshPath}));
        window = WaitForViewerWindow(kWindowTimeoutSeconds);
        ASSERT_NE(window, "") << "no window; stderr:\n" << program.Stderr();
        ASSERT_TRUE(GetWindowGeometry(window, &frame));
    }

    // Presses "=", reads the snapshot file it should write and expects the screen to show the
    // same pixels, as it does once the frame is drawn: the snapshot is the frame the user sees.
    void Snapshot(const std::string& name, PpmImage* image) {
        SendKeys(window, "equal");
        ASSERT_TRUE(WaitForPpm(dir.File(name), kSnapshotTimeoutMs, image)) << name;
        EXPECT_EQ(image->width, frame.width);
        EXPECT_EQ(image->height, frame.height);
        PpmImage shown;
        EXPECT_TRUE(WaitForWindowToShow(window, *image, kShownTimeoutMs, &shown))
            << name << " differs from the screen in " << CountDifferentPixels(*image, shown)
            << " pixels";
    }

    void PressEscapeAndExpectStatusOne() {
        ExpectEscapeEndsWithStatusOne(program, window, kExitTimeoutMs);
    }

    TempDirectory dir;
    ViewerProcess program{dir.Path()};
    std::string window;
    WindowGeometry frame;
};

}  // namespace

TEST_F(ViewerSession, DragTurnsTheViewSnapshotsShowItAndEscapeEndsWithStatusOne) {
    ZelSummary torus;
    ASSERT_TRUE(ReadZelSummary(ExamplePath("torus.zel"), &torus));
    ASSERT_NO_FATAL_FAILURE(Launch(ExamplePath("torus.zel")));
    EXPECT_EQ(frame.x, 50);
    EXPECT_EQ(frame.y, 50);
    EXPECT_EQ(frame.width, 512);
    EXPECT_EQ(frame.height, 512);

    // The first snapshot, taken as soon as the window is on the screen and maybe before the
    // first frame, is numbered 100 and shows the green mesh on the background colour.
    PpmImage first;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap100.ppm", &first));
    int pixels = first.width * first.height;
    EXPECT_GT(CountBackground(first), pixels / 10);
    EXPECT_GT(CountPixelsLedBy(first, 1), pixels / 50);
    EXPECT_EQ(CountPixelsLedBy(first, 0), 0) << "a closed mesh has no red boundary vertices";

    // Untouched, the view holds still.
    PpmImage second;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap101.ppm", &second));
    EXPECT_EQ(CountDifferentPixels(first, second), 0);

    // A left drag across the middle orbits the camera; "z" then stops any inertia. The keys are
    // handled after the drag, in the order sent.
    int middleX = frame.x + frame.width / 2;
    int middleY = frame.y + frame.height / 2;
    LeftDrag(middleX - 80, middleY, middleX + 80, middleY + 40, 24);
    SendKeys(window, "z");
    PpmImage turned;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap102.ppm", &turned));
    EXPECT_GT(CountDifferentPixels(second, turned), pixels / 50);
    EXPECT_GT(CountPixelsLedBy(turned, 1), pixels / 50);

    // "w" draws the front faces as lines: the next snapshot changes although the camera does not.
    PpmImage still;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap103.ppm", &still));
    EXPECT_EQ(CountDifferentPixels(turned, still), 0);
    SendKeys(window, "w");
    PpmImage wire;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap104.ppm", &wire));
    EXPECT_GT(CountDifferentPixels(still, wire), pixels / 200);
    // Twice more: points on both sides leave more background, then filled faces come back.
    SendKeys(window, "w");
    PpmImage points;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap105.ppm", &points));
    EXPECT_GT(CountBackground(points), CountBackground(still) + pixels / 50);
    SendKeys(window, "w");
    PpmImage filled;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap106.ppm", &filled));
    EXPECT_EQ(CountDifferentPixels(still, filled), 0);

    PressEscapeAndExpectStatusOne();
    EXPECT_EQ(program.Stderr(), ClosedMeshReport(torus.faceCount));
}

TEST_F(ViewerSession, OpenMeshShowsRedBoundaryVertices) {
    ASSERT_NO_FATAL_FAILURE(Launch(ExamplePath("open.zel")));
    // The grid fills the first view; a Ctrl drag downwards dollies back until its rim shows.
    // Inertia is switched off ("i") so the camera stops where the drag ends.
    SendKeys(window, "i");
    int middleX = frame.x + frame.width / 2;
    RunCommand("xdotool keydown ctrl");
    LeftDrag(middleX, frame.y + 100, middleX, frame.y + 400, 20);
    RunCommand("xdotool keyup ctrl");
    PpmImage image;
    ASSERT_NO_FATAL_FAILURE(Snapshot("snap100.ppm", &image));
    int pixels = image.width * image.height;
    EXPECT_GT(CountPixelsLedBy(image, 0), pixels / 1000);
    EXPECT_GT(CountPixelsLedBy(image, 1), pixels / 50);
    EXPECT_GT(CountBackground(image), pixels / 50);
    PressEscapeAndExpectStatusOne();
}

TEST_F(ViewerSession, MenuDumpsTheFittedCameraAndPathPlayReplaysADrag) {
    ZelSummary torus;
    ASSERT_TRUE(ReadZelSummary(ExamplePath("torus.zel"), &torus));
    ASSERT_NO_FATAL_FAILURE(Launch(ExamplePath("torus.zel")));

    // "Viewer Options" (main entry 5) -> "Dump Cam Params" (entry 4).
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {5, 4}));
    ASSERT_TRUE(program.WaitForStdout("       Far: ", 5000)) << program.Stdout();

    // The eye the fit gives the example's box, worked out here independently.
    float margin = 0.0f;
    float low[3];
    float high[3];
    for (int axis = 0; axis < 3; ++axis) {
        margin = std::fmax(margin, 0.1f * (torus.boundsMax[axis] - torus.boundsMin[axis]));
    }
    float toCorner[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = torus.boundsMin[axis] - margin;
        high[axis] = torus.boundsMax[axis] + margin;
        toCorner[axis] = high[axis] - (low[axis] + high[axis]) * 0.5f;
    }
    float radius = std::sqrt(toCorner[0] * toCorner[0] + toCorner[1] * toCorner[1] +
                             toCorner[2] * toCorner[2]);
    float centreZ = 0.5f * (low[2] + high[2]);
    const float eye[3] = {0.5f * (low[0] + high[0]), 0.5f * (low[1] + high[1]),
                          2.0f * high[2] - centreZ};

    std::vector<std::string> lines = SplitLines(program.Stdout());
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "--- CURRENT CAM PARAMS ---");
    float printed[3];
    ASSERT_TRUE(ParseVector(lines[1], "       Eye: ", printed)) << lines[1];
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(printed[axis], eye[axis], 0.0015f) << "eye axis " << axis;
    }
    // The centre read back is one unit in front of the eye, not the box centre.
    ASSERT_TRUE(ParseVector(lines[2], "LookAtCntr: ", printed)) << lines[2];
    EXPECT_NEAR(printed[0], eye[0], 0.0015f);
    EXPECT_NEAR(printed[1], eye[1], 0.0015f);
    EXPECT_NEAR(printed[2], eye[2] - 1.0f, 0.0015f);
    EXPECT_EQ(lines[3], "    ViewUp: (0.000, 1.000, 0.000)");
    // The field of view reads back slightly under the 45 degrees it was set to, and the
    // window's first reshape, which sets it again from that reading, shrinks it once more. The
    // last digits depend on the near distance, a hundredth of the box's half diagonal.
    float shrunkOnce =
        FieldOfViewReadBack(FieldOfViewReadBack(45.0f, 0.01f * radius), 0.01f * radius);
    float fovy = 0.0f;
    ASSERT_EQ(std::sscanf(lines[4].c_str(), "     Y FOV: %f", &fovy), 1) << lines[4];
    EXPECT_NEAR(fovy, shrunkOnce, 1e-5f);
    EXPECT_NEAR(fovy, 44.99952f, 1e-5f);
    EXPECT_EQ(lines[5], "    Aspect: 1.000000");
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    ASSERT_EQ(std::sscanf(lines[6].c_str(), "      Near: %f", &nearDistance), 1) << lines[6];
    ASSERT_EQ(std::sscanf(lines[7].c_str(), "       Far: %f", &farDistance), 1) << lines[7];
    EXPECT_NEAR(nearDistance, 0.01f * radius, 1e-5f + 1e-4f * radius);
    EXPECT_NEAR(farDistance, 10.0f * radius, 1e-3f * radius);

    // "Reset Orig Views" (entry 2) goes back to the placement, so the dump reads the same.
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {5, 2}));
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {5, 4}));
    // The dump is printed in one piece: sixteen whole lines show the second one is there.
    ASSERT_TRUE(WaitFor(
        [this] {
            std::string text = program.Stdout();
            return SplitLines(text).size() >= 16 && text.back() == '\n';
        },
        5000))
        << program.Stdout();
    std::vector<std::string> afterReset = SplitLines(program.Stdout());
    ASSERT_GE(afterReset.size(), 16u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(afterReset[8 + i], lines[i]);
    }
    lines = afterReset;

    // "PathPlay" (main entry 7): "Record" (0), a drag, "Stop" (2).
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {7, 0}));
    ASSERT_TRUE(WaitFor([this] { return std::filesystem::exists(dir.File("cam_record0.dat")); },
                        kSnapshotTimeoutMs));
    int middleX = frame.x + frame.width / 2;
    int middleY = frame.y + frame.height / 2;
    LeftDrag(middleX - 60, middleY, middleX + 60, middleY, 20);
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {7, 2}));
    // A second "Stop" finds nothing running, which shows the first one has been handled.
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {7, 2}));
    ASSERT_TRUE(program.WaitForStdout("Not recording or playing back!\n", kSnapshotTimeoutMs))
        << program.Stdout();
    // Stopped: the file no longer grows while the program goes on drawing and handles a snapshot.
    std::uintmax_t stoppedSize = std::filesystem::file_size(dir.File("cam_record0.dat"));
    SendKeys(window, "equal");
    PpmImage image;
    ASSERT_TRUE(WaitForPpm(dir.File("snap100.ppm"), kSnapshotTimeoutMs, &image));
    EXPECT_EQ(std::filesystem::file_size(dir.File("cam_record0.dat")), stoppedSize);

    // Four lines of twelve numbers a frame; camera 0, the one dragged, moved on the way.
    std::ifstream path(dir.File("cam_record0.dat"));
    std::vector<std::string> records;
    for (std::string line; std::getline(path, line);) {
        records.push_back(line);
    }
    ASSERT_GE(records.size(), 8u);
    EXPECT_EQ(records.size() % 4, 0u);
    std::regex twelveNumbers(R"(-?\d+\.\d{6}( -?\d+\.\d{6}){11})");
    for (const std::string& record : records) {
        ASSERT_TRUE(std::regex_match(record, twelveNumbers)) << record;
    }
    EXPECT_NE(records.front(), records[records.size() - 4]);

    // "Play" (1) announces the playback, then its duration when the file runs out.
    size_t printedBefore = lines.size() + 1;
    ASSERT_TRUE(PickMenuEntry(window, 40, 40, {7, 1}));
    ASSERT_TRUE(program.WaitForStdout("CAM PLAYBACK...\n", 5000)) << program.Stdout();
    ASSERT_TRUE(program.WaitForStdout(" seconds\n", 30000)) << program.Stdout();
    lines = SplitLines(program.Stdout());
    ASSERT_EQ(lines.size(), printedBefore + 2) << program.Stdout();
    EXPECT_EQ(lines[printedBefore], "CAM PLAYBACK...");
    EXPECT_TRUE(std::regex_match(lines[printedBefore + 1], std::regex(R"(\d+\.\d\d seconds)")))
        << lines[printedBefore + 1];

    PressEscapeAndExpectStatusOne();
    EXPECT_EQ(program.Stderr(), ClosedMeshReport(torus.faceCount));
}
