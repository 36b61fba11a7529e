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
#include <utility>

#include "app/MeshFile.h"
#include "app/Scene.h"
#include "convert/MeshImport.h"
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

// GLUT's own fatal errors (no display, no context the driver could make) as one error line and
// the status of a mesh that cannot be shown, instead of GLUT's exit status 1, which is Esc's.
void EndForGlutError(const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::fprintf(stderr, "Error: %s\n", text);
    // at once: the X connection may hold an error whose default handler would end the process
    // with another status while exit runs
    std::_Exit(kExitNoMesh);
}

// The need for a mesh of these counts against what the process can have: ends the run with one
// error line when it cannot fit, else gives what is left beside it for the driver's display
// lists.
std::uint64_t RefuseWhatCannotFit(const std::string& fileName, int vertexCount, int faceCount,
                                  MeshMemoryUse use) {
    const MeshMemoryAmount need = MeshMemoryNeed(vertexCount, faceCount, use, MeshMemoryHeld());
    const MeshMemoryAmount ceiling = MeshMemoryCeilingOfProcess();
    if (!MeshMemoryFits(need, ceiling)) {
        std::cerr << "Error: \"" << fileName << "\": " << MeshMemoryShortfallText(need, ceiling)
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    return std::min(ceiling.resident - need.resident, ceiling.addressSpace - need.addressSpace);
}

// Reads and builds the mesh, or ends the run with one error line: a file that cannot be read, a
// mesh that needs more memory than the process can have (known from the header's counts before
// anything is read where the format has them, else once the data is read, before anything is
// built), or memory that runs out on the way. drawListBudget receives what is left beside it for
// the driver's display lists.
Mesh* LoadMeshOrExit(const std::string& fileName, std::uint64_t* drawListBudget) {
    // Every format zelconvert reads, welded as its default conversion would be.
    MeshFileOptions options;
    options.countsRead = [&fileName](int vertexCount, int faceCount) {
        RefuseWhatCannotFit(fileName, vertexCount, faceCount, MeshMemoryUse::kView);
    };
    MeshFileContent content;
    std::string message;
    const MeshImportResult read = MeshImport(fileName, options, &content, &message);
    if (read == MeshImportResult::kNotRecognised) {
        std::cerr << "Error: Do not recognize file type. File data should have ZEL header"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    if (read != MeshImportResult::kRead) {
        std::cerr << message << std::endl;
        std::exit(kExitNoMesh);
    }
    // The exact counts: a header's may have told polygons, not triangles, or none at all.
    *drawListBudget = RefuseWhatCannotFit(fileName, content.vertexCount, content.faceCount,
                                          MeshMemoryUse::kViewArraysHeld);
    if (!content.warning.empty()) {
        std::cerr << MeshFileWarningLine(fileName, content.warning) << std::endl;
    }
    Mesh* mesh = new (std::nothrow) Mesh();
    if (mesh != nullptr) {
        // The mesh releases the arrays as soon as its elements hold their content.
        mesh->BuildTakingArrays(std::move(content.coordinates), std::move(content.indices),
                                content.vertexCount, content.faceCount);
    }
    if (mesh == nullptr || mesh->outOfMemory) {
        std::cerr << "Error: \"" << fileName << "\": not enough memory to build the mesh"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    return mesh;
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

    std::uint64_t drawListBudget = kPlatformNoLimit;
    // The reader and the mesh report memory they cannot have themselves; the standard
    // containers on the way (the reader's messages, the stream) throw instead.
    try {
        theMesh = LoadMeshOrExit(fileName, &drawListBudget);
    } catch (const std::bad_alloc&) {
        std::cerr << "Error: \"" << fileName << "\": not enough memory to read the mesh"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    // Lists that would not fit are not recorded: a control group's limit ends a process that
    // goes beyond it instead of refusing the memory, and Mesa may crash where it is refused.
    theMeshDrawLists = new (std::nothrow) MeshDrawLists(*theMesh);
    if (theMeshDrawLists != nullptr) {
        theMeshDrawLists->budget = drawListBudget;
    }
    std::set_new_handler(EndForMemory);

    // GLUT sees only the program name, so none of its own options bypass the parsing above.
    char* glutArgv[] = {argv[0], nullptr};
    int glutArgc = 1;
    glutInitErrorFunc(EndForGlutError);
    glutInit(&glutArgc, glutArgv);

    InitScene();
    FitCamerasToMesh();
    glutMainLoop();
    std::exit(0);
}
