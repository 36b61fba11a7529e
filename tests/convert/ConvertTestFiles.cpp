#include "tests/convert/ConvertTestFiles.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace {

// Binary files are written little-endian, as the host stores them.
template <typename T>
void AppendRaw(T value, std::string* bytes) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes->append(raw, sizeof(T));
}

const float* CubeCorner(const ZelMesh& cube, int v) {
    return &cube.coordinates[3 * static_cast<size_t>(v)];
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            group |= static_cast<uint8_t>(bytes[i + 2]);
        }
        text.push_back(kAlphabet[(group >> 18) & 63]);
        text.push_back(kAlphabet[(group >> 12) & 63]);
        text.push_back(i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=');
        text.push_back(i + 2 < bytes.size() ? kAlphabet[group & 63] : '=');
    }
    return text;
}

}  // namespace

ZelMesh CubeMesh() {
    ZelMesh cube;
    cube.coordinates = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
    cube.indices = {0, 3, 2, 0, 2, 1, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                    3, 7, 6, 3, 6, 2, 0, 4, 7, 0, 7, 3, 1, 2, 6, 1, 6, 5};
    return cube;
}

std::vector<int> CubeQuads() {
    return {0, 3, 2, 1, 4, 5, 6, 7, 0, 1, 5, 4, 3, 7, 6, 2, 0, 4, 7, 3, 1, 2, 6, 5};
}

std::string CubeBinaryStl() {
    const ZelMesh cube = CubeMesh();
    // the header must not begin with "solid", or it reads as ASCII
    std::string bytes(80, ' ');
    bytes.replace(0, 10, "binary stl");
    AppendRaw<uint32_t>(static_cast<uint32_t>(ZelMeshFaceCount(cube)), &bytes);
    for (int f = 0; f < ZelMeshFaceCount(cube); ++f) {
        for (int k = 0; k < 3; ++k) {
            AppendRaw<float>(0.0f, &bytes);
        }
        for (int c = 0; c < 3; ++c) {
            const float* p = CubeCorner(cube, cube.indices[3 * f + c]);
            for (int k = 0; k < 3; ++k) {
                AppendRaw<float>(p[k], &bytes);
            }
        }
        AppendRaw<uint16_t>(0, &bytes);
    }
    return bytes;
}

std::string CubeAsciiStl() {
    const ZelMesh cube = CubeMesh();
    std::ostringstream text;
    text << "solid cube\n";
    for (int f = 0; f < ZelMeshFaceCount(cube); ++f) {
        text << "facet normal 0 0 0\nouter loop\n";
        for (int c = 0; c < 3; ++c) {
            const float* p = CubeCorner(cube, cube.indices[3 * f + c]);
            text << "vertex " << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
        }
        text << "endloop\nendfacet\n";
    }
    text << "endsolid cube\n";
    return text.str();
}

std::string CubeObjWithSeams() {
    const ZelMesh cube = CubeMesh();
    const std::vector<int> quads = CubeQuads();
    std::ostringstream text;
    for (int v = 0; v < 8; ++v) {
        const float* p = CubeCorner(cube, v);
        text << "v " << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    }
    text << "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    text << "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n";
    for (int q = 0; q < 6; ++q) {
        text << 'f';
        for (int c = 0; c < 4; ++c) {
            text << ' ' << quads[4 * q + c] + 1 << '/' << c + 1 << '/' << q + 1;
        }
        text << '\n';
    }
    return text.str();
}

std::string CubeAsciiPly() {
    const ZelMesh cube = CubeMesh();
    const std::vector<int> quads = CubeQuads();
    std::ostringstream text;
    text << "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
            "property float z\nelement face 6\nproperty list uchar int vertex_indices\n"
            "end_header\n";
    for (int v = 0; v < 8; ++v) {
        const float* p = CubeCorner(cube, v);
        text << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    }
    for (int q = 0; q < 6; ++q) {
        text << "4 " << quads[4 * q] << ' ' << quads[4 * q + 1] << ' ' << quads[4 * q + 2] << ' '
             << quads[4 * q + 3] << '\n';
    }
    return text.str();
}

std::string CubeBinaryPly(bool bigEndian) {
    const ZelMesh cube = CubeMesh();
    const std::vector<int> quads = CubeQuads();
    std::string bytes = std::string("ply\nformat ") +
                        (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                        " 1.0\nelement vertex 8\nproperty float x\n"
                        "property float y\nproperty float z\nelement face 6\n"
                        "property list uchar int vertex_indices\nend_header\n";
    // each value's bytes, reversed for the other byte order
    const auto append = [&bytes, bigEndian](const void* value, size_t size) {
        const char* raw = static_cast<const char*>(value);
        for (size_t i = 0; i < size; ++i) {
            bytes += raw[bigEndian ? size - 1 - i : i];
        }
    };
    for (float coordinate : cube.coordinates) {
        append(&coordinate, sizeof coordinate);
    }
    for (int q = 0; q < 6; ++q) {
        const uint8_t four = 4;
        append(&four, 1);
        for (int c = 0; c < 4; ++c) {
            const int32_t corner = quads[4 * q + c];
            append(&corner, sizeof corner);
        }
    }
    return bytes;
}

std::string CubeOff() {
    const ZelMesh cube = CubeMesh();
    const std::vector<int> quads = CubeQuads();
    std::ostringstream text;
    text << "OFF\n8 6 0\n";
    for (int v = 0; v < 8; ++v) {
        const float* p = CubeCorner(cube, v);
        text << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
    }
    for (int q = 0; q < 6; ++q) {
        text << "4 " << quads[4 * q] << ' ' << quads[4 * q + 1] << ' ' << quads[4 * q + 2] << ' '
             << quads[4 * q + 3] << '\n';
    }
    return text.str();
}

std::string TwoMeshGltf() {
    return GltfWithNodes(
        R"([{"mesh": 0, "translation": [0, 0, 5]}, {"mesh": 1, "translation": [10, 0, 0]}])",
        "[0, 1]");
}

std::string GltfWithNodes(const std::string& nodes, const std::string& rootNodes) {
    // buffer: positions of mesh 0, positions of mesh 1, then the three shared corner numbers
    std::string buffer;
    for (float coordinate : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) {
        AppendRaw<float>(coordinate, &buffer);
    }
    for (float coordinate : {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 2.0f, 0.0f}) {
        AppendRaw<float>(coordinate, &buffer);
    }
    for (uint16_t corner : {0, 1, 2}) {
        AppendRaw<uint16_t>(corner, &buffer);
    }
    std::ostringstream text;
    text << R"({"asset": {"version": "2.0"},
"scene": 0,
"scenes": [{"nodes": )"
         << rootNodes << R"(}],
"nodes": )"
         << nodes << R"(,
"meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 2}]},
           {"primitives": [{"attributes": {"POSITION": 1}, "indices": 2}]}],
"accessors": [
  {"bufferView": 0, "byteOffset": 0, "componentType": 5126, "count": 3, "type": "VEC3",
   "min": [0, 0, 0], "max": [1, 1, 0]},
  {"bufferView": 0, "byteOffset": 36, "componentType": 5126, "count": 3, "type": "VEC3",
   "min": [0, 0, 0], "max": [0, 2, 2]},
  {"bufferView": 1, "byteOffset": 0, "componentType": 5123, "count": 3, "type": "SCALAR"}],
"bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 72},
                {"buffer": 0, "byteOffset": 72, "byteLength": 6}],
"buffers": [{"byteLength": )"
         << buffer.size() << R"(, "uri": "data:application/octet-stream;base64,)" << Base64(buffer)
         << R"("}]}
)";
    return text.str();
}

std::string TranslatedSquareCollada() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit meter="1" name="meter"/><up_axis>Y_UP</up_axis></asset>
  <library_geometries>
    <geometry id="square" name="square">
      <mesh>
        <source id="square-positions">
          <float_array id="square-positions-array" count="12">0 0 0 1 0 0 1 1 0 0 1 0</float_array>
          <technique_common>
            <accessor source="#square-positions-array" count="4" stride="3">
              <param name="X" type="float"/><param name="Y" type="float"/>
              <param name="Z" type="float"/>
            </accessor>
          </technique_common>
        </source>
        <vertices id="square-vertices">
          <input semantic="POSITION" source="#square-positions"/>
        </vertices>
        <polylist count="1">
          <input semantic="VERTEX" source="#square-vertices" offset="0"/>
          <vcount>4</vcount>
          <p>0 1 2 3</p>
        </polylist>
      </mesh>
    </geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="scene" name="scene">
      <node id="square-node" name="square-node">
        <matrix sid="transform">1 0 0 2 0 1 0 3 0 0 1 4 0 0 0 1</matrix>
        <instance_geometry url="#square"/>
      </node>
    </visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)";
}

double SignedVolume(const ZelMesh& mesh) {
    double volume = 0.0;
    for (int f = 0; f < ZelMeshFaceCount(mesh); ++f) {
        const float* a = &mesh.coordinates[3 * static_cast<size_t>(mesh.indices[3 * f])];
        const float* b = &mesh.coordinates[3 * static_cast<size_t>(mesh.indices[3 * f + 1])];
        const float* c = &mesh.coordinates[3 * static_cast<size_t>(mesh.indices[3 * f + 2])];
        volume += (a[0] * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                   a[1] * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                   a[2] * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                  6.0;
    }
    return volume;
}

int RunProgram(const std::vector<std::string>& arguments, std::string* standardError) {
    return RunProgram(arguments, nullptr, standardError);
}

int RunProgram(const std::vector<std::string>& arguments, std::string* standardOutput,
               std::string* standardError) {
    char errorPattern[] = "/tmp/zel-stderr-XXXXXX";
    char outputPattern[] = "/tmp/zel-stdout-XXXXXX";
    const int errorFd = ::mkstemp(errorPattern);
    const int outputFd = standardOutput != nullptr ? ::mkstemp(outputPattern) : -1;
    if (errorFd < 0 || (standardOutput != nullptr && outputFd < 0)) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errorFd, 2);
        if (outputFd >= 0) {
            ::dup2(outputFd, 1);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    const bool waited = child > 0 && ::waitpid(child, &status, 0) == child;
    ::close(errorFd);
    *standardError = ReadFileBytes(errorPattern);
    ::unlink(errorPattern);
    if (outputFd >= 0) {
        ::close(outputFd);
        *standardOutput = ReadFileBytes(outputPattern);
        ::unlink(outputPattern);
    }
    return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
