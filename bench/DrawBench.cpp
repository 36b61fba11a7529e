// Per-frame time of drawing from display lists (MeshDrawLists) against the plain immediate-mode
// stream (Mesh::Draw), side by side in one run, on the viewer's own window, lights and camera (512
// x 512). usage: draw_bench FILE.zel [benchmark flags]   (needs an X server in DISPLAY)
#include <GL/glut.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "app/MeshReader.h"
#include "app/Scene.h"
#include "mesh/Mesh.h"
#include "mesh/MeshDrawLists.h"

namespace {

// Smooth shading uses the vertex normals, flat shading the face normals.
void SetShading(const benchmark::State& state) {
    glShadeModel(state.range(0) == 0 ? GL_SMOOTH : GL_FLAT);
}

// One frame as DisplayFunc draws it, with the mesh drawn by the given operation, finished.
template <typename DrawCall>
void Frame(DrawCall draw) {
    theViewer.BeginFrame();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    draw();
    glPopMatrix();
    glFinish();
}

void BM_DrawImmediate(benchmark::State& state) {
    SetShading(state);
    for (auto _ : state) {
        Frame([] { theMesh->Draw(); });
    }
}

void BM_DrawWithDisplayList(benchmark::State& state) {
    SetShading(state);
    // Recording happens in the first frames of a choice; time the frames after it.
    for (int i = 0; i < 3; ++i) {
        Frame([] { theMeshDrawLists->Draw(); });
    }
    for (auto _ : state) {
        Frame([] { theMeshDrawLists->Draw(); });
    }
}

BENCHMARK(BM_DrawImmediate)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWithDisplayList)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw_bench FILE.zel [benchmark flags]\n");
        return 2;
    }
    ZelMesh data;
    if (!ZelMeshRead(argv[1], &data)) {
        return 2;
    }
    // The edge report is not what is measured here.
    std::ostringstream report;
    std::streambuf* const standardError = std::cerr.rdbuf(report.rdbuf());
    theMesh = new Mesh(data.coordinates.data(), data.indices.data(), ZelMeshVertexCount(data),
                       ZelMeshFaceCount(data));
    std::cerr.rdbuf(standardError);
    theMeshDrawLists = new MeshDrawLists(*theMesh);

    char* glutArgv[] = {argv[0], nullptr};
    int glutArgc = 1;
    glutInit(&glutArgc, glutArgv);
    InitScene();
    FitCamerasToMesh();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Like the viewer, leave without tearing the window and the mesh down.
    std::fflush(stdout);
    std::_Exit(0);
}
