// Replays the viewer's start-up on one mesh file of a native format (ZEL, OFF, PLY, OBJ, STL) and
// prints when each step ends, as absolute CLOCK_MONOTONIC seconds, so that bench/startup.py can
// measure from the moment it spawned us. The steps are main's own: read, build (the report is the
// last line the mesh prints), window and scene, camera fit, then the first frame drawn and swapped,
// finished with glFinish. After each step it also prints the resident memory and its peak so far,
// in kB. THREADS 2 (the default) builds as the viewer does, its storage faulted in ahead by a
// second thread, the steps after the elements shared with it, and GLUT connecting to the
// display meanwhile, without a memory limit also opening the window ("built" then includes that,
// and "scene" is the camera fit alone); 1 builds on one thread.
#include <GL/glut.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <streambuf>
#include <thread>
#include <utility>

#include "app/MeshFile.h"
#include "app/Scene.h"
#include "mesh/ElementArena.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"

namespace {

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Passes everything through to standard error and remembers when the last line ended.
class LineClock : public std::streambuf {
public:
    explicit LineClock(std::streambuf* target) : target_(target) {}
    double lastLineEnd = 0.0;

protected:
    int overflow(int c) override {
        if (c == '\n') {
            lastLineEnd = Now();
        }
        return c == traits_type::eof() ? traits_type::not_eof(c)
                                       : target_->sputc(static_cast<char>(c));
    }
    int sync() override { return target_->pubsync(); }

private:
    std::streambuf* target_;
};

// Prints the step's end time, then the resident memory at that point and its peak so far.
void Step(const char* name, double when) {
    std::printf("step %s %.6f\n", name, when);
    long residentKb = -1;
    long peakKb = -1;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            std::sscanf(line, "VmRSS: %ld", &residentKb);
            std::sscanf(line, "VmHWM: %ld", &peakKb);
        }
        std::fclose(status);
    }
    std::printf("memory %s %ld %ld\n", name, residentKb, peakKb);
}

}  // namespace

int main(int argc, char** argv) {
    Step("main", Now());
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_bench FILE [FRAMES] [THREADS]\n");
        return 2;
    }
    const int frames = argc > 2 ? std::atoi(argv[2]) : 0;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 2;
    LineClock clock(std::cerr.rdbuf());
    std::cerr.rdbuf(&clock);

    ElementArenaPool pool;
    MeshFileOptions options;
    const std::uint64_t size = MeshFileRegularSize(argv[1]);
    options.arraysReserved = [&pool, size, threads](int vertexCount, int faceCount) {
        if (threads > 1 && size != kUnknownFileSize &&
            Mesh::StorageWorthPreparing(vertexCount, faceCount, size)) {
            ElementArenaPoolPrepareAhead(pool, Mesh::StorageSizes(vertexCount, faceCount));
        }
    };
    MeshFileContent content;
    if (MeshFileRead(argv[1], options, &content) != MeshFileResult::kRead) {
        return 2;
    }
    Step("read", Now());
    theMesh = new Mesh();
    theMesh->buildThreads = threads;
    auto build = [&content, &pool] {
        ElementArenaPoolAdopt(&pool);
        theMesh->BuildTakingArrays(std::move(content.coordinates), std::move(content.indices),
                                   content.vertexCount, content.faceCount);
        ElementArenaPoolAdopt(nullptr);
    };
    // As the viewer does: with two threads the mesh is built while GLUT connects to the display.
    char* glutArgv[] = {argv[0], nullptr};
    int glutArgc = 1;
    const bool windowWhileBuilding = threads > 1 && MeshMemoryBoundByMachineOnly();
    if (threads > 1) {
        std::thread builder(build);
        glutInit(&glutArgc, glutArgv);
        if (windowWhileBuilding) {
            InitScene();
        }
        builder.join();
    } else {
        build();
    }
    // drawn as the viewer draws it
    theMeshDrawLists = new MeshDrawLists(*theMesh);
    const double built = Now();
    Step("report", clock.lastLineEnd);
    Step("built", built);
    if (threads <= 1) {
        glutInit(&glutArgc, glutArgv);
    }
    if (!windowWhileBuilding) {
        InitScene();
    }
    FitCamerasToMesh();
    Step("scene", Now());
    DisplayFunc();
    glFinish();
    Step("frame", Now());
    for (int i = 0; i < frames; ++i) {
        DisplayFunc();
        glFinish();
        Step("next", Now());
    }
    // The viewer never tears its window and mesh down either; leave without static destructors.
    std::fflush(stdout);
    std::_Exit(0);
}
