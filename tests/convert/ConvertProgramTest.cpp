// The zelconvert program as a user runs it: arguments, exit status, messages, output file.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/convert/ConvertTestFiles.h"

namespace {

constexpr const char* kProgram = ZELCONVERT_PATH;
constexpr const char* kUsage = "usage: zelconvert [--weld | --no-weld] INPUT OUTPUT.zel\n";

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
    EXPECT_EQ(RunProgram({kProgram, "--weld-all", "in.stl", "out.zel"}, &error), 2);
    EXPECT_NE(error.find("\"--weld-all\""), std::string::npos) << error;
    EXPECT_EQ(CountLines(error), 1);
}

TEST(ConvertProgram, SuccessWritesTheFileAndOneSummaryLine) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, dir.File("cube.stl"), dir.File("cube.zel")}, &error), 0);
    EXPECT_EQ(CountLines(error), 1) << error;
    EXPECT_NE(error.find("STL (binary): 1 mesh, 12 polygons read, 12 triangles written, 0 points "
                         "and lines dropped, 36 vertices welded to 8\n"),
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

TEST(ConvertProgram, FilesHoldingFewerElementsThanDeclaredAreRefusedAndWriteNothing) {
    TempDirectory dir;
    const std::string fourVertices = "0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    ASSERT_TRUE(WriteFileBytes(dir.File("short.off"),
                               "OFF\n4 3 0\n" + fourVertices + "3 0 1 2\n3 0 2 3\n"));
    ASSERT_TRUE(WriteFileBytes(
        dir.File("short.ply"),
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
        "property float z\nelement face 3\nproperty list uchar int vertex_indices\nend_header\n" +
            fourVertices + "3 0 1 2\n3 0 2 3\n"));
    const std::pair<const char*, const char*> cases[] = {
        {"short.off", "holds 2 of the 3 faces its header declares\n"},
        {"short.ply", "holds 2 of the 3 \"face\" elements its header declares\n"}};
    for (const auto& [name, words] : cases) {
        std::string error;
        EXPECT_EQ(RunProgram({kProgram, dir.File(name), dir.File("out.zel")}, &error), 1);
        EXPECT_EQ(error, "Error: \"" + dir.File(name) + "\" " + words);
        EXPECT_FALSE(std::ifstream(dir.File("out.zel")).good()) << name;
    }
}

TEST(ConvertProgram, OffWithCommentsBetweenBlocksKeepsEveryFace) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("commented.off"),
                               "OFF\n4 3 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n# 3 facets\n# ------\n"
                               "3 0 1 2\n3 0 2 3\n3 0 3 1\n"));
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, dir.File("commented.off"), dir.File("out.zel")}, &error), 0);
    EXPECT_EQ(error,
              "OFF: 1 mesh, 3 polygons read, 3 triangles written, 0 points and lines dropped, 4 "
              "vertices (not welded)\n");
    EXPECT_EQ(ReadFileBytes(dir.File("out.zel")).compare(0, 8, "ZEL\n4 3\n"), 0);
}

TEST(ConvertProgram, WeldingFollowsTheFormatUnlessAskedAndLeftOverDataIsWarnedOf) {
    TempDirectory dir;
    // the square as two triangles with their own corners, one line more than declared
    const std::string off =
        "OFF\n6 2 0\n0 0 0\n1 0 0\n1 1 0\n0 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 3 4 5\n3 0 2 5\n";
    ASSERT_TRUE(WriteFileBytes(dir.File("seam.off"), off));
    std::string error;
    EXPECT_EQ(RunProgram({kProgram, dir.File("seam.off"), dir.File("out.zel")}, &error), 0);
    EXPECT_EQ(error, "Warning: \"" + dir.File("seam.off") +
                         "\" line 11: holds more than the 2 faces its header declares; the rest "
                         "is not read\nOFF: 1 mesh, 2 polygons read, 2 triangles written, 0 points "
                         "and lines dropped, 6 vertices (not welded)\n");
    EXPECT_EQ(RunProgram({kProgram, "--weld", dir.File("seam.off"), dir.File("out.zel")}, &error),
              0);
    EXPECT_NE(error.find("6 vertices welded to 4\n"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(dir.File("out.zel")).compare(0, 8, "ZEL\n4 2\n"), 0);
}
