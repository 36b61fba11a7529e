// zelcheck over generated datasets as a user runs it: shards against one run, bad input, and the
// progress line on a terminal and off it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/ZelMesh.h"
#include "check/CheckRun.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/mesh/MeshFixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = ZELCHECK_PATH;
constexpr std::chrono::seconds kTimeLimit{30};

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

ProgramRun RunCheck(const std::vector<std::string>& arguments) {
    ProgramRun run;
    run.status = RunProgram(arguments, &run.out, &run.err);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The whole number after "name": in a JSON line.
long long JsonNumber(const std::string& line, const std::string& name) {
    const std::size_t at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + name.size() + 3));
}

void WriteZel(const ZelMesh& mesh, const std::string& path) {
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(mesh, path, &message)) << message;
}

// count files over five folders, in turn: a closed torus (ZEL), an open one (ZEL, defective), a
// cube as binary STL and as ASCII PLY, a ZEL file cut short (refused), and a text file (skipped).
void MakeDataset(const std::string& root, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string folder = root + "/part" + std::to_string(i % 5);
        fs::create_directories(folder);
        const std::string stem = folder + "/mesh" + std::to_string(i);
        switch (i % 6) {
            case 0:
                WriteZel(fixtures::Torus(4 + i % 7, 3), stem + ".zel");
                break;
            case 1:
                WriteZel(fixtures::Torus(5, 3 + i % 4, true), stem + ".zel");
                break;
            case 2:
                ASSERT_TRUE(WriteFileBytes(stem + ".stl", CubeBinaryStl()));
                break;
            case 3:
                ASSERT_TRUE(WriteFileBytes(stem + ".ply", CubeAsciiPly()));
                break;
            case 4:
                ASSERT_TRUE(WriteFileBytes(stem + ".zel", "ZEL\n3 1\n0 0 0\n"));
                break;
            default:
                ASSERT_TRUE(WriteFileBytes(stem + ".txt", "notes"));
                break;
        }
    }
}

// Root reads every file whatever its mode, so as root the program runs as nobody, from a copy
// in the (then open) test directory; everyone else runs it as it is.
std::vector<std::string> AsUser(const TempDirectory& dir, std::vector<std::string> arguments) {
    if (::geteuid() != 0) {
        return arguments;
    }
    const std::string copy = dir.File("zelcheck");
    fs::copy_file(arguments[0], copy, fs::copy_options::overwrite_existing);
    ::chmod(copy.c_str(), 0755);
    ::chmod(dir.Path().c_str(), 0755);
    arguments[0] = copy;
    arguments.insert(arguments.begin(),
                     {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return arguments;
}

// Opens the FIFO for writing once a reader has it open, within the time limit; -1 otherwise.
int OpenFifoForWriting(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, 0);
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

void WriteFd(int fd, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        ASSERT_GT(n, 0);
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace

TEST(CheckDataset, ThreeShardsTogetherPrintExactlyTheLinesOfOneRun) {
    TempDirectory dir;
    const std::string root = dir.File("data");
    // more files than results wait for printing, so the ring of slots goes round
    MakeDataset(root, 200);
    const std::vector<std::string> common = {kProgram, "-j", "2", "--json", "--summary", root};
    const ProgramRun whole = RunCheck(common);
    EXPECT_EQ(whole.status, kCheckUnreadable);
    std::vector<std::string> lines = Lines(whole.out);
    ASSERT_EQ(lines.size(), 200u - 200u / 6 - 200u / 6 + 1) << whole.out;
    const std::string summary = lines.back();
    lines.pop_back();
    // one walk order: the lines come sorted by path
    EXPECT_EQ(lines, Sorted(lines));
    std::vector<std::string> shardLines;
    std::vector<std::string> shardErrors;
    std::vector<long long> sums(6, 0);
    const std::vector<std::string> fields = {"checked", "clean",   "defective",
                                             "refused", "skipped", "faces"};
    for (int k = 0; k < 3; ++k) {
        std::vector<std::string> arguments = common;
        arguments.insert(arguments.begin() + 1, {"--shard", std::to_string(k) + "/3"});
        const ProgramRun shard = RunCheck(arguments);
        EXPECT_EQ(shard.status, kCheckUnreadable) << k;
        std::vector<std::string> part = Lines(shard.out);
        ASSERT_FALSE(part.empty());
        for (std::size_t f = 0; f < fields.size(); ++f) {
            sums[f] += JsonNumber(part.back(), fields[f]);
        }
        part.pop_back();
        shardLines.insert(shardLines.end(), part.begin(), part.end());
        const std::vector<std::string> errors = Lines(shard.err);
        shardErrors.insert(shardErrors.end(), errors.begin(), errors.end());
    }
    EXPECT_EQ(Sorted(shardLines), Sorted(lines));
    EXPECT_EQ(Sorted(shardErrors), Sorted(Lines(whole.err)));
    EXPECT_EQ(Lines(whole.err).size(), 33u);
    for (std::size_t f = 0; f < fields.size(); ++f) {
        EXPECT_EQ(sums[f], JsonNumber(summary, fields[f])) << fields[f];
    }
    EXPECT_EQ(JsonNumber(summary, "skipped"), 33);
    EXPECT_EQ(JsonNumber(summary, "refused"), 33);
    EXPECT_EQ(JsonNumber(summary, "checked"), 134);
    EXPECT_EQ(JsonNumber(summary, "clean"), 100);
}

TEST(CheckDataset, BadInputGetsOneLineAndTheRightStatusAndTheRunGoesOn) {
    TempDirectory dir;
    const std::string good = dir.File("good.zel");
    WriteZel(fixtures::Tetrahedron(), good);
    const std::string tree = dir.File("tree");
    fs::create_directories(tree + "/locked");
    WriteZel(fixtures::Tetrahedron(), tree + "/b.zel");
    WriteZel(fixtures::Tetrahedron(), tree + "/locked/c.zel");
    fs::create_directory_symlink("..", tree + "/loop");
    const std::string closed = dir.File("closed.zel");
    WriteZel(fixtures::Tetrahedron(), closed);
    ::chmod(closed.c_str(), 0);
    ::chmod((tree + "/locked").c_str(), 0);
    const std::string longPath = dir.File(std::string(10000, 'x') + ".zel");
    ASSERT_TRUE(WriteFileBytes(dir.File("list"), good + "\n" + longPath + "\n" + good + "\n"));

    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::size_t outLines;
        std::string errorPart;
    };
    const std::vector<Case> cases = {
        {{kProgram, good, dir.File("missing.zel"), good}, kCheckUnreadable, 2, "missing.zel"},
        {{kProgram, good, closed, good}, kCheckUnreadable, 2, "closed.zel"},
        {{kProgram, tree}, kCheckUnreadable, 1, "cannot read directory \"" + tree + "/locked\""},
        {{kProgram, "--files-from", dir.File("list")},
         kCheckUnreadable,
         2,
         "is " + std::to_string(longPath.size()) + " bytes long, longer than any path can be"},
        {{kProgram, "--shard", "3/3", good}, kCheckUnreadable, 0, "K must be less than N"},
        {{kProgram, "--shard", "-1/2", good}, kCheckUnreadable, 0, "not \"-1/2\""},
        {{kProgram, "--shard=1/0", good}, kCheckUnreadable, 0, "N must be at least 1"},
        {{kProgram, "--shard", "a/b", good}, kCheckUnreadable, 0, "not \"a/b\""},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunCheck(AsUser(dir, c.arguments));
        const std::string name = c.arguments.back() + " " + c.arguments[c.arguments.size() - 2];
        EXPECT_EQ(run.status, c.status) << name;
        EXPECT_EQ(Lines(run.out).size(), c.outLines) << name << "\n" << run.out;
        const std::vector<std::string> errors = Lines(run.err);
        ASSERT_FALSE(errors.empty()) << name;
        EXPECT_EQ(errors[0].rfind("Error: ", 0), 0u) << errors[0];
        EXPECT_NE(errors[0].find(c.errorPart), std::string::npos) << errors[0];
        // a usage error adds the usage text; anything else is one line
        EXPECT_EQ(errors.size(), c.outLines == 0 ? 2u : 1u) << run.err;
    }
    // The walk does not follow the link back up, so it ends, each file once.
    ::chmod((tree + "/locked").c_str(), 0755);
    const ProgramRun loop = RunCheck({kProgram, "--summary", tree});
    EXPECT_EQ(loop.status, kCheckClean) << loop.err;
    EXPECT_EQ(Lines(loop.out).size(), 3u) << loop.out;
    EXPECT_NE(loop.out.find("2 files checked (2 clean, 0 defective), 0 refused, 1 skipped"),
              std::string::npos)
        << loop.out;
}

TEST(CheckDataset, FileThatVanishesBetweenTheWalkAndTheReadIsOneErrorLine) {
    // With one job the files are read in turn, and the FIFO named first holds the run until the
    // test has removed a file the walk found.
    TempDirectory dir;
    const std::string fifo = dir.File("first.zel");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string tree = dir.File("tree");
    fs::create_directories(tree);
    WriteZel(fixtures::Tetrahedron(), tree + "/a.zel");
    WriteZel(fixtures::Tetrahedron(), tree + "/b.zel");
    ProgramRun run;
    std::thread program([&] { run = RunCheck({kProgram, "-j", "1", fifo, tree}); });
    const int fd = OpenFifoForWriting(fifo);
    EXPECT_GE(fd, 0) << "zelcheck never opened the FIFO";
    fs::remove(tree + "/a.zel");
    if (fd >= 0) {
        WriteFd(fd, "ZEL\n3 1\n0 0 0\n1 0 0\n0 1 0\n0 1 2\n");
        ::close(fd);
    }
    program.join();
    EXPECT_EQ(run.status, kCheckUnreadable);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_EQ(lines[0].rfind(fifo + ": 3 vertices", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(tree + "/b.zel: 4 vertices", 0), 0u) << lines[1];
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find("\"" + tree + "/a.zel\""), std::string::npos) << run.err;
}

TEST(CheckDataset, ProgressLineIsDrawnOnATerminalOnlyAndErasedAtTheEnd) {
    // A FIFO keeps the run going until the test writes it: on a terminal until the progress line
    // shows, off one until the run has lasted past the delay.
    TempDirectory dir;
    const std::string fifo = dir.File("slow.zel");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string torus = std::string(ZEL_EXAMPLES_DIR) + "/torus.zel";
    const std::string mesh = "ZEL\n3 1\n0 0 0\n1 0 0\n0 1 0\n0 1 2\n";

    // off a terminal: standard error goes to a file
    ProgramRun piped;
    const auto start = std::chrono::steady_clock::now();
    std::thread program([&] { piped = RunCheck({kProgram, "-j", "1", torus, fifo}); });
    int fd = OpenFifoForWriting(fifo);
    ASSERT_GE(fd, 0);
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    WriteFd(fd, mesh);
    ::close(fd);
    program.join();
    EXPECT_EQ(piped.status, kCheckDefects);
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(Lines(piped.out).size(), 2u) << piped.out;

    // on a terminal: standard error is a pseudo-terminal, standard output still a file
    const std::string outPath = dir.File("out");
    const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(outFd, 0);
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(outFd, STDOUT_FILENO);
        ::execl(kProgram, kProgram, "-j", "1", torus.c_str(), fifo.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(outFd);
    // Reads what the terminal shows until the text appears or, with an empty text, the end.
    std::string screen;
    auto readUntil = [&](const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
        while (std::chrono::steady_clock::now() < deadline &&
               (text.empty() || screen.find(text) == std::string::npos)) {
            pollfd poller{master, POLLIN, 0};
            if (::poll(&poller, 1, 100) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                return text.empty();  // the program has ended and closed the terminal
            }
            screen.append(buffer, static_cast<std::size_t>(n));
        }
        return !text.empty() && screen.find(text) != std::string::npos;
    };
    EXPECT_TRUE(readUntil("zelcheck: 1 of 2 files, ")) << screen;
    fd = OpenFifoForWriting(fifo);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        WriteFd(fd, mesh);
        ::close(fd);
    }
    EXPECT_TRUE(readUntil("")) << screen;
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kCheckDefects) << status;
    EXPECT_EQ(screen.rfind("\rzelcheck: ", 0), 0u) << screen;
    const std::string erase = "\r\033[K";
    ASSERT_GE(screen.size(), erase.size());
    EXPECT_EQ(screen.substr(screen.size() - erase.size()), erase) << screen;
    EXPECT_EQ(screen.find('\n'), std::string::npos) << screen;
    const std::string out = ReadFileBytes(outPath);
    EXPECT_EQ(Lines(out).size(), 2u) << out;
    EXPECT_EQ(out.find("zelcheck:"), std::string::npos) << out;
}
