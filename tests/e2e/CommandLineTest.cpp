#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/ViewerProcess.h"

// The command line, end to end. Runs that must not open a window get no DISPLAY: had the program
// tried to open one, it would have failed differently from what these tests expect.

namespace {

constexpr int kRunTimeoutMs = 10000;

const std::string kUsage =
    "I need the name of a ZEL model!!\n"
    "syntax: ZelViewer.exe -file <filename.zel>\n";

std::string CannotOpen(const std::string& path) {
    return "Error: file could not be opened for reading \"" + path + "\"\n";
}

// Output and status of one run of the program that ends on its own.
struct Run {
    ProcessResult result;
    std::string out;
    std::string err;
};

Run RunWithoutDisplay(const TempDirectory& dir, const std::vector<std::string>& args) {
    ViewerProcess program(dir.Path());
    Run run;
    if (!program.Start(args, false)) {
        ADD_FAILURE() << "could not start " << ViewerProgramPath();
        return run;
    }
    run.result = program.Wait(kRunTimeoutMs);
    run.out = program.Stdout();
    run.err = program.Stderr();
    return run;
}

void ExpectRun(const Run& run, int status, const std::string& err) {
    EXPECT_FALSE(run.result.timedOut);
    EXPECT_TRUE(run.result.exited);
    EXPECT_EQ(run.result.status, status);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.out, "");
}

// A tetrahedron, closed, every edge shared by two consistently oriented faces:
//        3
//       /|\      faces 0-2-1, 0-1-3, 1-2-3, 2-0-3
//      0-+-2     (outward normals)
//       \|/
//        1
const char* const kTetrahedron =
    "ZEL\n4 4\n"
    "0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
    "0 2 1\n0 1 3\n1 2 3\n2 0 3\n";

}  // namespace

TEST(CommandLine, WithoutArgumentsPrintsUsageAndEndsWithStatusZero) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {}), 0, kUsage);
}

TEST(CommandLine, FileFlagWithoutValueNamesNoFile) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {"-file"}), 0, kUsage);
    // A value consumed by an earlier "-file" does not make a trailing one complete.
    ExpectRun(RunWithoutDisplay(dir, {"-y", "-file"}), 0, "Argument unknown: -y\n" + kUsage);
}

TEST(CommandLine, ArgumentsOtherThanTheFileFlagAreReportedEachInTurn) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {"a.zel"}), 0, "Argument unknown: a.zel\n" + kUsage);
    // The flag is compared exactly, case included.
    ExpectRun(RunWithoutDisplay(dir, {"-FILE", "a.zel"}), 0,
              "Argument unknown: -FILE\nArgument unknown: a.zel\n" + kUsage);
    // GLUT's own options are not recognised either.
    ExpectRun(RunWithoutDisplay(dir, {"-display", ":0"}), 0,
              "Argument unknown: -display\nArgument unknown: :0\n" + kUsage);
}

TEST(CommandLine, UnknownArgumentDoesNotStopTheFileBeingRead) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {"-x", "-file", "a.zel"}), 2,
              "Argument unknown: -x\n" + CannotOpen("a.zel"));
}

TEST(CommandLine, LastFileFlagWithAValueWins) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {"-file", "a.zel", "-file", "b.zel"}), 2, CannotOpen("b.zel"));
    ExpectRun(RunWithoutDisplay(dir, {"-file", "a.zel", "-file"}), 2, CannotOpen("a.zel"));
}

TEST(CommandLine, UnreadableMeshEndsWithStatusTwoBeforeAnyWindow) {
    TempDirectory dir;
    ExpectRun(RunWithoutDisplay(dir, {"-file", "missing.zel"}), 2, CannotOpen("missing.zel"));

    std::ofstream(dir.File("lower.zel")) << "zel\n0 0\n";
    ExpectRun(RunWithoutDisplay(dir, {"-file", "lower.zel"}), 2,
              "Error: Do not recognize file type. File data should have ZEL header\n");
}

TEST(CommandLine, LongPathIsKeptWhole) {
    TempDirectory dir;
    std::string path =
        dir.Path() + "/" + std::string(200, 'd') + "/" + std::string(200, 'f') + ".zel";
    ExpectRun(RunWithoutDisplay(dir, {"-file", path}), 2, CannotOpen(path));
}

TEST(CommandLine, FileFlagTwiceReadsAFileNamedLikeTheFlag) {
    ASSERT_TRUE(UseOwnDisplay()) << "could not start a private Xvfb server";
    TempDirectory dir;
    std::ofstream(dir.File("-file")) << kTetrahedron;

    ViewerProcess program(dir.Path());
    ASSERT_TRUE(program.Start({"-file", "-file"}));
    std::string window = WaitForViewerWindow(20);
    ASSERT_NE(window, "") << program.Stderr();
    SendKeys(window, "Escape");
    ProcessResult result = program.Wait(kRunTimeoutMs);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(program.Stderr(),
              "There are 12 edges\n12 good edges\n0 boundary edges\n0 non-manifold edges\n"
              "0 degenerate edges\n0 edges with inconsistent normals\n");
}
