#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "app/MeshFile.h"
#include "mesh/ElementArena.h"

class Mesh;

// Exit status when no mesh could be loaded or shown: the message has said why.
constexpr int kMeshLoadExitStatus = 2;

// The viewer's mesh on its way from the file: read, then built on a second thread while the
// main thread connects to the display.
struct MeshLoad {
    std::string fileName;
    // Storage mapped ahead for the counts a header tells, faulted in by a second thread.
    std::unique_ptr<ElementArenaPool> pool;
    // The arrays read, until the build takes them over.
    MeshFileContent content;
    // What is left beside the mesh for the driver's display lists.
    std::uint64_t drawListBudget = 0;
    Mesh* mesh = nullptr;
    std::thread thread;
};

// Reads the file into load, or ends the run with one error line: a file that cannot be read, or
// a mesh that needs more memory than the process can have (known from the header's counts before
// anything is read where the format has them, else once the data is read, before anything is
// built). A warning about data left unread is printed.
void MeshLoadRead(MeshLoad* load);

// Starts building the mesh from the arrays read, on a second thread where one can be had, else
// on this one; the arrays are released as soon as the elements hold their content.
void MeshLoadStartBuild(MeshLoad* load);

// Waits for the mesh to be built and returns it, or ends the run with one error line when the
// memory for it could not be had. The storage prepared ahead goes back.
Mesh* MeshLoadFinishOrExit(MeshLoad* load);
