// Writes the converter test corpus as files and records what ConvertImport makes of each, with and
// without welding: a message, or the summary counts and hashes of the corner and coordinate
// arrays. Run once, before the readers were replaced, to give the comparison test its table:
//   corpus_recorder tests/fuzz/corpus/polygon_soup tests/convert/corpus > recorded.tsv
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "convert/Converter.h"
#include "tests/convert/ConvertTestFiles.h"

namespace {

template <typename T>
void AppendRaw(T value, bool bigEndian, std::string* bytes) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (bigEndian) {
        for (size_t i = 0; i < sizeof(T) / 2; ++i) {
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
        }
    }
    bytes->append(raw, sizeof(T));
}

std::string SquareAndTrianglePly(bool bigEndian) {
    std::string bytes = std::string("ply\nformat ") +
                        (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                        " 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
                        "property double z\nelement face 2\n"
                        "property list uchar int vertex_indices\nend_header\n";
    const float xy[10] = {0, 0, 1, 0, 1, 1, 0, 1, 2, 0.5f};
    for (int v = 0; v < 5; ++v) {
        AppendRaw<float>(xy[2 * v], bigEndian, &bytes);
        AppendRaw<float>(xy[2 * v + 1], bigEndian, &bytes);
        AppendRaw<double>(0.25 * v, bigEndian, &bytes);
    }
    AppendRaw<uint8_t>(4, bigEndian, &bytes);
    for (int32_t corner : {0, 1, 2, 3}) {
        AppendRaw<int32_t>(corner, bigEndian, &bytes);
    }
    AppendRaw<uint8_t>(3, bigEndian, &bytes);
    for (int32_t corner : {1, 4, 2}) {
        AppendRaw<int32_t>(corner, bigEndian, &bytes);
    }
    return bytes;
}

uint64_t Fnv(const void* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h = (h ^ p[i]) * 1099511628211ull;
    }
    return h;
}

std::map<std::string, std::string> Corpus() {
    std::map<std::string, std::string> files;
    files["cube-binary.stl"] = CubeBinaryStl();
    files["cube-ascii.stl"] = CubeAsciiStl();
    files["cube-seams.obj"] = CubeObjWithSeams();
    files["cube-ascii.ply"] = CubeAsciiPly();
    files["cube-binary.ply"] = CubeBinaryPly();
    files["cube.off"] = CubeOff();
    files["two-meshes.gltf"] = TwoMeshGltf();
    files["square.dae"] = TranslatedSquareCollada();

    const std::string tetra = "OFF\n4 3 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    files["off-comments.off"] = tetra +
                                "# 3 facets\n# ------\n\n3 0 1 2\n3 0 2 3   # trailing comment\n"
                                "3 0 3 1\n";
    files["off-comment-first.off"] =
        "# written by hand\nOFF\n3 1 0\n0 0 0\n# mid block\n1 0 0\n0 1 0\n3 0 1 2\n";
    files["off-fan-points-lines.off"] =
        "OFF\n5 6 0\n0 0 0\n2 0 0\n3 1 0\n1 2 0\n-1 1 0\n"
        "5 0 1 2 3 4\n3 0 1 2\n3 0 1 2\n3 2 2 4\n2 0 1\n1 3\n";
    files["off-short-faces.off"] = tetra + "3 0 1 2\n3 0 2 3\n";
    files["off-short-vertices.off"] = "OFF\n4 1 0\n0 0 0\n1 0 0\n";
    files["off-abc.off"] = "OFF\n3 1 0\n0 0 0\n1 abc 0\n0 1 0\n3 0 1 2\n";
    files["off-0x.off"] = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0x\n3 0 1 2\n";
    files["off-corner-range.off"] = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n";
    files["off-corner-count.off"] = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n";
    files["off-extra-face.off"] = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 2 1\n";
    files["off-two-counts.off"] = "OFF\n3 1\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    files["off-empty.off"] = "";
    files["off-huge-counts.off"] = "OFF\n99999999 99999999 0\n";

    files["ply-binary-le-mixed.ply"] = SquareAndTrianglePly(false);
    files["ply-binary-be-mixed.ply"] = SquareAndTrianglePly(true);
    files["ply-ascii-crlf-edges.ply"] =
        "ply\r\nformat ascii 1.0\r\ncomment made by hand\r\nelement vertex 3\r\n"
        "property float x\r\nproperty float y\r\nproperty float z\r\n"
        "element face 1\r\nproperty list uchar uint vertex_indices\r\n"
        "element edge 2\r\nproperty int vertex1\r\nproperty int vertex2\r\nend_header\r\n"
        "0 0 0\r\n1 0 0\r\n0 1 0\r\n3 2 1 0\r\n0 1\r\n1 2\r\n";
    const std::string header =
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
        "property float z\nelement face 3\nproperty list uchar int vertex_indices\nend_header\n";
    const std::string vertices = "0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    files["ply-short-faces.ply"] = header + vertices + "3 0 1 2\n3 0 2 3\n";
    files["ply-extra-face.ply"] = header + vertices + "3 0 1 2\n3 0 2 3\n3 0 3 1\n3 1 2 3\n";
    files["ply-0.5x.ply"] = header + "0 0 0\n1 0.5x 0\n";
    files["ply-corner-range.ply"] = header + vertices + "3 0 1 2\n3 0 2 3\n3 0 3 4\n";
    files["ply-corner-1.5.ply"] = header + vertices + "3 0 1 2\n3 0 2 3\n3 0 1.5 3\n";
    std::string binary = SquareAndTrianglePly(false);
    binary.pop_back();
    files["ply-binary-short.ply"] = binary;
    std::string huge = SquareAndTrianglePly(false);
    huge.replace(huge.find("uchar int"), 9, "uint int ");
    huge.replace(huge.size() - 2 * 1 - 7 * 4, 1, std::string("\xff\xff\xff\xff", 4));
    files["ply-huge-list.ply"] = huge;
    files["ply-int-coordinates.ply"] =
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty int x\nproperty int y\n"
        "property int z\nend_header\n1 2 3\n";
    files["ply-property-first.ply"] = "ply\nformat ascii 1.0\nproperty float x\nend_header\n";
    files["ply-no-properties.ply"] =
        "ply\nformat ascii 1.0\nelement vertex 1000000000000\nend_header\n";
    files["ply-short-short.ply"] = header + vertices + "3 0 1 2\n3 0 2 3\n";
    files["ply-corner-7.ply"] =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n";
    std::string nan =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
        "property float y\nproperty float z\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n";
    const float coordinates[9] = {0, 0, 0, 1, 0, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0};
    nan.append(reinterpret_cast<const char*>(coordinates), sizeof coordinates);
    nan += '\3';
    for (int32_t corner : {0, 1, 2}) {
        AppendRaw<int32_t>(corner, false, &nan);
    }
    files["ply-nan.ply"] = nan;

    files["obj-tabs-slashes.obj"] =
        "# a quad and a triangle\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
        "g square\nf 1/1/1\t2/1/1\t3//1\t4\nv 2 0.5 0\nf -4 -1 -3\n";
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    files["obj-corner-4.obj"] = triangle + "f 1 2 4\n";
    files["obj-corner-x.obj"] = triangle + "f 1 2 x\n";
    files["obj-corner-minus-4.obj"] = triangle + "f 1 2 -4\n";
    files["obj-corner-1.5.obj"] = triangle + "f 1.5 2 3\n";
    files["obj-two-coordinates.obj"] = "v 0 0\n";
    files["obj-nan.obj"] = "v 0 0 nan\n";
    files["obj-points-lines.obj"] =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 3\np 4\nl 1 4\nl 2 4\n";
    files["obj-lines-only.obj"] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\n";
    files["obj-far.obj"] = "v 0 0 0\nv 2e9 0 0\nv 0 1 0\nf 1 2 3\n";

    const std::string facet =
        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
        " endloop\nendfacet\n";
    files["stl-two-facets.stl"] = "solid two\n" + facet + facet + "endsolid two\n";
    files["stl-no-endsolid.stl"] = "solid two\n" + facet + facet;
    files["stl-inside-facet.stl"] = "solid two\n" + facet.substr(0, 60);
    files["stl-four-vertices.stl"] =
        "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
        "vertex 0 1 0\nvertex 1 1 0\nendloop\nendfacet\nendsolid x\n";
    files["stl-0z.stl"] =
        "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
        "vertex 0 1 0z\nendloop\nendfacet\nendsolid x\n";
    std::string stl(80, ' ');
    AppendRaw<uint32_t>(2, false, &stl);
    for (int k = 0; k < 12; ++k) {
        AppendRaw<float>(k == 11 ? std::numeric_limits<float>::infinity() : 0.0f, false, &stl);
    }
    stl.append(2, '\0');
    files["stl-binary-short.stl"] = stl;
    stl.replace(80, 4, std::string("\1\0\0\0", 4));
    files["stl-binary-infinity.stl"] = stl;
    files["stl-noise.stl"] = "solid x\nthis is not stl\n";
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: corpus_recorder FUZZ_CORPUS_DIR OUTPUT_DIR\n";
        return 2;
    }
    std::map<std::string, std::string> files = Corpus();
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        // a fuzz input's first byte picks the format, as the fuzz target takes it
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        const char* extensions[] = {".off", ".ply", ".obj", ".stl"};
        if (!bytes.empty()) {
            files["fuzz-" + entry.path().stem().string() +
                  extensions[static_cast<unsigned char>(bytes[0]) % 4]] = bytes.substr(1);
        }
    }
    const std::string dir = argv[2];
    std::cout << "# file\tweld\tresult\n";
    for (const auto& [name, bytes] : files) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        for (bool weld : {true, false}) {
            ZelMesh mesh;
            ConvertSummary summary;
            std::string message;
            std::cout << name << '\t' << (weld ? "weld" : "no-weld") << '\t';
            if (!ConvertImport(path, weld, &mesh, &summary, &message)) {
                const std::string quoted = '"' + path + '"';
                const size_t at = message.find(quoted);
                if (at != std::string::npos) {
                    message.replace(at, quoted.size(), "\"FILE\"");
                }
                std::cout << "error\t" << message << '\n';
                continue;
            }
            std::string problem;
            const bool writable = ZelMeshCheck(mesh, &problem);
            std::cout << "ok\t" << summary.format << '\t' << summary.polygonsRead << '\t'
                      << summary.trianglesWritten << '\t' << summary.droppedElements << '\t'
                      << summary.verticesBefore << '\t' << summary.verticesAfter << '\t' << std::hex
                      << Fnv(mesh.indices.data(), mesh.indices.size() * sizeof(int)) << '\t'
                      << Fnv(mesh.coordinates.data(), mesh.coordinates.size() * sizeof(float))
                      << std::dec << '\t' << (writable ? "writable" : problem) << '\n';
        }
    }
    return 0;
}
