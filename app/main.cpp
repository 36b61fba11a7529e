#include <GL/glut.h>

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

namespace {

// Exit status when no mesh could be loaded: the reader has said why, and there is nothing to show.
constexpr int kExitNoMesh = 2;

[[noreturn]] void PrintUsageAndExit() {
    std::cerr << "I need the name of a ZEL model!!" << std::endl;
    std::cerr << "syntax: ZelViewer.exe -file <filename.zel>" << std::endl;
    std::exit(0);
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

    // Every format zelconvert reads, welded as its default conversion would be.
    MeshFileContent content;
    std::string message;
    const MeshImportResult read = MeshImport(fileName, MeshFileOptions(), &content, &message);
    if (read == MeshImportResult::kNotRecognised) {
        std::cerr << "Error: Do not recognize file type. File data should have ZEL header"
                  << std::endl;
        std::exit(kExitNoMesh);
    }
    if (read != MeshImportResult::kRead) {
        std::cerr << message << std::endl;
        std::exit(kExitNoMesh);
    }
    if (!content.warning.empty()) {
        std::cerr << MeshFileWarningLine(fileName, content.warning) << std::endl;
    }
    theMesh = new (std::nothrow) Mesh();
    if (theMesh == nullptr) {
        std::cerr << "Error: not enough memory to build the mesh" << std::endl;
        std::exit(kExitNoMesh);
    }
    // The mesh releases the arrays as soon as its elements hold their content.
    theMesh->BuildTakingArrays(std::move(content.coordinates), std::move(content.indices),
                               content.vertexCount, content.faceCount);

    // GLUT sees only the program name, so none of its own options bypass the parsing above.
    char* glutArgv[] = {argv[0], nullptr};
    int glutArgc = 1;
    glutInit(&glutArgc, glutArgv);

    InitScene();
    FitCamerasToMesh();
    glutMainLoop();
    std::exit(0);
}
