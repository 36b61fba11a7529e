#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "app/MeshLoad.h"
#include "app/Scene.h"
#include "mesh/MeshDrawLists.h"
#include "mesh/MeshMemory.h"

namespace {

// The mesh being loaded; GLUT's fatal errors wait for its build.
MeshLoad theLoad;

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
    std::_Exit(kMeshLoadExitStatus);
}

// GLUT's own fatal errors (no display, no context the driver could make) as one error line and
// the status of a mesh that cannot be shown, instead of GLUT's exit status 1, which is Esc's.
void EndForGlutError(const char* format, va_list arguments) {
    MeshLoadFinishOrExit(&theLoad);
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::fprintf(stderr, "Error: %s\n", text);
    // at once: the X connection may hold an error whose default handler would end the process
    // with another status while exit runs
    std::_Exit(kMeshLoadExitStatus);
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

    theLoad.fileName = fileName;
    MeshLoadRead(&theLoad);
    // The file is read and accepted: the mesh is built while GLUT connects to the display.
    MeshLoadStartBuild(&theLoad);

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
    theMesh = MeshLoadFinishOrExit(&theLoad);
    // Lists that would not fit are not recorded: a control group's limit ends a process that
    // goes beyond it instead of refusing the memory, and Mesa may crash where it is refused.
    theMeshDrawLists = new (std::nothrow) MeshDrawLists(*theMesh);
    if (theMeshDrawLists != nullptr) {
        theMeshDrawLists->budget = theLoad.drawListBudget;
    }
    std::set_new_handler(EndForMemory);

    if (!windowWhileBuilding) {
        InitScene();
    }
    FitCamerasToMesh();
    glutMainLoop();
    std::exit(0);
}
