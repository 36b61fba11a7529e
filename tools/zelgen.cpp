// zelgen: writes ZEL meshes with known edge structure for the examples and the benchmarks.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/MeshGenerator.h"

namespace {

// Beyond this the file would run to gigabytes; nothing here needs that much.
constexpr long kMaxFaces = 50000000;

const char* const kUsage =
    "usage: zelgen torus|sphere|open|torus-open|torus-nonmanifold [--faces N] OUT.zel\n"
    "       zelgen defects OUT.zel\n"
    "  torus              closed torus, counter-clockwise seen from outside (default 2000 faces)\n"
    "  sphere             closed subdivided icosahedron (default 1280 faces)\n"
    "  open               wavy square grid with one rim (default 800 faces)\n"
    "  torus-open         torus with one strip of faces removed (default 1000000 faces)\n"
    "  torus-nonmanifold  torus with fins on every fourth ring of edges (default 1000000 faces)\n"
    "  defects            good, boundary, non-manifold, inconsistent and degenerate edges\n"
    "  --faces N          about N faces, rounded to what the shape's grid allows\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Reads a face count in 1 ... kMaxFaces; anything else is a bad argument.
bool ParseFaces(const char* text, long& faces) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > kMaxFaces) {
        return false;
    }
    faces = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 3) {
        return Usage();
    }
    std::string shape = argv[1];
    long faces = 0;
    const char* output = nullptr;
    for (int a = 2; a < argc; ++a) {
        if (std::strcmp(argv[a], "--faces") == 0) {
            if (a + 1 >= argc || !ParseFaces(argv[a + 1], faces)) {
                std::fprintf(stderr, "zelgen: --faces needs a whole number from 1 to %ld\n",
                             kMaxFaces);
                return Usage();
            }
            ++a;
        } else if (argv[a][0] == '-' && argv[a][1] != '\0') {
            std::fprintf(stderr, "zelgen: unknown option \"%s\"\n", argv[a]);
            return Usage();
        } else if (output != nullptr) {
            std::fprintf(stderr, "zelgen: more than one output file given\n");
            return Usage();
        } else {
            output = argv[a];
        }
    }
    if (output == nullptr) {
        std::fprintf(stderr, "zelgen: no output file given\n");
        return Usage();
    }

    ZelMesh mesh;
    if (shape == "torus" || shape == "torus-open" || shape == "torus-nonmanifold") {
        bool large = shape != "torus";
        TorusGrid grid = TorusGridForFaces(faces > 0 ? faces : large ? 1000000 : 2000);
        ZelMeshAddTorus(mesh, grid, shape == "torus-open");
        if (shape == "torus-nonmanifold") {
            ZelMeshAddTorusFins(mesh, grid);
        }
    } else if (shape == "sphere") {
        // The level whose face count 20 * 4^level lies nearest the request.
        long wanted = faces > 0 ? faces : 1280;
        auto facesAt = [](int level) { return 20L << (2 * level); };
        int levels = 0;
        while (facesAt(levels + 1) <= kMaxFaces &&
               std::labs(facesAt(levels + 1) - wanted) < std::labs(facesAt(levels) - wanted)) {
            ++levels;
        }
        ZelMeshAddSphere(mesh, levels);
    } else if (shape == "open") {
        ZelMeshAddOpenGrid(mesh, faces > 0 ? faces : 800);
    } else if (shape == "defects") {
        if (faces > 0) {
            std::fprintf(stderr, "zelgen: defects takes no --faces\n");
            return Usage();
        }
        ZelMeshAddDefects(mesh);
    } else {
        std::fprintf(stderr, "zelgen: unknown shape \"%s\"\n", shape.c_str());
        return Usage();
    }
    std::string message;
    if (!ZelMeshWrite(mesh, output, &message)) {
        std::fprintf(stderr, "zelgen: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
