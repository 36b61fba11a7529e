// Prints what the memory estimate gives: the viewer's and zelcheck's need for a mesh of the given
// counts, and the largest torus-like mesh (half as many vertices as faces) whose viewer need fits
// a number of bytes, found by bisection on the face count.
//
// usage: memory_need VERTICES FACES [BYTES]
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mesh/MeshMemory.h"

namespace {

void PrintNeed(const char* name, const MeshMemoryAmount& need) {
    std::printf("%s resident %.3f GB, address space %.3f GB\n", name, need.resident / 1e9,
                need.addressSpace / 1e9);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: memory_need VERTICES FACES [BYTES]\n");
        return 2;
    }
    const int vertices = std::atoi(argv[1]);
    const int faces = std::atoi(argv[2]);
    // what a process holds before it reads a mesh: the viewer's measured resident start
    const MeshMemoryAmount held{6000000, 14000000};
    PrintNeed("viewer", MeshMemoryNeed(vertices, faces, MeshMemoryUse::kView, held));
    std::printf("viewer display list %.3f GB\n", MeshMemoryDrawListNeed(faces, true) / 1e9);
    PrintNeed("zelcheck", MeshMemoryNeed(vertices, faces, MeshMemoryUse::kCheck, held));
    if (argc < 4) {
        return 0;
    }
    const std::uint64_t budget = std::strtoull(argv[3], nullptr, 10);
    int low = 0;
    int high = 1 << 30;
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        const MeshMemoryAmount need =
            MeshMemoryNeed(middle / 2, middle, MeshMemoryUse::kView, held);
        (need.resident <= budget ? low : high) = middle;
    }
    std::printf("largest viewer mesh in %.3f GB: %d faces, %d vertices\n", budget / 1e9, low,
                low / 2);
    return 0;
}
