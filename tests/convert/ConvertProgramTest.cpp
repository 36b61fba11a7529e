// The zelconvert program as a user runs it: arguments, exit status, messages, output file.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/convert/ConvertTestFiles.h"

namespace {

constexpr const char* kProgram = ZELCONVERT_PATH;
constexpr const char* kUsage = "usage: zelconvert [--no-weld] INPUT OUTPUT.zel\n";

int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

}  // namespace

TEST(ConvertProgram, WrongArgumentCountsPrintUsageWithStatusTwo) {
    std::string error;
    EXPECT_EQ(RunProgram({kProgram}, &error), 2);
    EXPECT_EQ(error, kUsage);
    EXPECT_EQ(RunProgram({kProgram, "in.stl"}, &error), 2);
    EXPECT_EQ(error, kUsage);
    EXPECT_EQ(RunProgram({kProgram, "a.stl", "b.zel", "c.zel"}, &error), 2);
    EXPECT_EQ(error, kUsage);
    EXPECT_EQ(RunProgram({kProgram, "--no-weld", "in.stl"}, &error), 2);
    EXPECT_EQ(error, kUsage);
}

TEST(ConvertProgram, UnknownOptionIsNamedWithStatusTwo) {
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, "--weld", "in.stl", "out.zel"}, &error), 2);
    EXPECT_NE(error.find("\"--weld\""), std::string::npos) << error;
    EXPECT_EQ(CountLines(error), 1);
}

TEST(ConvertProgram, SuccessWritesTheFileAndOneSummaryLine) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, dir.File("cube.stl"), dir.File("cube.zel")}, &error), 0);
    EXPECT_EQ(CountLines(error), 1) << error;
    EXPECT_NE(error.find("1 mesh, 36 vertices welded to 8, 12 faces, 0 points and lines dropped"),
              std::string::npos)
        << error;
    EXPECT_EQ(ReadFileBytes(dir.File("cube.zel")).compare(0, 9, "ZEL\n8 12\n"), 0);

    EXPECT_EQ(
        RunProgram({kProgram, dir.File("cube.stl"), "--no-weld", dir.File("raw.zel")}, &error), 0);
    EXPECT_NE(error.find("36 vertices (not welded)"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(dir.File("raw.zel")).compare(0, 10, "ZEL\n36 12\n"), 0);
}

TEST(ConvertProgram, FailuresPrintOneLineWithStatusOneAndWriteNothing) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("noise.stl"), "solid x\nthis is not stl\n"));
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    const std::vector<std::vector<std::string>> failing = {
        {kProgram, dir.File("absent.stl"), dir.File("out.zel")},
        {kProgram, dir.File("noise.stl"), dir.File("out.zel")},
        {kProgram, dir.File("cube.stl"), dir.File("absent/out.zel")},
    };
    for (const std::vector<std::string>& arguments : failing) {
        std::string error;
        EXPECT_EQ(RunProgram(arguments, &error), 1) << arguments[1];
        EXPECT_EQ(CountLines(error), 1) << error;
        EXPECT_EQ(error.rfind("Error: ", 0), 0u) << error;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("out.zel")), "");
}

TEST(ConvertProgram, MeshTheViewerWouldRefuseIsNotWritten) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("far.obj"), "v 0 0 0\nv 2e9 0 0\nv 0 1 0\nf 1 2 3\n"));
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, dir.File("far.obj"), dir.File("far.zel")}, &error), 1);
    EXPECT_EQ(CountLines(error), 1) << error;
    EXPECT_EQ(error.rfind("Error: ", 0), 0u) << error;
    EXPECT_NE(error.find("out of range"), std::string::npos) << error;
    EXPECT_FALSE(std::ifstream(dir.File("far.zel")).is_open());
}
