// Writes a ZEL file as binary little-endian PLY, so that the peer viewer can be timed on exactly
// the mesh zelviewer opens: the same float coordinates, the same faces in the same order.
// usage: zel_to_ply IN.zel OUT.ply
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/MeshReader.h"

namespace {

// One face record: the corner count, then three 32-bit corners, packed as PLY stores them.
constexpr std::size_t kFaceRecordBytes = 1 + 3 * sizeof(std::int32_t);

bool WritePly(const char* path, const float* coordinates, const int* indices, int vertexCount,
              int faceCount) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "zel_to_ply: cannot create \"%s\"\n", path);
        return false;
    }
    std::fprintf(file,
                 "ply\nformat binary_little_endian 1.0\n"
                 "element vertex %d\nproperty float x\nproperty float y\nproperty float z\n"
                 "element face %d\nproperty list uchar int vertex_indices\nend_header\n",
                 vertexCount, faceCount);
    bool written = std::fwrite(coordinates, sizeof(float), 3 * std::size_t(vertexCount), file) ==
                   3 * std::size_t(vertexCount);
    // Faces go out in chunks, each face packed into its 13 bytes.
    constexpr int kChunkFaces = 65536;
    std::vector<unsigned char> chunk(kChunkFaces * kFaceRecordBytes);
    for (int first = 0; written && first < faceCount; first += kChunkFaces) {
        int count = faceCount - first < kChunkFaces ? faceCount - first : kChunkFaces;
        unsigned char* out = chunk.data();
        for (int f = first; f < first + count; ++f) {
            *out++ = 3;
            std::memcpy(out, indices + 3 * std::size_t(f), 3 * sizeof(std::int32_t));
            out += 3 * sizeof(std::int32_t);
        }
        std::size_t bytes = static_cast<std::size_t>(out - chunk.data());
        written = std::fwrite(chunk.data(), 1, bytes, file) == bytes;
    }
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "zel_to_ply: could not write \"%s\"\n", path);
        std::remove(path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zel_to_ply IN.zel OUT.ply\n");
        return 2;
    }
    float* coordinates = nullptr;
    int* indices = nullptr;
    int vertexCount = 0;
    int faceCount = 0;
    if (!ReadMeshFile(argv[1], &coordinates, &indices, &vertexCount, &faceCount)) {
        return 1;
    }
    std::unique_ptr<float[]> coordinateArray(coordinates);
    std::unique_ptr<int[]> indexArray(indices);
    return WritePly(argv[2], coordinates, indices, vertexCount, faceCount) ? 0 : 1;
}
