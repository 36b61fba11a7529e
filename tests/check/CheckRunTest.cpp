// zelcheck over many files: order, exit statuses, errors among good files, and the program's
// command line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ZelMesh.h"
#include "check/CheckRun.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/mesh/MeshFixtures.h"

namespace {

constexpr const char* kProgram = ZELCHECK_PATH;
constexpr const char* kUsage =
    "usage: zelcheck [--json] [--weld | --no-weld] [-j N] [--summary] [--shard K/N] "
    "[--files-from LIST] [PATH...]\n";

std::string Example(const std::string& name) {
    return std::string(ZEL_EXAMPLES_DIR) + "/" + name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

struct CheckOutput {
    int status;
    std::string out;
    std::string err;
};

CheckOutput CheckFiles(const std::vector<std::string>& paths, int jobs, bool json = false) {
    CheckOptions options;
    options.jobs = jobs;
    options.json = json;
    std::ostringstream out;
    std::ostringstream err;
    const int status = CheckRunFiles(paths, options, out, err);
    return {status, out.str(), err.str()};
}

void WriteMesh(const ZelMesh& data, const std::string& path) {
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(data, path, &message)) << message;
}

}  // namespace

TEST(CheckRun, ExitStatusSaysWhetherEveryFileWasReadAndClean) {
    const std::string torus = Example("torus.zel");
    const std::string open = Example("open.zel");
    const std::string defects = Example("defects.zel");
    const std::string absent = Example("absent.zel");
    EXPECT_EQ(CheckFiles({torus, Example("sphere.zel")}, 2).status, kCheckClean);
    EXPECT_EQ(CheckFiles({torus, open}, 2).status, kCheckDefects);
    EXPECT_EQ(CheckFiles({defects}, 1).status, kCheckDefects);
    EXPECT_EQ(CheckFiles({absent, torus}, 2).status, kCheckUnreadable);
    // an unreadable file wins over a defective one, whichever comes first
    EXPECT_EQ(CheckFiles({open, absent}, 2).status, kCheckUnreadable);
    EXPECT_EQ(CheckFiles({absent, open}, 1).status, kCheckUnreadable);
}

TEST(CheckRun, UnreadableFileAmongGoodOnesGivesOneErrorLineAndTheRunGoesOn) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("broken.zel"), "ZEL\n3 1\n0 0 0\n1 0 0\n"));
    const std::vector<std::string> paths = {Example("torus.zel"), dir.File("broken.zel"),
                                            Example("sphere.zel"), dir.File("gone.ply")};
    const CheckOutput run = CheckFiles(paths, 3);
    EXPECT_EQ(run.status, kCheckUnreadable);
    const std::vector<std::string> out = Lines(run.out);
    ASSERT_EQ(out.size(), 2u) << run.out;
    EXPECT_EQ(out[0].rfind(paths[0] + ": 990 vertices, 1980 faces", 0), 0u) << out[0];
    EXPECT_EQ(out[1].rfind(paths[2] + ": 642 vertices, 1280 faces", 0), 0u) << out[1];
    const std::vector<std::string> err = Lines(run.err);
    ASSERT_EQ(err.size(), 2u) << run.err;
    EXPECT_EQ(err[0].rfind("Error: \"" + paths[1] + "\"", 0), 0u) << err[0];
    EXPECT_EQ(err[1].rfind("Error: ", 0), 0u) << err[1];
    EXPECT_NE(err[1].find("\"" + paths[3] + "\""), std::string::npos) << err[1];
}

TEST(CheckRun, ParallelRunsKeepTheGivenOrder) {
    // Large and small files alternate, so with several jobs the small ones finish first.
    TempDirectory dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        const std::string path = dir.File("mesh" + std::to_string(i) + ".zel");
        WriteMesh(i % 2 == 0 ? fixtures::Torus(150, 60) : fixtures::Torus(4 + i, 3, i % 3 == 0),
                  path);
        paths.push_back(path);
    }
    const CheckOutput sequential = CheckFiles(paths, 1, true);
    const std::vector<std::string> lines = Lines(sequential.out);
    ASSERT_EQ(lines.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("{\"path\":\"" + paths[i] + "\"", 0), 0u) << lines[i];
    }
    for (int jobs : {2, 4, 12, 30}) {
        const CheckOutput parallel = CheckFiles(paths, jobs, true);
        EXPECT_EQ(parallel.out, sequential.out) << jobs << " jobs";
        EXPECT_EQ(parallel.status, sequential.status);
    }
}

TEST(CheckProgram, PrintsOneLinePerFileAndItsStatus) {
    std::string out;
    std::string err;
    const std::string torus = Example("torus.zel");
    const std::string open = Example("open.zel");
    EXPECT_EQ(RunProgram({kProgram, "-j2", torus, open}, &out, &err), kCheckDefects);
    EXPECT_EQ(err, "");
    const std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_EQ(lines[0].rfind(torus + ": 990 vertices", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(open + ": 441 vertices", 0), 0u) << lines[1];
    EXPECT_EQ(RunProgram({kProgram, "--json", "-j", "1", torus}, &out, &err), kCheckClean);
    EXPECT_EQ(out.rfind("{\"path\":\"" + torus + "\",\"vertices\":990,", 0), 0u) << out;
}

TEST(CheckProgram, UsageErrorsPrintTheUsageWithStatusTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {kProgram},
        {kProgram, "--json"},
        {kProgram, "--fast", Example("torus.zel")},
        {kProgram, "-j", "0", Example("torus.zel")},
        {kProgram, "-j", "many", Example("torus.zel")},
        {kProgram, Example("torus.zel"), "-j"},
    };
    for (const std::vector<std::string>& arguments : wrong) {
        std::string out;
        std::string err;
        EXPECT_EQ(RunProgram(arguments, &out, &err), kCheckUnreadable) << arguments.size();
        EXPECT_EQ(out, "");
        ASSERT_GE(err.size(), std::string(kUsage).size());
        EXPECT_EQ(err.substr(err.size() - std::string(kUsage).size()), kUsage) << err;
    }
}

TEST(CheckProgram, LinksNoWindowOrGlLibrary) {
    std::string out;
    std::string err;
    ASSERT_EQ(RunProgram({"/usr/bin/ldd", kProgram}, &out, &err), 0) << err;
    EXPECT_NE(out.find("libc.so"), std::string::npos) << out;
    for (const char* library : {"libGL", "libOpenGL", "libglut", "libGLU", "libX11"}) {
        EXPECT_EQ(out.find(library), std::string::npos) << library << " in\n" << out;
    }
}
