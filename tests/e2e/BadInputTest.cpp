#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/ViewerProcess.h"

// Bad input against the real program, with a display it could open a window on: every refused
// file ends with one exact message and status 2, leaving no window behind; the odd but valid
// meshes open, draw and end on Esc.

namespace {

constexpr int kRunTimeoutMs = 20000;
constexpr int kWindowTimeoutSeconds = 20;
constexpr int kExitNoMesh = 2;

const std::string kHeaderMessage =
    "Error: Do not recognize file type. File data should have ZEL header\n";

// A triangle's three vertices, for files that break only what comes after them.
const std::string kTriangleVertices = "ZEL\n3 1\n0 0 0\n1 0 0\n0 1 0\n";

// "Error: "<path>": <what>" as the reader starts every line about a file's contents.
std::string ContentError(const std::string& path, const std::string& what) {
    return "Error: \"" + path + "\": " + what + "\n";
}

std::string CannotOpen(const std::string& path) {
    return "Error: file could not be opened for reading \"" + path + "\"\n";
}

bool ViewerWindowShown() {
    return !RunCommand("xdotool search --onlyvisible --name '^ZEL viewer$' 2>/dev/null").empty();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs the program on one path with a display and checks the refusal: exact standard error,
// nothing on standard output, status 2, and no window left on the screen.
void ExpectRefused(const TempDirectory& dir, const std::string& path, const std::string& err) {
    ViewerProcess program(dir.Path());
    ASSERT_TRUE(program.Start({"-file", path}));
    ProcessResult result = program.Wait(kRunTimeoutMs);
    EXPECT_FALSE(result.timedOut) << path.substr(0, 80);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, kExitNoMesh);
    EXPECT_EQ(program.Stderr(), err);
    EXPECT_EQ(program.Stdout(), "");
    EXPECT_FALSE(ViewerWindowShown());
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseOwnDisplay()) << "could not start a private Xvfb server";
        ASSERT_NE(dir.Path(), "");
    }

    // Writes bytes into a file of the working directory and expects the program to refuse it.
    void ExpectFileRefused(const std::string& name, const std::string& bytes,
                           const std::string& err) {
        SCOPED_TRACE(name);
        WriteFile(dir.File(name), bytes);
        ExpectRefused(dir, dir.File(name), err);
    }

    // Opens a mesh, picks "Dump Cam Params" and expects only finite numbers, then Esc exits 1.
    void ExpectOpensWithFiniteCameraDump(const std::string& name, const std::string& bytes) {
        SCOPED_TRACE(name);
        WriteFile(dir.File(name), bytes);
        ViewerProcess program(dir.Path());
        ASSERT_TRUE(program.Start({"-file", dir.File(name)}));
        std::string window = WaitForViewerWindow(kWindowTimeoutSeconds);
        ASSERT_NE(window, "") << program.Stderr();

        // "Viewer Options" (main entry 5) -> "Dump Cam Params" (entry 4).
        ASSERT_TRUE(PickMenuEntry(window, 40, 40, {5, 4}));
        ASSERT_TRUE(program.WaitForStdout("       Far: ", 5000)) << program.Stdout();
        std::string out = program.Stdout();
        for (const std::string& line : SplitLines(out)) {
            for (const char* bad : {"nan", "NAN", "inf", "INF"}) {
                EXPECT_EQ(line.find(bad), std::string::npos) << line;
            }
        }

        SendKeys(window, "Escape");
        ProcessResult result = program.Wait(kRunTimeoutMs);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1);
        EXPECT_FALSE(ViewerWindowShown());
    }

    TempDirectory dir;
};

}  // namespace

TEST_F(BadInput, FilesWithoutTheHeaderWordAreRefusedWithTheHeaderMessage) {
    ExpectFileRefused("empty.zel", "", kHeaderMessage);
    ExpectFileRefused("long-word.zel", std::string(10000, 'Z') + " 3 1\n", kHeaderMessage);
    // A header word longer than any buffer, which begins like the right one.
    ExpectFileRefused("long-zel.zel", "ZEL" + std::string(10000, 'L') + " 0 0\n", kHeaderMessage);

    // Random bytes, drawn with a fixed seed and kept from starting with the header word.
    std::mt19937 random(1);
    std::string bytes(4096, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xff);
    }
    bytes[0] = '\x01';
    ExpectFileRefused("random.bin", bytes, kHeaderMessage);
}

TEST_F(BadInput, CountsThatAreMissingNegativeOrHugeAreRefusedBeforeAllocating) {
    std::string path = dir.File("header-only.zel");
    ExpectFileRefused("header-only.zel", "ZEL\n",
                      ContentError(path, "file ends before the vertex count"));
    path = dir.File("negative.zel");
    ExpectFileRefused("negative.zel", "ZEL -3 -1\n",
                      ContentError(path, "vertex count \"-3\" is negative"));
    path = dir.File("negative-faces.zel");
    ExpectFileRefused("negative-faces.zel", "ZEL 3 -1\n",
                      ContentError(path, "face count \"-1\" is negative"));
    path = dir.File("huge.zel");
    ExpectFileRefused("huge.zel", "ZEL 2000000000 2000000000\n",
                      ContentError(path, "vertex count \"2000000000\" is too large (at most " +
                                             std::to_string(100000000) + ")"));
    path = dir.File("huge-faces.zel");
    ExpectFileRefused("huge-faces.zel", "ZEL 3 2000000000\n0 0 0 1 0 0 0 1 0\n",
                      ContentError(path, "face count \"2000000000\" is too large (at most " +
                                             std::to_string(100000000) + ")"));
}

TEST_F(BadInput, BrokenCoordinatesAreRefusedNamingTheVertex) {
    std::string path = dir.File("truncated.zel");
    ExpectFileRefused(
        "truncated.zel", "ZEL\n3 1\n0 0 0\n1 0",
        ContentError(path, "file ends before the coordinates of vertex 1 are complete"));
    path = dir.File("abc.zel");
    ExpectFileRefused("abc.zel", "ZEL\n3 1\n0 0 0\n1 abc 0\n0 1 0\n0 1 2\n",
                      ContentError(path, "coordinate \"abc\" of vertex 1 is not a number"));
    path = dir.File("nan.zel");
    ExpectFileRefused("nan.zel", "ZEL\n3 1\n0 0 0\n1 0 0\n0 nan 0\n0 1 2\n",
                      ContentError(path, "coordinate \"nan\" of vertex 2 is not finite"));
    path = dir.File("overflow.zel");
    ExpectFileRefused("overflow.zel", "ZEL\n3 1\n1e999 0 0\n1 0 0\n0 1 0\n0 1 2\n",
                      ContentError(path, "coordinate \"1e999\" of vertex 0 is not finite"));
}

TEST_F(BadInput, BrokenCornersAreRefusedNamingTheFace) {
    std::string path = dir.File("minus-one.zel");
    ExpectFileRefused(
        "minus-one.zel", kTriangleVertices + "0 -1 2\n",
        ContentError(path, "corner \"-1\" of face 0 is outside the vertex numbers 0 to 2"));
    path = dir.File("corner-v.zel");
    ExpectFileRefused(
        "corner-v.zel", "ZEL\n3 2\n0 0 0\n1 0 0\n0 1 0\n0 1 2\n2 1 3\n",
        ContentError(path, "corner \"3\" of face 1 is outside the vertex numbers 0 to 2"));
    path = dir.File("short-face.zel");
    ExpectFileRefused("short-face.zel", kTriangleVertices + "0 1",
                      ContentError(path, "file ends before the corners of face 0 are complete"));
}

TEST_F(BadInput, PathsThatNameNoReadableFileAreRefused) {
    ExpectRefused(dir, dir.Path(), ContentError(dir.Path(), "is a directory, not a mesh file"));

    // Far beyond what the system takes as a path; it is kept whole in the message.
    std::string longPath = dir.Path() + "/";
    while (longPath.size() < 10000) {
        longPath += std::string(200, 'p') + "/";
    }
    longPath.resize(10000);
    ExpectRefused(dir, longPath, CannotOpen(longPath));
}

TEST_F(BadInput, UnreadableFileIsRefusedForAnUnprivilegedUser) {
    std::string path = dir.File("locked.zel");
    WriteFile(path, kTriangleVertices + "0 1 2\n");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    if (geteuid() != 0) {
        ExpectRefused(dir, path, CannotOpen(path));
        return;
    }
    // Root reads the file anyway, so the program runs as "nobody"; it needs to reach the program
    // and the file, and writes its output through the shell that is still root.
    int status = -1;
    RunCommand("command -v setpriv >/dev/null", &status);
    if (status != 0) {
        GTEST_SKIP() << "running as root without setpriv: root can read a chmod 000 file";
    }
    const std::string asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    RunCommand(asNobody + "test -x '" + ViewerProgramPath() + "'", &status);
    if (status != 0) {
        GTEST_SKIP() << "user nobody cannot run " << ViewerProgramPath();
    }
    std::string command = "cd '" + dir.Path() + "' && " + asNobody + "'" + ViewerProgramPath() +
                          "' -file '" + path + "' 2>stderr.txt </dev/null";
    std::string out = RunCommand(command, &status);
    EXPECT_EQ(status, kExitNoMesh);
    EXPECT_EQ(out, "");
    std::ifstream errFile(dir.File("stderr.txt"));
    std::string err((std::istreambuf_iterator<char>(errFile)), std::istreambuf_iterator<char>());
    EXPECT_EQ(err, CannotOpen(path));
    EXPECT_FALSE(ViewerWindowShown());
}

TEST_F(BadInput, MeshWithoutVerticesOrFacesShowsTheEmptySceneAndEscapeEndsWithStatusOne) {
    WriteFile(dir.File("empty-mesh.zel"), "ZEL 0 0\n");
    ViewerProcess program(dir.Path());
    ASSERT_TRUE(program.Start({"-file", dir.File("empty-mesh.zel")}));
    std::string window = WaitForViewerWindow(kWindowTimeoutSeconds);
    ASSERT_NE(window, "") << program.Stderr();

    // Nothing but the clear colour (0.6, 0.7, 0.7), in the snapshot and on the screen.
    SendKeys(window, "equal");
    PpmImage image;
    ASSERT_TRUE(WaitForPpm(dir.File("snap100.ppm"), 10000, &image));
    EXPECT_EQ(CountPixelsNear(image, 153, 178, 178, 2), image.width * image.height);
    PpmImage shown;
    EXPECT_TRUE(WaitForWindowToShow(window, image, kRunTimeoutMs, &shown));

    SendKeys(window, "Escape");
    ProcessResult result = program.Wait(kRunTimeoutMs);
    EXPECT_FALSE(result.timedOut);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(program.Stderr().rfind("There are 0 edges\n", 0), 0u) << program.Stderr();
    EXPECT_FALSE(ViewerWindowShown());
}

TEST_F(BadInput, MeshOfDegenerateFacesOpensAndDumpsFiniteCameraParameters) {
    // Collapsed faces of every kind: a repeated corner, three corners on a line, all corners on
    // one point.
    ExpectOpensWithFiniteCameraDump("degenerate.zel",
                                    "ZEL\n5 4\n0 0 0\n1 0 0\n2 0 0\n1 1 1\n1 1 1\n"
                                    "0 0 1\n0 1 2\n3 4 3\n2 1 0\n");
}

TEST_F(BadInput, MeshOnASinglePointOpensAndDumpsFiniteCameraParameters) {
    // Every vertex at one position: the mesh's box has no size to frame.
    ExpectOpensWithFiniteCameraDump("point.zel", "ZEL\n3 1\n1 2 3\n1 2 3\n1 2 3\n0 1 2\n");
}
