// Feeds arbitrary bytes to the ZEL reader, once whole and once in small blocks that must read the
// same; whatever it accepts is built into a Mesh, which runs edge matching and the geometry pass,
// and then checked for values no user should ever see.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "app/MeshReader.h"
#include "mesh/Mesh.h"
#include "tests/fuzz/FuzzFile.h"

namespace {

// Big inputs only slow the search down; the reader's limits are tested elsewhere.
constexpr size_t kMaxInput = 1 << 16;

bool Finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The mesh reports on std::cerr; the fuzzer needs none of it.
    std::cerr.setstate(std::ios::failbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) {
        return -1;
    }
    FuzzFile file(data, size);
    if (file.Path().empty()) {
        return 0;
    }
    float* coordinates = nullptr;
    int* indices = nullptr;
    int vertexCount = -7;
    int faceCount = -7;
    std::ostringstream messages;
    bool read = ReadMeshFile(file.Path().c_str(), &coordinates, &indices, &vertexCount, &faceCount,
                             messages);

    // Blocks of 1 to 16 bytes end inside nearly every token; the outcome must not change.
    float* blockCoordinates = nullptr;
    int* blockIndices = nullptr;
    int blockVertexCount = -7;
    int blockFaceCount = -7;
    std::ostringstream blockMessages;
    bool blockRead = ReadMeshFile(file.Path().c_str(), &blockCoordinates, &blockIndices,
                                  &blockVertexCount, &blockFaceCount, blockMessages, 1 + size % 16);
    if (blockRead != read || blockMessages.str() != messages.str() ||
        blockVertexCount != vertexCount || blockFaceCount != faceCount ||
        (read && (std::memcmp(blockCoordinates, coordinates, 12 * size_t(vertexCount)) != 0 ||
                  std::memcmp(blockIndices, indices, 12 * size_t(faceCount)) != 0))) {
        std::abort();
    }
    delete[] blockCoordinates;
    delete[] blockIndices;

    if (!read) {
        // A refused file hands nothing out.
        if (coordinates != nullptr || indices != nullptr || vertexCount != -7 || faceCount != -7) {
            std::abort();
        }
        return 0;
    }
    if (vertexCount > 20000 || faceCount > 20000) {
        delete[] coordinates;
        delete[] indices;
        return 0;
    }
    {
        Mesh mesh(coordinates, indices, vertexCount, faceCount);
        if (vertexCount > 0 && (!Finite(mesh.centroid) || !std::isfinite(mesh.radius))) {
            std::abort();
        }
        for (MeshVertex* vertex : mesh.vertices) {
            if (!Finite(vertex->normal)) {
                std::abort();
            }
        }
        for (Face* face : mesh.faces) {
            if (!Finite(face->normal)) {
                std::abort();
            }
        }
    }
    delete[] coordinates;
    delete[] indices;
    return 0;
}
