// The native readers through MeshFileRead: the same mesh in every format, the format chosen by
// content then extension, what each format allows, and what each refuses, in one line, the same
// whatever the block size.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/MeshFile.h"
#include "app/TokenCursor.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

namespace {

// A square made of a quad and a triangle beside it; as triangles 0 1 2, 0 2 3, 1 4 2:
//
//   3-----2
//   |     | .
//   |     |   4
//   0-----1 .
const std::vector<float> kCoordinates = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0.5f, 0.25f};
const std::vector<int> kTriangles = {0, 1, 2, 0, 2, 3, 1, 4, 2};

struct FileRead {
    MeshFileResult result = MeshFileResult::kRefused;
    std::string errors;
    std::vector<float> coordinates;
    std::vector<int> indices;
    std::string format;
    int polygons = 0;
    int dropped = 0;
    std::string warning;
};

FileRead ReadPath(const std::string& path, MeshWeld weld, std::size_t blockSize) {
    MeshFileOptions options;
    options.weld = weld;
    options.blockSize = blockSize;
    MeshFileContent content;
    std::ostringstream messages;
    FileRead read;
    read.result = MeshFileRead(path.c_str(), options, &content, messages);
    read.errors = messages.str();
    if (read.result == MeshFileResult::kRead) {
        read.coordinates.assign(content.coordinates.get(),
                                content.coordinates.get() + 3 * std::size_t(content.vertexCount));
        read.indices.assign(content.indices.get(),
                            content.indices.get() + 3 * std::size_t(content.faceCount));
        read.format = content.format;
        read.polygons = content.polygonsRead;
        read.dropped = content.droppedElements;
        read.warning = content.warning;
    }
    return read;
}

class MeshFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = directory_.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    // Reads the bytes as a file of that name, at three block sizes that must agree.
    FileRead Read(const std::string& name, const std::string& bytes,
                  MeshWeld weld = MeshWeld::kFormatDefault) {
        const std::string path = Write(name, bytes);
        const FileRead read = ReadPath(path, weld, kMeshReadBlockSize);
        for (std::size_t blockSize : {1, 7}) {
            const FileRead small = ReadPath(path, weld, blockSize);
            EXPECT_EQ(small.result, read.result) << name << " in blocks of " << blockSize;
            EXPECT_EQ(small.errors, read.errors) << name << " in blocks of " << blockSize;
            EXPECT_EQ(small.coordinates, read.coordinates) << name;
            EXPECT_EQ(small.indices, read.indices) << name;
            EXPECT_EQ(small.warning, read.warning) << name;
        }
        return read;
    }

    // Expects the one line "Error: "<path>" <problem>".
    void ExpectRefused(const std::string& name, const std::string& bytes,
                       const std::string& problem) {
        const FileRead read = Read(name, bytes);
        EXPECT_EQ(read.result, MeshFileResult::kRefused) << name;
        EXPECT_EQ(read.errors, "Error: \"" + directory_.File(name) + "\" " + problem + "\n");
    }

    void ExpectSquare(const std::string& name, const std::string& bytes, const char* format) {
        const FileRead read = Read(name, bytes);
        ASSERT_EQ(read.result, MeshFileResult::kRead) << name << ": " << read.errors;
        EXPECT_EQ(read.errors, "") << name;
        EXPECT_EQ(read.format, format);
        EXPECT_EQ(read.coordinates, kCoordinates) << name;
        EXPECT_EQ(read.indices, kTriangles) << name;
        EXPECT_EQ(read.warning, "") << name;
    }

    TempDirectory directory_;
};

template <typename T>
void Append(T value, bool bigEndian, std::string* bytes) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (bigEndian) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
        }
    }
    bytes->append(raw, sizeof(T));
}

// The square in binary PLY: x as double, a colour byte between the coordinates, a face list of
// ushort length and uint corners, and an edge element after the faces.
std::string SquarePly(bool bigEndian) {
    std::string bytes = std::string("ply\nformat ") +
                        (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                        " 1.0\ncomment made by hand\nelement vertex 5\nproperty double x\n"
                        "property uchar red\nproperty float y\nproperty int16 z\n"
                        "element face 2\nproperty list ushort uint vertex_indices\n"
                        "element edge 1\nproperty int vertex1\nproperty int vertex2\nend_header\n";
    for (int v = 0; v < 5; ++v) {
        Append<double>(kCoordinates[3 * v], bigEndian, &bytes);
        Append<uint8_t>(200, bigEndian, &bytes);
        Append<float>(kCoordinates[3 * v + 1], bigEndian, &bytes);
        Append<int16_t>(0, bigEndian, &bytes);
    }
    return bytes;
}

std::string SquarePlyFaces(std::string bytes, bool bigEndian) {
    Append<uint16_t>(4, bigEndian, &bytes);
    for (uint32_t corner : {0, 1, 2, 3}) {
        Append<uint32_t>(corner, bigEndian, &bytes);
    }
    Append<uint16_t>(3, bigEndian, &bytes);
    for (uint32_t corner : {1, 4, 2}) {
        Append<uint32_t>(corner, bigEndian, &bytes);
    }
    Append<int32_t>(0, bigEndian, &bytes);
    Append<int32_t>(4, bigEndian, &bytes);
    return bytes;
}

std::string BinaryStl(const std::vector<float>& coordinates, const std::vector<int>& triangles,
                      const std::string& header = "solid binary, as some writers begin") {
    std::string bytes = header;
    bytes.resize(80, ' ');
    Append<uint32_t>(static_cast<uint32_t>(triangles.size() / 3), false, &bytes);
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            Append<float>(0.0f, false, &bytes);
        }
        for (int c = 0; c < 3; ++c) {
            for (int k = 0; k < 3; ++k) {
                Append<float>(coordinates[3 * triangles[t + c] + k], false, &bytes);
            }
        }
        Append<uint16_t>(0, false, &bytes);
    }
    return bytes;
}

std::string AsciiStl(bool upperCase) {
    std::ostringstream text;
    text << (upperCase ? "SOLID block\r\n" : "solid square\n");
    for (std::size_t t = 0; t < kTriangles.size(); t += 3) {
        text << (upperCase ? "  FACET NORMAL 0 0 1\r\n    OUTER LOOP\r\n"
                           : "facet normal 0 0 1\nouter loop\n");
        for (int c = 0; c < 3; ++c) {
            const float* p = &kCoordinates[3 * kTriangles[t + c]];
            text << (upperCase ? "      VERTEX " : "vertex ") << p[0] << ' ' << p[1] << ' ' << p[2]
                 << (upperCase ? "\r\n" : "\n");
        }
        text << (upperCase ? "    ENDLOOP\r\n  ENDFACET\r\n" : "endloop\nendfacet\n");
    }
    text << (upperCase ? "ENDSOLID block" : "endsolid square\n");
    return text.str();
}

const char* const kSquareZel =
    "ZEL\n5 3\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0.5 0.25\n0 1 2\n0 2 3\n1 4 2\n";

}  // namespace

TEST_F(MeshFileTest, TheSameMeshReadsTheSameInEveryFormat) {
    ExpectSquare("square.zel", kSquareZel, "ZEL");
    ExpectSquare("square.off",
                 "# by hand\r\noff\r\n5 2 0\r\n0 0 0\r\n1 0 0\r\n1 1 0\r\n0 1 0\r\n"
                 "2 0.5 0.25 # the tip\r\n4 0 1 2 3 255 0 0\r\n3 1 4 2",
                 "OFF");
    ExpectSquare("square.ply",
                 "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
                 "property float z\nproperty uchar red\nelement face 2\n"
                 "property list uchar int vertex_indices\nend_header\n0 0 0 1\n1 0 0 2\n"
                 "1 1 0 3\n0 1 0 4\n2 0.5 0.25 5\n4 0 1 2 3\n3 1 4 2",
                 "PLY (ASCII)");
    std::string little = SquarePlyFaces(SquarePly(false), false);
    std::string big = SquarePlyFaces(SquarePly(true), true);
    // z is an int16 there: the tip's 0.25 becomes 0, so it is compared apart
    for (const auto& [name, bytes, format] :
         {std::tuple{"little.ply", little, "PLY (binary little-endian)"},
          std::tuple{"big.ply", big, "PLY (binary big-endian)"}}) {
        const FileRead read = Read(name, bytes);
        ASSERT_EQ(read.result, MeshFileResult::kRead) << read.errors;
        EXPECT_EQ(read.format, format);
        std::vector<float> flat = kCoordinates;
        flat[14] = 0.0f;
        EXPECT_EQ(read.coordinates, flat);
        EXPECT_EQ(read.indices, kTriangles);
        EXPECT_EQ(read.polygons, 2);
        EXPECT_EQ(read.dropped, 1);
    }
    ExpectSquare("square.obj",
                 "# a quad and a triangle\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
                 "g square\nf 1/1/1\t2/1/1 3//1 4\nv 2 0.5 0.25 1.0\nf -4 -1 -3\nl 1 3\n",
                 "Wavefront OBJ");
    // STL gives every facet its own corners; welding by position finds the five vertices
    ExpectSquare("square.stl", AsciiStl(false), "STL (ASCII)");
    ExpectSquare("block.stl", AsciiStl(true), "STL (ASCII)");
    ExpectSquare("binary.stl", BinaryStl(kCoordinates, kTriangles), "STL (binary)");
    const FileRead unwelded =
        Read("binary.stl", BinaryStl(kCoordinates, kTriangles), MeshWeld::kNoWeld);
    EXPECT_EQ(unwelded.coordinates.size(), 27u);
    EXPECT_EQ(unwelded.indices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(MeshFileTest, FormatIsChosenByContentThenByExtension) {
    ExpectSquare("ply-inside.zel",
                 "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\n"
                 "property float y\nproperty float z\nelement face 2\n"
                 "property list uchar int vertex_indices\nend_header\n"
                 "0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0.5 0.25\n4 0 1 2 3\n3 1 4 2\n",
                 "PLY (ASCII)");
    ExpectSquare("zel-inside.stl", kSquareZel, "ZEL");
    ExpectSquare("stl-inside.obj", BinaryStl(kCoordinates, kTriangles), "STL (binary)");
    ExpectSquare("off-inside.txt",
                 "# comment\n\nCOFF 5 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0.5 0.25\n4 0 1 2 3\n"
                 "3 1 4 2\n",
                 "OFF");
    ExpectSquare("upper.OBJ",
                 "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0.5 0.25\nf 1 2 3 4\nf 2 5 3",
                 "Wavefront OBJ");
    const FileRead other = Read("scene.gltf", "{\"asset\": {\"version\": \"2.0\"}}");
    EXPECT_EQ(other.result, MeshFileResult::kOtherFormat);
    EXPECT_EQ(other.errors, "");
    const FileRead empty = Read("empty.zel", "");
    EXPECT_EQ(empty.errors,
              "Error: Do not recognize file type. File data should have ZEL header\n");
}

TEST_F(MeshFileTest, DataAfterTheDeclaredElementsIsReadPastWithAWarning) {
    const FileRead off = Read("prim.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 2 1\n");
    ASSERT_EQ(off.result, MeshFileResult::kRead) << off.errors;
    EXPECT_EQ(off.indices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(off.warning,
              "line 7: holds more than the 1 faces its header declares; the rest is not read");

    const FileRead ascii = Read("extra.ply",
                                "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                                "property float y\nproperty float z\nend_header\n0 0 0\n1 0 0\n"
                                "0 1 0\n\n  junk\n");
    EXPECT_EQ(ascii.warning,
              "line 12: \"junk\" follows the last element its header declares; the rest is not "
              "read");

    const FileRead binary = Read("extra.ply", SquarePlyFaces(SquarePly(false), false) + "12345");
    ASSERT_EQ(binary.result, MeshFileResult::kRead) << binary.errors;
    EXPECT_EQ(binary.indices, kTriangles);
    EXPECT_EQ(binary.warning,
              "has 5 bytes after the last element its header declares; they are not read");

    const FileRead stl = Read("longer.stl", BinaryStl(kCoordinates, kTriangles, "binary") + "xy");
    ASSERT_EQ(stl.result, MeshFileResult::kRead) << stl.errors;
    EXPECT_EQ(stl.indices, kTriangles);
    EXPECT_EQ(stl.warning,
              "has 2 bytes after the 3 triangles its header declares; they are not read");
}

TEST_F(MeshFileTest, FilesWithoutFacesAreMeshesWithoutFaces) {
    const std::pair<const char*, std::string> files[] = {
        {"cloud.ply",
         "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\n"
         "property float y\nproperty float z\nend_header\n0 0 0\n1 2 3\n"},
        {"lines.obj", "v 0 0 0\nv 1 2 3\nl 1 2\n"},
        {"none.off", "OFF\n2 0 0\n0 0 0\n1 2 3\n"},
        {"empty.stl", "solid empty\nendsolid empty\n"},
        {"empty-binary.stl", BinaryStl({}, {}, "empty")},
    };
    for (const auto& [name, bytes] : files) {
        const FileRead read = Read(name, bytes);
        ASSERT_EQ(read.result, MeshFileResult::kRead) << name << ": " << read.errors;
        EXPECT_TRUE(read.indices.empty()) << name;
        const bool stl = std::string(name).find(".stl") != std::string::npos;
        EXPECT_EQ(read.coordinates,
                  stl ? std::vector<float>{} : std::vector<float>({0, 0, 0, 1, 2, 3}))
            << name;
    }
}

TEST_F(MeshFileTest, OffRefusals) {
    const std::string tetrahedron = "OFF\n4 3 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    ExpectRefused("a.off", "", "is empty");
    ExpectRefused("a.off", "# nothing\n", "holds no OFF header");
    ExpectRefused("a.off", "OFFX\n",
                  "line 1: the header word \"OFFX\" is not OFF, COFF, NOFF, "
                  "CNOFF, STOFF or STNOFF");
    ExpectRefused("a.off", "OFF BINARY\n1 0 0\n", "is a binary OFF file, which is not read");
    ExpectRefused("a.off", "OFF\n4 3", "ends before its vertex, face and edge counts");
    ExpectRefused("a.off", "OFF\n4 x 0\n", "line 2: \"x\" is not a vertex, face or edge count");
    ExpectRefused("a.off", "OFF\n4 3 0 9\n", "line 2: \"9\" follows the counts");
    ExpectRefused("a.off", "OFF\n100000001 1 0\n",
                  "vertex count 100000001 is too large (at most "
                  "100000000)");
    ExpectRefused("a.off", "OFF\n99999999 99999999 0\n0 0 0\n",
                  "holds 1 of the 99999999 vertices its header declares");
    ExpectRefused("a.off", "OFF\n2 0 0\n0 0\n1 1 1\n", "line 3: vertex 0 needs 3 numbers");
    ExpectRefused("a.off", "OFF\n1 0 0\n0 nan 0\n", "line 3: \"nan\" is not a finite number");
    ExpectRefused("a.off", "OFF\n1 0 0\n0 inf 0\n", "line 3: \"inf\" is not a finite number");
    ExpectRefused("a.off", "OFF\n1 0 0\n0 1e30 0\n",
                  "line 3: \"1e30\" is out of range (-1e9 to 1e9)");
    ExpectRefused("a.off", tetrahedron + "3 0 1 2\n3 0 2 3\n",
                  "holds 2 of the 3 faces its header declares");
    ExpectRefused("a.off", tetrahedron + "3 0 1 4\n",
                  "line 7: corner \"4\" is not a vertex number "
                  "(0 to 3)");
    ExpectRefused("a.off", tetrahedron + "3 0 1 -1\n",
                  "line 7: corner \"-1\" is not a vertex number (0 to 3)");
    ExpectRefused("a.off", tetrahedron + "5 0 1 2\n",
                  "line 7: \"5\" is not the corner count of the face on this line");
    ExpectRefused("a.off", tetrahedron + "3 0 1 2 red\n", "line 7: \"red\" is not a number");
    ExpectRefused("a.off", tetrahedron + "3 0 1 2\n4000000000 1\n",
                  "line 8: \"4000000000\" is not the corner count of the face on this line");
}

TEST_F(MeshFileTest, PlyRefusals) {
    const std::string header =
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
        "property float z\nelement face 3\nproperty list uchar int vertex_indices\nend_header\n";
    const std::string vertices = "0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    ExpectRefused("a.ply", "ply\nformat ascii 1.0\nelement vertex 1\n",
                  "has no \"end_header\" line");
    ExpectRefused("a.ply", "ply\nformat text 1.0\n", "line 2: unknown encoding \"text\"");
    ExpectRefused("a.ply", "ply\nformat ascii 1.0\nproperty float x\nend_header\n",
                  "line 3: a property before any element");
    ExpectRefused("a.ply",
                  "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
                  "property float y\nend_header\n0 0\n",
                  "the vertex element needs x, y and z properties of a number type");
    ExpectRefused("a.ply",
                  "ply\nformat ascii 1.0\nelement vertex 1\nproperty list float int x\n"
                  "end_header\n",
                  "line 4: a list's length type must be an integer type, not \"float\"");
    ExpectRefused("a.ply", header + vertices + "3 0 1 2\n3 0 2 3\n",
                  "holds 2 of the 3 \"face\" elements its header declares");
    ExpectRefused("a.ply", header + "0 0 0\n1 0.5x 0\n",
                  "line 11: \"0.5x\" is not a finite number of its property's type");
    ExpectRefused("a.ply", header + vertices + "3 0 1 2\n3 0 2 3\n3 0 3 4\n",
                  "line 16: face 2 has a corner that is not a vertex number (0 to 3)");
    ExpectRefused("a.ply", header + vertices + "3 0 1 2\n300 0 1 2\n",
                  "line 15: \"300\" is not a whole number of its property's type");
    ExpectRefused("a.ply", header + vertices + "3 0 1 2\n-1 0 1 2\n",
                  "line 15: \"-1\" is not a whole number of its property's type");

    std::string binary = SquarePlyFaces(SquarePly(false), false);
    ExpectRefused("a.ply", binary.substr(0, binary.size() - 9),
                  "holds 1 of the 2 \"face\" elements its header declares");
    ExpectRefused("a.ply", SquarePly(false).substr(0, SquarePly(false).size() - 3),
                  "holds 4 of the 5 \"vertex\" elements its header declares");
    // a list of four thousand million corners in a small file
    std::string huge = SquarePly(false);
    huge.replace(huge.find("ushort uint"), 11, "uint uint  ");
    Append<uint32_t>(0xffffffffu, false, &huge);
    Append<uint32_t>(0, false, &huge);
    ExpectRefused("a.ply", huge, "holds 0 of the 2 \"face\" elements its header declares");
    std::string nan = SquarePly(false);
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&nan[nan.size() - 15], &notANumber, sizeof notANumber);
    ExpectRefused("a.ply", SquarePlyFaces(nan, false),
                  "vertex 4 has a coordinate that is not a finite number");
    // x, y, z alone as floats, the layout read as one block
    for (const auto& [bad, problem] :
         {std::pair{std::numeric_limits<float>::infinity(), "that is not a finite number"},
          std::pair{2e9f, "out of range (-1e9 to 1e9)"}}) {
        std::string floats =
            "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
            "property float y\nproperty float z\nend_header\n";
        for (float value : {0.0f, 0.0f, 0.0f, 1.0f, bad, 0.0f, 0.0f, 1.0f, 0.0f}) {
            Append<float>(value, false, &floats);
        }
        ExpectRefused("a.ply", floats, std::string("vertex 1 has a coordinate ") + problem);
    }
    std::string corner = SquarePlyFaces(SquarePly(true), true);
    corner[corner.size() - 9] = 9;
    ExpectRefused("a.ply", corner, "face 1 has a corner that is not a vertex number (0 to 4)");
    ExpectRefused("a.ply",
                  "ply\nformat binary_little_endian 1.0\nelement vertex 200000000\n"
                  "property float x\nproperty float y\nproperty float z\nend_header\n",
                  "vertex count 200000000 is too large (at most 100000000)");
}

TEST_F(MeshFileTest, ObjRefusals) {
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    ExpectRefused("a.obj", "", "is empty");
    ExpectRefused("a.obj", triangle + "f 1 2 4\n",
                  "line 4: corner 4 is beyond the file's 3 vertices");
    ExpectRefused("a.obj", triangle + "f 1 2 x\n", "line 4: corner \"x\" is not a vertex number");
    ExpectRefused("a.obj", triangle + "f 1 2 0\n", "line 4: corner \"0\" is not a vertex number");
    ExpectRefused("a.obj", triangle + "f 1 2 -4\n", "line 4: corner \"-4\" is not a vertex number");
    ExpectRefused("a.obj", triangle + "f 1 2/x 3\n",
                  "line 4: corner \"2/x\" is not a vertex number");
    ExpectRefused("a.obj", "v 0 0 # two\n", "line 1: a vertex needs three coordinates");
    ExpectRefused("a.obj", "v 0 0 -inf\n", "line 1: \"-inf\" is not a finite number");
    ExpectRefused("a.obj", "\r\nv 0 0 1 w\r\n", "line 2: \"w\" is not a finite number");
}

TEST_F(MeshFileTest, StlRefusals) {
    const std::string facet =
        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
        " endloop\nendfacet\n";
    ExpectRefused("a.stl", "", "is empty");
    ExpectRefused("a.stl", "solid x\n" + facet, "ends before \"endsolid\"");
    ExpectRefused("a.stl", "solid x\n" + facet.substr(0, 60), "ends inside facet 0");
    ExpectRefused("a.stl", "solid x\n" + facet + "solid y\n",
                  "line 9: \"solid\" before \"endsolid\"");
    ExpectRefused("a.stl", "solid x\nfacet\nvertex 0 0 0\nendfacet\nendsolid\n",
                  "line 4: facet 0 has 1 vertices; STL facets are triangles");
    ExpectRefused("a.stl", "solid x\nfacet\nvertex 0 0 1e99\n",
                  "line 3: \"1e99\" is out of range (-1e9 to 1e9)");
    ExpectRefused("a.stl", "no solid", "is too short for a binary STL file");
    std::string binary = BinaryStl(kCoordinates, kTriangles, "binary");
    ExpectRefused("a.stl", binary.substr(0, binary.size() - 1),
                  "holds 2 of the 3 triangles its header declares");
    std::vector<float> infinite = kCoordinates;
    infinite[7] = std::numeric_limits<float>::infinity();
    ExpectRefused("a.stl", BinaryStl(infinite, kTriangles, "binary"),
                  "facet 0 has a vertex coordinate that is not a finite number");
}

TEST_F(MeshFileTest, LongTokensAreCutAndRefusedWithoutGrowingTheBuffer) {
    // ten million digits: read whole, they would take a buffer of 16 MiB
    std::istringstream stream(std::string(10000000, '1') + " 2");
    TokenCursor cursor;
    ASSERT_TRUE(TokenCursorStart(cursor, stream, 4096));
    std::string_view token;
    ASSERT_TRUE(NextToken(cursor, token));
    EXPECT_EQ(token.size(), kMaxTokenLength + 1);
    int value = 0;
    EXPECT_EQ(ParseInt(token, value), NumberStatus::kNotNumber);
    ASSERT_TRUE(NextToken(cursor, token));
    EXPECT_EQ(token, "2");
    EXPECT_LE(cursor.capacity, 4096u);

    ExpectRefused("a.off", "OFF\n1 0 0\n0 0 " + std::string(5000, '0') + "\n",
                  "line 3: \"" + std::string(40, '0') + "...\" is not a finite number");
    const std::string path = Write("long.zel", "ZEL 1 0 0 0 " + std::string(3000000, '0'));
    const FileRead zel = ReadPath(path, MeshWeld::kFormatDefault, kMeshReadBlockSize);
    EXPECT_EQ(zel.errors, "Error: \"" + path + "\": coordinate \"" + std::string(40, '0') +
                              "...\" of vertex 0 is not a number\n");
}

TEST_F(MeshFileTest, ShortFilesClaimingHugeCountsReserveOnlyWhatTheirSizeHolds) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer maps more than the limit set here";
#else
    const std::pair<const char*, std::string> files[] = {
        {"a.zel", "ZEL 100000000 100000000 0 0 0"},
        {"a.off", "OFF\n99999999 99999999 0\n0 0 0\n"},
        {"a.ply",
         "ply\nformat binary_little_endian 1.0\nelement vertex 100000000\n"
         "property float x\nproperty float y\nproperty float z\nelement face 100000000\n"
         "property list uchar int vertex_indices\nend_header\n"},
    };
    for (const auto& [name, bytes] : files) {
        const std::string path = Write(name, bytes);
        // a process that may map 512 MiB more than now: the arrays the headers claim would
        // take 2.4 GB, those a file of this size can hold a few bytes
        const pid_t child = fork();
        if (child == 0) {
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            std::FILE* status = std::fopen("/proc/self/statm", "r");
            unsigned long pages = 0;
            if (status == nullptr || std::fscanf(status, "%lu", &pages) != 1) {
                _exit(3);
            }
            std::fclose(status);
            limit.rlim_cur =
                pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + (512 << 20);
            setrlimit(RLIMIT_AS, &limit);
            const FileRead read = ReadPath(path, MeshWeld::kFormatDefault, kMeshReadBlockSize);
            _exit(read.errors.find("holds") != std::string::npos ||
                          read.errors.find("file ends before") != std::string::npos
                      ? 0
                      : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
    }
#endif
}
