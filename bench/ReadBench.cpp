// Reads one generated torus written as ZEL text, binary PLY, ASCII PLY, OBJ, OFF and binary STL
// through MeshFileRead into the mesh's arrays, the formats taking turns for several rounds, and
// prints each one's median time and speed as ratios to ZEL in the same run: how many times
// faster than ZEL the file is read, and how its bytes per second compare. The text formats write
// every number exactly as the ZEL writer does, so their bytes differ only by their syntax.
// usage: read_bench [FACES] [ROUNDS] [FOLDER]
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/MeshFile.h"
#include "app/ZelMesh.h"
#include "tools/MeshGenerator.h"

namespace {

struct Format {
    const char* name = nullptr;
    const char* file = nullptr;
    std::string path;
    std::uint64_t bytes = 0;
    std::vector<double> seconds;
};

void AppendNumber(float value, std::string* text) {
    char buffer[32];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    text->append(buffer, result.ptr);
}

void AppendNumber(int value, std::string* text) {
    char buffer[16];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text->append(buffer, result.ptr);
}

// The vertices and faces as text lines: each vertex's prefix and three numbers, each face's
// prefix and three corners plus base.
std::string TextLines(const ZelMesh& mesh, const char* vertexPrefix, const char* facePrefix,
                      int base) {
    std::string text;
    text.reserve(40 * mesh.coordinates.size() / 3 + 24 * mesh.indices.size() / 3);
    for (std::size_t i = 0; i < mesh.coordinates.size(); i += 3) {
        text += vertexPrefix;
        for (int k = 0; k < 3; ++k) {
            AppendNumber(mesh.coordinates[i + k], &text);
            text += k < 2 ? ' ' : '\n';
        }
    }
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        text += facePrefix;
        for (int k = 0; k < 3; ++k) {
            AppendNumber(mesh.indices[i + k] + base, &text);
            text += k < 2 ? ' ' : '\n';
        }
    }
    return text;
}

std::string PlyHeader(const char* encoding, const ZelMesh& mesh) {
    return std::string("ply\nformat ") + encoding + " 1.0\nelement vertex " +
           std::to_string(ZelMeshVertexCount(mesh)) +
           "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
           std::to_string(ZelMeshFaceCount(mesh)) +
           "\nproperty list uchar int vertex_indices\nend_header\n";
}

std::string BinaryPly(const ZelMesh& mesh) {
    std::string bytes = PlyHeader("binary_little_endian", mesh);
    bytes.append(reinterpret_cast<const char*>(mesh.coordinates.data()),
                 mesh.coordinates.size() * sizeof(float));
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        bytes += '\3';
        bytes.append(reinterpret_cast<const char*>(&mesh.indices[i]), 3 * sizeof(int));
    }
    return bytes;
}

std::string BinaryStl(const ZelMesh& mesh) {
    std::string bytes(80, ' ');
    const std::uint32_t count = static_cast<std::uint32_t>(ZelMeshFaceCount(mesh));
    bytes.append(reinterpret_cast<const char*>(&count), sizeof count);
    const float normal[3] = {0, 0, 0};
    const std::uint16_t attribute = 0;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        bytes.append(reinterpret_cast<const char*>(normal), sizeof normal);
        for (int k = 0; k < 3; ++k) {
            bytes.append(reinterpret_cast<const char*>(&mesh.coordinates[3 * mesh.indices[i + k]]),
                         3 * sizeof(float));
        }
        bytes.append(reinterpret_cast<const char*>(&attribute), sizeof attribute);
    }
    return bytes;
}

double ReadSeconds(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    MeshFileContent content;
    if (MeshFileRead(path.c_str(), MeshFileOptions(), &content) != MeshFileResult::kRead) {
        std::exit(1);
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(end - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long faces = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string folder =
        argc > 3 ? argv[3] : (std::filesystem::temp_directory_path() / "zel-read-bench").string();
    std::filesystem::create_directories(folder);

    ZelMesh mesh;
    ZelMeshAddTorus(mesh, TorusGridForFaces(faces), false);
    std::vector<Format> formats;
    for (const auto& [name, file] : {std::pair{"ZEL text", "torus.zel"},
                                     {"binary PLY", "torus.ply"},
                                     {"ASCII PLY", "ascii.ply"},
                                     {"OBJ", "torus.obj"},
                                     {"OFF", "torus.off"},
                                     {"binary STL", "torus.stl"}}) {
        formats.push_back(Format());
        formats.back().name = name;
        formats.back().file = file;
    }
    std::string zel = "ZEL\n" + std::to_string(ZelMeshVertexCount(mesh)) + " " +
                      std::to_string(ZelMeshFaceCount(mesh)) + "\n" + TextLines(mesh, "", "", 0);
    const std::string contents[] = {zel,
                                    BinaryPly(mesh),
                                    PlyHeader("ascii", mesh) + TextLines(mesh, "", "3 ", 0),
                                    TextLines(mesh, "v ", "f ", 1),
                                    "OFF\n" + std::to_string(ZelMeshVertexCount(mesh)) + " " +
                                        std::to_string(ZelMeshFaceCount(mesh)) + " 0\n" +
                                        TextLines(mesh, "", "3 ", 0),
                                    BinaryStl(mesh)};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        formats[i].path = folder + "/" + formats[i].file;
        std::ofstream(formats[i].path, std::ios::binary) << contents[i];
        formats[i].bytes = contents[i].size();
    }

    for (int round = 0; round < rounds; ++round) {
        for (Format& format : formats) {
            format.seconds.push_back(ReadSeconds(format.path));
        }
    }
    const double zelSeconds = Median(formats[0].seconds);
    const double zelSpeed = formats[0].bytes / zelSeconds;
    std::printf("%d faces, %d vertices, median of %d rounds\n", ZelMeshFaceCount(mesh),
                ZelMeshVertexCount(mesh), rounds);
    std::printf("| format | bytes | read | MB/s | ZEL time / time | MB/s / ZEL MB/s |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const Format& format : formats) {
        const double seconds = Median(format.seconds);
        std::printf("| %s | %llu | %.3f s | %.0f | %.2fx | %.2fx |\n", format.name,
                    static_cast<unsigned long long>(format.bytes), seconds,
                    format.bytes / seconds / 1e6, zelSeconds / seconds,
                    format.bytes / seconds / zelSpeed);
    }
    return 0;
}
