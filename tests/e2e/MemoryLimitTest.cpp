#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ZelMesh.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"
#include "tests/e2e/ViewerProcess.h"
#include "tools/MeshGenerator.h"

// The real programs under memory limits the test sets in the child (setrlimit before exec, or a
// memory control group): whichever step finds no memory, the run ends with one "Error: " line
// and the program's error status, never a signal (so no core) and never a partial output.
//
// The levels are the program's own start (measured while it waits on a named pipe) plus the
// sizes of its steps for the mesh the test generates. Under an address-space limit the programs
// refuse from the header what cannot fit, so the steps after it are stepped through under a data
// limit (RLIMIT_DATA: private writable memory), which the refusal does not look at.

namespace {

constexpr int kRunTimeoutMs = 120000;
constexpr int kWindowTimeoutSeconds = 60;
constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;
// The reader's block buffer.
constexpr std::uint64_t kReadBuffer = kMiB;

// How a limited run ended and what it wrote.
struct LimitedRun {
    bool exited = false;
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

// What a program holds when it is about to read its file, in bytes.
struct ProgramStart {
    std::uint64_t data = 0;
    std::uint64_t addressSpace = 0;
    std::uint64_t resident = 0;
};

// The kernel function a process sleeps in ("wait_for_partner" while it opens a pipe nobody
// writes to), or "" while it runs.
std::string KernelWaitChannel(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/wchan");
    std::string channel;
    std::getline(file, channel);
    return channel;
}

std::uint64_t StatusField(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::stoull(line.substr(key.size() + 1)) * 1024;
        }
    }
    return 0;
}

// The "Error: " lines of a run's standard error.
std::vector<std::string> ErrorLines(const std::string& err) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(err)) {
        if (line.compare(0, 7, "Error: ") == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> EntriesOf(const std::string& directory) {
    std::vector<std::string> names;
    const std::string listing = RunCommand("ls -A '" + directory + "'");
    for (const std::string& name : SplitLines(listing)) {
        names.push_back(name);
    }
    return names;
}

// Runs a program; the child applies limit (or joins a control group) before exec. whileRunning,
// when given, is called with the child's pid and may end it (through the window); the run is
// killed at the deadline otherwise.
LimitedRun RunLimited(const std::vector<std::string>& arguments, const std::string& workDir,
                      const std::function<void()>& inChild,
                      const std::function<void(pid_t)>& whileRunning = nullptr) {
    const std::string outPath = workDir + "/run.out";
    const std::string errPath = workDir + "/run.err";
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(workDir.c_str()) != 0) {
            _exit(127);
        }
        dup2(out, 1);
        dup2(err, 2);
        // a core would be a file too; none may be written, and none is wanted here
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        inChild();
        execv(argv[0], argv.data());
        _exit(127);
    }
    LimitedRun run;
    if (pid < 0) {
        return run;
    }
    if (whileRunning) {
        whileRunning(pid);
    }
    int status = 0;
    if (!WaitFor([pid, &status] { return waitpid(pid, &status, WNOHANG) == pid; }, kRunTimeoutMs)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.out = ReadFileBytes(outPath);
    run.err = ReadFileBytes(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

std::function<void()> Limit(int resource, std::uint64_t bytes) {
    return [resource, bytes] {
        rlimit limit{};
        getrlimit(resource, &limit);
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(resource, &limit);
    };
}

// Whether the process has ended (and waits to be reaped).
bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    // pid, (name), state; a program name holds no blanks here
    stat >> field >> field >> field;
    return field != "R" && field != "S" && field != "D";
}

// Starts the program with a named pipe in place of its file (the argument "PIPE"), so it stops
// where it opens the file, and measures what it holds there; the program is then killed.
ProgramStart MeasureStart(std::vector<std::string> arguments, const std::string& workDir,
                          const std::string& pipeName) {
    ProgramStart start;
    const std::string pipe = workDir + "/" + pipeName;
    if (mkfifo(pipe.c_str(), 0600) != 0) {
        ADD_FAILURE() << "cannot make a named pipe in " << workDir;
        return start;
    }
    for (std::string& argument : arguments) {
        if (argument == "PIPE") {
            argument = pipe;
        }
    }
    RunLimited(
        arguments, workDir, [] {},
        [&start](pid_t pid) {
            // Measured while the program still waits in opening the pipe for a writer, which
            // never comes: once a writer opened it, the program would go on reading and could
            // take its next memory before the measure.
            WaitFor([&] { return KernelWaitChannel(pid) == "wait_for_partner" || Ended(pid); },
                    kRunTimeoutMs);
            start.data = StatusField(pid, "VmData");
            start.addressSpace = StatusField(pid, "VmSize");
            start.resident = StatusField(pid, "VmRSS");
            kill(pid, SIGKILL);
        });
    std::remove(pipe.c_str());
    EXPECT_GT(start.data, 0u) << arguments[0] << " did not stop at the pipe";
    return start;
}

// One generated torus for every case: big enough that each step's half is megabytes, far above
// what the heap keeps spare.
class MemoryLimit : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        directory = new TempDirectory("zel-memory");
        ZelMesh mesh;
        ZelMeshAddTorus(mesh, TorusGridForFaces(kFaces), false);
        vertices = ZelMeshVertexCount(mesh);
        faces = ZelMeshFaceCount(mesh);
        std::string message;
        ASSERT_TRUE(ZelMeshWrite(mesh, directory->File("torus.zel"), &message)) << message;
        ZelMesh small;
        ZelMeshAddSphere(small, 1);
        ASSERT_TRUE(ZelMeshWrite(small, directory->File("small.zel"), &message)) << message;
        // the same torus as OFF text, for zelconvert
        std::ostringstream off;
        off << "OFF\n" << vertices << ' ' << faces << " 0\n";
        for (std::size_t i = 0; i < mesh.coordinates.size(); i += 3) {
            off << mesh.coordinates[i] << ' ' << mesh.coordinates[i + 1] << ' '
                << mesh.coordinates[i + 2] << '\n';
        }
        for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
            off << "3 " << mesh.indices[i] << ' ' << mesh.indices[i + 1] << ' '
                << mesh.indices[i + 2] << '\n';
        }
        ASSERT_TRUE(WriteFileBytes(directory->File("torus.off"), off.str()));
    }
    static void TearDownTestSuite() { delete directory; }

    static constexpr long kFaces = 1000000;
    static TempDirectory* directory;
    static int vertices;
    static int faces;
};
TempDirectory* MemoryLimit::directory = nullptr;
int MemoryLimit::vertices = 0;
int MemoryLimit::faces = 0;

// Expects a run that ended through exit with the status and one error line holding the text.
void ExpectCleanFailure(const LimitedRun& run, int status, const std::string& text) {
    EXPECT_EQ(run.signal, 0) << "ended by a signal\n" << run.err;
    EXPECT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.status, status) << run.err;
    const std::vector<std::string> errors = ErrorLines(run.err);
    ASSERT_EQ(errors.size(), 1u) << run.err;
    EXPECT_NE(errors[0].find(text), std::string::npos) << errors[0];
}

TEST_F(MemoryLimit, ViewerEndsWithOneLineWhicheverBuildingStepFindsNoMemory) {
    TempDirectory work("zel-memory-viewer");
    const std::string program = ViewerProgramPath();
    const ProgramStart start = MeasureStart({program, "-file", "PIPE"}, work.Path(), "pipe.zel");
    const std::uint64_t v = static_cast<std::uint64_t>(vertices);
    const std::uint64_t f = static_cast<std::uint64_t>(faces);
    const std::vector<std::size_t> storage = Mesh::StorageSizes(vertices, faces);
    const std::uint64_t coordinates = 12 * v;
    const std::uint64_t corners = 12 * f;
    const std::uint64_t arrays = kReadBuffer + coordinates + corners;
    const std::uint64_t records = storage[0] + storage[1] + storage[2];
    const std::string counts = "not enough memory for " + std::to_string(vertices) +
                               " vertices and " + std::to_string(faces) + " faces";
    const std::string build = "not enough memory to build the mesh";
    struct Step {
        const char* name;
        std::uint64_t level;
        std::string message;
    };
    // each level lies halfway through its step, with every step before it held
    const std::vector<Step> steps = {
        {"block buffer", start.data + kReadBuffer / 2, "not enough memory to hold the file"},
        {"coordinates", start.data + kReadBuffer + coordinates / 2, counts},
        {"corners", start.data + kReadBuffer + coordinates + corners / 2, counts},
        {"vertex records", start.data + arrays + storage[0] / 2, build},
        {"face records", start.data + arrays + storage[0] + storage[1] / 2, build},
        {"half-edge records", start.data + arrays + storage[0] + storage[1] + storage[2] / 2,
         build},
        // the buffer and the coordinates are gone once the elements are made
        {"matching table", start.data + corners + records + storage[3] + storage[4] / 2, build},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.name) + ", data limit " + std::to_string(step.level));
        const LimitedRun run = RunLimited({program, "-file", directory->File("torus.zel")},
                                          work.Path(), Limit(RLIMIT_DATA, step.level));
        ExpectCleanFailure(run, 2, step.message);
        // nothing of the edge report: the mesh was never built
        EXPECT_EQ(run.err.find("edges"), std::string::npos) << run.err;
    }
}

TEST_F(MemoryLimit, ViewerRefusesWhatCannotFitItsAddressSpaceAndOpensWhatCan) {
    ASSERT_TRUE(UseOwnDisplay());
    TempDirectory work("zel-memory-viewer-space");
    const std::string program = ViewerProgramPath();
    const ProgramStart start = MeasureStart({program, "-file", "PIPE"}, work.Path(), "pipe.zel");
    const MeshMemoryAmount need =
        MeshMemoryNeed(vertices, faces, MeshMemoryUse::kView, {start.resident, start.addressSpace});
    // from the header's counts, halfway to the need and just short of it: refused, the limit
    // named (below the program's start the dynamic loader itself cannot map the libraries, and
    // the data limits above step through the block buffer)
    for (const std::uint64_t level :
         {start.addressSpace + (need.addressSpace - start.addressSpace) / 2,
          need.addressSpace - 16 * kMiB}) {
        SCOPED_TRACE("address-space limit " + std::to_string(level));
        const LimitedRun run = RunLimited({program, "-file", directory->File("torus.zel")},
                                          work.Path(), Limit(RLIMIT_AS, level));
        ExpectCleanFailure(run, 2, "\"" + directory->File("torus.zel") + "\": needs ");
        char ceiling[64];
        std::snprintf(ceiling, sizeof ceiling, "at most %.1f MB can be had", level / 1e6);
        EXPECT_NE(run.err.find(ceiling), std::string::npos) << run.err;
    }
    // a little above the need: it opens, draws and ends on Esc
    const LimitedRun run = RunLimited({program, "-file", directory->File("torus.zel")}, work.Path(),
                                      Limit(RLIMIT_AS, need.addressSpace + 64 * kMiB), [](pid_t) {
                                          const std::string window =
                                              WaitForViewerWindow(kWindowTimeoutSeconds);
                                          if (!window.empty()) {
                                              SendKeys(window, "Escape");
                                          }
                                      });
    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(ErrorLines(run.err).empty()) << run.err;
}

TEST_F(MemoryLimit, CheckerReportsTheFileWithoutMemoryAndGoesOn) {
    TempDirectory work("zel-memory-check");
    const std::string program = ZEL_CHECK_PROGRAM;
    const ProgramStart start = MeasureStart({program, "-j", "1", "PIPE"}, work.Path(), "pipe.zel");
    const MeshMemoryAmount need = MeshMemoryNeed(vertices, faces, MeshMemoryUse::kCheck,
                                                 {start.resident, start.addressSpace});
    const std::string torus = directory->File("torus.zel");
    const std::string small = directory->File("small.zel");
    // Data limits from the block buffer to the matching table, in eighths of what the torus
    // takes: the step that fails depends on the level and on how far the thread that prepares
    // the storage got, the outcome does not; the small file after it is checked.
    const std::uint64_t span = need.resident - start.resident;
    {
        // without room for the block buffer no file can be read: two lines, one a file
        const LimitedRun run = RunLimited({program, "-j", "1", torus, small}, work.Path(),
                                          Limit(RLIMIT_DATA, start.data + kReadBuffer / 2));
        EXPECT_EQ(run.signal, 0) << run.err;
        EXPECT_EQ(run.status, 2) << run.err;
        const std::vector<std::string> errors = ErrorLines(run.err);
        ASSERT_EQ(errors.size(), 2u) << run.err;
        EXPECT_EQ(errors[0], "Error: \"" + torus + "\": not enough memory to hold the file");
        EXPECT_EQ(errors[1], "Error: \"" + small + "\": not enough memory to hold the file");
    }
    for (int eighth = 1; eighth < 8; ++eighth) {
        const std::uint64_t level = start.data + span * static_cast<std::uint64_t>(eighth) / 8;
        SCOPED_TRACE("data limit " + std::to_string(level));
        const LimitedRun run =
            RunLimited({program, "-j", "1", torus, small}, work.Path(), Limit(RLIMIT_DATA, level));
        ExpectCleanFailure(run, 2, "\"" + torus + "\": not enough memory");
        EXPECT_EQ(run.out.find(torus), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(small + ": 42 vertices"), std::string::npos) << run.out;
    }
    // under an address-space limit below the need, refused from the header
    const LimitedRun run = RunLimited(
        {program, "-j", "1", torus, small}, work.Path(),
        Limit(RLIMIT_AS, start.addressSpace + (need.addressSpace - start.addressSpace) / 2));
    ExpectCleanFailure(run, 2, "\"" + torus + "\": needs ");
    EXPECT_NE(run.out.find(small + ": 42 vertices"), std::string::npos) << run.out;
}

TEST_F(MemoryLimit, ConverterFailsWithoutOutputOrTemporaryWhereverMemoryRunsOut) {
    TempDirectory work("zel-memory-convert");
    const std::string program = ZEL_CONVERT_PROGRAM;
    const ProgramStart start =
        MeasureStart({program, "PIPE", work.File("unused.zel")}, work.Path(), "pipe.off");
    const std::string input = directory->File("torus.off");
    const std::string output = work.File("out.zel");
    // The converter's steps (the file's bytes, the polygons, the triangles, welding, the
    // writer's block) are each of the order of the file's size; levels from a quarter to eight
    // times it meet each of them in turn.
    struct stat status {};
    ASSERT_EQ(stat(input.c_str(), &status), 0);
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    for (const std::uint64_t quarters : {1, 2, 4, 6, 8, 12, 16, 24, 32}) {
        for (const bool weld : {false, true}) {
            const std::uint64_t level = start.data + size * quarters / 4;
            SCOPED_TRACE("data limit " + std::to_string(level) + (weld ? ", welding" : ""));
            std::vector<std::string> arguments = {program, input, output};
            if (!weld) {
                arguments.insert(arguments.begin() + 1, "--no-weld");
            }
            const LimitedRun run = RunLimited(arguments, work.Path(), Limit(RLIMIT_DATA, level));
            EXPECT_EQ(run.signal, 0) << run.err;
            if (run.status == 0) {
                // enough for everything: the whole mesh, no temporary beside it
                EXPECT_EQ(EntriesOf(work.Path()), std::vector<std::string>{"out.zel"});
                std::remove(output.c_str());
                continue;
            }
            ExpectCleanFailure(run, 1, "");
            EXPECT_TRUE(EntriesOf(work.Path()).empty()) << "left behind after " << run.err;
        }
    }
    // the largest level is far above what the conversion takes
    const LimitedRun run = RunLimited({program, input, output}, work.Path(),
                                      Limit(RLIMIT_DATA, start.data + size * 8));
    EXPECT_EQ(run.status, 0) << run.err;
}

// A memory control group the test makes for one child, under the tree of its own group: cgroup
// v2 where the memory controller is there, else v1's memory controller; removed with the object.
class MemoryGroup {
public:
    explicit MemoryGroup(std::uint64_t limit) {
        const std::string name = "/zel-memory-test-" + std::to_string(getpid());
        std::ifstream groups("/proc/self/cgroup");
        std::string line;
        std::string v1;
        std::string v2;
        while (std::getline(groups, line)) {
            const std::size_t first = line.find(':');
            const std::size_t second = line.find(':', first + 1);
            const std::string controllers = line.substr(first + 1, second - first - 1);
            const std::string path = line.substr(second + 1);
            if (line.compare(0, 2, "0:") == 0 && controllers.empty()) {
                v2 = path == "/" ? "" : path;
            } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
                v1 = path == "/" ? "" : path;
            }
        }
        // v2: a child of the root takes the memory controller if the root hands it down
        std::ifstream controllers("/sys/fs/cgroup/cgroup.subtree_control");
        std::string available;
        std::getline(controllers, available);
        if (available.find("memory") != std::string::npos &&
            Make("/sys/fs/cgroup" + name, "memory.max", limit)) {
            return;
        }
        if (!v1.empty() || std::ifstream("/sys/fs/cgroup/memory/cgroup.procs").is_open()) {
            Make("/sys/fs/cgroup/memory" + v1 + name, "memory.limit_in_bytes", limit);
        }
    }
    ~MemoryGroup() {
        if (!folder.empty()) {
            rmdir(folder.c_str());
        }
    }
    // Why no group could be made, or "".
    const std::string& Problem() const { return problem; }
    // Moves the calling process (the child, before exec) into the group.
    void Join() const {
        std::ofstream procs(folder + "/cgroup.procs");
        procs << "0" << std::endl;
    }

private:
    bool Make(const std::string& path, const char* file, std::uint64_t limit) {
        if (mkdir(path.c_str(), 0755) != 0) {
            problem = "cannot make " + path;
            return false;
        }
        std::ofstream limitFile(path + "/" + file);
        limitFile << limit << std::endl;
        if (!limitFile) {
            rmdir(path.c_str());
            problem = std::string("cannot write ") + path + "/" + file;
            return false;
        }
        folder = path;
        problem.clear();
        return true;
    }
    std::string folder;
    std::string problem = "no memory controller under /sys/fs/cgroup";
};

TEST_F(MemoryLimit, ViewerInAMemoryGroupRefusesWhatExceedsItsLimit) {
    // A control group does not refuse memory: it ends a process that goes beyond it (status 137,
    // no word). The viewer has to know its limit before it builds.
    TempDirectory work("zel-memory-group");
    const std::string program = ViewerProgramPath();
    const ProgramStart start = MeasureStart({program, "-file", "PIPE"}, work.Path(), "pipe.zel");
    const MeshMemoryAmount need =
        MeshMemoryNeed(vertices, faces, MeshMemoryUse::kView, {start.resident, start.addressSpace});
    const std::uint64_t limit = (need.resident / 2) / 4096 * 4096;
    MemoryGroup group(limit);
    if (!group.Problem().empty()) {
        GTEST_SKIP() << "no memory control group can be made here: " << group.Problem();
    }
    const LimitedRun run = RunLimited({program, "-file", directory->File("torus.zel")}, work.Path(),
                                      [&group] { group.Join(); });
    ExpectCleanFailure(run, 2, "needs ");
    char ceiling[64];
    std::snprintf(ceiling, sizeof ceiling, "at most %.1f MB can be had", limit / 1e6);
    EXPECT_NE(run.err.find(ceiling), std::string::npos) << run.err;
}

}  // namespace
