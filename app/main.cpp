#include <GL/freeglut.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "app/MeshFile.h"
#include "app/Scene.h"
#include "convert/MeshImport.h"
#include "mesh/ElementArena.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"

namespace {

// Exit status when no mesh could be loaded or shown: the message has said why.
constexpr int kExitNoMesh = 2;

[[noreturn]] void PrintUsageAndExit() {
    std::cerr << "I need the name of a ZEL model!!" << std::endl;
    std::cerr << "syntax: ZelViewer.exe -file <filename.zel>" << std::endl;
    std::exit(0);
}

// Once the mesh is built, memory that runs out anywhere (a standard container in a callback,
// GLUT) ends the run with one line instead of an uncaught exception. It writes without
// allocating and leaves at once, since nothing can be relied on to get memory any more.
void EndForMemory() {
    std::fputs("Error: not enough memory to go on\n", stderr);
    std::_Exit(kExitNoMesh);
}

void FinishMeshBuildOrExit();

// GLUT's own fatal errors (no display, no context the driver could make) as one error line and
// the status of a mesh that cannot be shown, instead of GLUT's exit status 1, which is Esc's.
void EndForGlutError(const char* format, va_list arguments) {
    FinishMeshBuildOrExit();
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::fprintf(stderr, "Error: %s\n", text);
    // at once: the X connection may hold an error whose default handler would end the process
    // with another status while exit runs
    std::_Exit(kExitNoMesh);
}

// The need for a mesh of these counts against what the process can have, beside what it holds:
// ends the run with one error line when it cannot fit, else gives what is left beside it for
// the driver's display lists.
std::uint64_t RefuseWhatCannotFit(const std::string& fileName, int vertexCount, int faceCount,
                                  MeshMemoryUse use, const MeshMemoryAmount& held) {
    const MeshMemoryAmount need = MeshMemoryNeed(vertexCount, faceCount, use, held);
    const MeshMemoryAmount ceiling = MeshMemoryCeilingOfProcess();
    if (!MeshMemoryFits(need, ceiling)) {
        std::cerr << "Error: \"" << fileName << "\": " << MeshMemoryShortfallText(need, ceiling)
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    return std::min(ceiling.resident - need.resident, ceiling.addressSpace - need.addressSpace);
}

// Whether a second core can take part of the start (an unknown count is taken as two).
bool SecondCore() {
    return std::thread::hardware_concurrency() != 1;
}

// Reads the mesh file, or ends the run with one error line: a file that cannot be read, or a
// mesh that needs more memory than the process can have (known from the header's counts before
// anything is read where the format has them, else once the data is read, before anything is
// built). The mesh's storage is mapped in pool once the arrays have room for the counts a header
// tells, and a second thread faults it in while the file is read and the elements are made.
// drawListBudget receives what is left beside the mesh for the driver's display lists.
void ReadMeshOrExit(const std::string& fileName, ElementArenaPool& pool, MeshFileContent* content,
                    std::uint64_t* drawListBudget) {
    const std::uint64_t size = MeshFileRegularSize(fileName.c_str());
    const std::uint64_t fileSize = size == kUnknownFileSize ? 0 : size;
    // Every format zelconvert reads, welded as its default conversion would be.
    MeshFileOptions options;
    options.countsRead = [&fileName](int vertexCount, int faceCount) {
        RefuseWhatCannotFit(fileName, vertexCount, faceCount, MeshMemoryUse::kView,
                            MeshMemoryHeld());
    };
    options.arraysReserved = [&pool, fileSize](int vertexCount, int faceCount) {
        if (pool.blocks.empty() && SecondCore() &&
            Mesh::StorageWorthPreparing(vertexCount, faceCount, fileSize)) {
            ElementArenaPoolPrepareAhead(pool, Mesh::StorageSizes(vertexCount, faceCount));
        }
    };
    std::string message;
    const MeshImportResult read = MeshImport(fileName, options, content, &message);
    if (read == MeshImportResult::kNotRecognised) {
        std::cerr << "Error: Do not recognize file type. File data should have ZEL header"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    if (read != MeshImportResult::kRead) {
        std::cerr << message << std::endl;
        std::exit(kExitNoMesh);
    }
    // The exact counts: a header's may have told polygons, not triangles, or none at all; storage
    // prepared for other counts goes back. The storage prepared is part of the need, so what it
    // holds already (all its address space, the pages faulted in so far) is not counted twice.
    if (!ElementArenaPoolHolds(pool,
                               Mesh::StorageSizes(content->vertexCount, content->faceCount))) {
        ElementArenaPoolRelease(pool);
    }
    const std::uint64_t faulted = pool.faultedBytes;
    MeshMemoryAmount held = MeshMemoryHeld();
    held.resident -= std::min<std::uint64_t>(held.resident, faulted);
    held.addressSpace -= std::min<std::uint64_t>(held.addressSpace, ElementArenaPoolBytes(pool));
    *drawListBudget = RefuseWhatCannotFit(fileName, content->vertexCount, content->faceCount,
                                          MeshMemoryUse::kViewArraysHeld, held);
    if (!content->warning.empty()) {
        std::cerr << MeshFileWarningLine(fileName, content->warning) << std::endl;
    }
}

// The mesh under construction, on a second thread while this one connects to the display, and
// the file it comes from.
struct MeshBuild {
    std::string fileName;
    Mesh* mesh = nullptr;
    std::thread thread;
};
MeshBuild theBuild;

// Waits for the mesh to be built, or ends the run with one error line when the memory for it
// could not be had. GLUT's fatal errors wait here too, so that their line follows the report as
// it would if the mesh were built before GLUT started.
void FinishMeshBuildOrExit() {
    if (theBuild.thread.joinable()) {
        theBuild.thread.join();
    }
    if (theBuild.mesh->outOfMemory) {
        std::cerr << "Error: \"" << theBuild.fileName << "\": not enough memory to build the mesh"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
}

// Starts building the mesh from the arrays read, on a second thread where one can be had, else
// on this one; the arrays are released as soon as the elements hold their content.
void StartMeshBuild(MeshFileContent& content, ElementArenaPool& pool) {
    theBuild.mesh = new (std::nothrow) Mesh();
    if (theBuild.mesh == nullptr) {
        std::cerr << "Error: \"" << theBuild.fileName << "\": not enough memory to build the mesh"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    // Both cores share matching and the geometry pass; the mesh comes out the same.
    theBuild.mesh->buildThreads = SecondCore() ? 2 : 1;
    auto build = [&content, &pool] {
        ElementArenaPoolAdopt(&pool);
        theBuild.mesh->BuildTakingArrays(std::move(content.coordinates), std::move(content.indices),
                                         content.vertexCount, content.faceCount);
        ElementArenaPoolAdopt(nullptr);
    };
    try {
        theBuild.thread = std::thread(build);
        return;
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    build();
}

}  // namespace

int main(int argc, char** argv) {
    // Viewer messages are progress reports; line buffering shows each one at once also when
    // standard output goes to a file or a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // The path is kept whole, however long; the last "-file" with a value wins.
    std::string fileName;
    bool nameGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-file") == 0) {
            if (i + 1 < argc) {
                ++i;
                fileName = argv[i];
                nameGiven = true;
            }
        } else {
            std::cerr << "Argument unknown: " << argv[i] << std::endl;
        }
    }
    if (!nameGiven) {
        PrintUsageAndExit();
    }

    theBuild.fileName = fileName;
    std::uint64_t drawListBudget = kPlatformNoLimit;
    // The reader reports memory it cannot have itself; the standard containers on the way (the
    // reader's messages, the stream, the pool's list) throw instead.
    std::unique_ptr<ElementArenaPool> pool;
    MeshFileContent content;
    try {
        pool = std::make_unique<ElementArenaPool>();
        ReadMeshOrExit(fileName, *pool, &content, &drawListBudget);
    } catch (const std::bad_alloc&) {
        std::cerr << "Error: \"" << fileName << "\": not enough memory to read the mesh"
                  << std::endl;
        std::exit(kExitNoMesh);
    }

    // The file is read and accepted: the mesh is built while GLUT connects to the display.
    StartMeshBuild(content, *pool);
    // GLUT sees only the program name, so none of its own options bypass the parsing above.
    char* glutArgv[] = {argv[0], nullptr};
    int glutArgc = 1;
    glutInitErrorFunc(EndForGlutError);
    glutInit(&glutArgc, glutArgv);
    // Without a memory limit of the process's own the window and its context are made meanwhile
    // too; under one they wait for the mesh, so that memory running out ends in the building
    // step's one line and never inside the driver.
    const bool windowWhileBuilding = MeshMemoryBoundByMachineOnly();
    if (windowWhileBuilding) {
        InitScene();
    }
    FinishMeshBuildOrExit();
    // blocks prepared for counts the file did not have go back
    pool.reset();
    theMesh = theBuild.mesh;
    // Lists that would not fit are not recorded: a control group's limit ends a process that
    // goes beyond it instead of refusing the memory, and Mesa may crash where it is refused.
    theMeshDrawLists = new (std::nothrow) MeshDrawLists(*theMesh);
    if (theMeshDrawLists != nullptr) {
        theMeshDrawLists->budget = drawListBudget;
    }
    std::set_new_handler(EndForMemory);

    if (!windowWhileBuilding) {
        InitScene();
    }
    FitCamerasToMesh();
    glutMainLoop();
    std::exit(0);
}
