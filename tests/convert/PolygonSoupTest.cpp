// The OFF, PLY, OBJ and STL readers on small hand-written files: every polygon kept, nothing
// invented, and broken files refused with what is wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "convert/PolygonSoup.h"

namespace {

struct SoupRead {
    bool ok = false;
    PolygonSoup soup;
    std::string problem;
};

SoupRead ReadSoup(const std::string& bytes, PolygonSoupFormat format) {
    SoupRead read;
    read.ok = PolygonSoupRead(bytes, format, &read.soup, &read.problem);
    return read;
}

// The soup's triangles, three corners each.
std::vector<int> Triangles(const PolygonSoup& soup) {
    ZelMesh mesh;
    PolygonSoupTriangulate(soup, &mesh);
    return mesh.indices;
}

void ExpectRefused(const std::string& bytes, PolygonSoupFormat format, const std::string& words) {
    const SoupRead read = ReadSoup(bytes, format);
    EXPECT_FALSE(read.ok) << "accepted, expected: " << words;
    EXPECT_NE(read.problem.find(words), std::string::npos) << read.problem;
    EXPECT_EQ(read.problem.find('\n'), std::string::npos) << read.problem;
    EXPECT_TRUE(read.soup.coordinates.empty() && read.soup.polygonSizes.empty());
}

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

// The square 0 1 2 3 as one quad and a triangle 1 4 2 next to it, binary PLY:
//
//   3-----2
//   |     | .
//   |     |   4
//   0-----1 .
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

const char* const kTetrahedronOff =
    "OFF\n"
    "4 3 0\n"
    "0 0 0\n"
    "1 0 0\n"
    "0 1 0\n"
    "0 0 1\n";

}  // namespace

TEST(PolygonSoupOff, CommentLinesBetweenAndInsideBlocksLoseNoFace) {
    const SoupRead read = ReadSoup(std::string(kTetrahedronOff) +
                                       "# 3 facets\n"
                                       "# ------\n"
                                       "\n"
                                       "3 0 1 2\n"
                                       "3 0 2 3   # trailing comment\n"
                                       "3 0 3 1\n",
                                   PolygonSoupFormat::Off);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(Triangles(read.soup), (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 1}));

    const SoupRead inside = ReadSoup(
        "# written by hand\nOFF\n3 1 0\n0 0 0\n# mid block\n1 0 0\n"
        "0 1 0\n3 0 1 2\n",
        PolygonSoupFormat::Off);
    ASSERT_TRUE(inside.ok) << inside.problem;
    EXPECT_EQ(inside.soup.coordinates, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
}

TEST(PolygonSoupOff, PolygonsAreFannedDegenerateAndRepeatedFacesKeptPointsAndLinesDropped) {
    // a pentagon, the same triangle twice, a triangle with one corner twice, a line and a point
    const SoupRead read = ReadSoup(
        "OFF\n5 6 0\n0 0 0\n2 0 0\n3 1 0\n1 2 0\n-1 1 0\n"
        "5 0 1 2 3 4\n3 0 1 2\n3 0 1 2\n3 2 2 4\n2 0 1\n1 3\n",
        PolygonSoupFormat::Off);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.soup.polygonSizes, (std::vector<int>{5, 3, 3, 3}));
    EXPECT_EQ(read.soup.droppedElements, 2u);
    EXPECT_EQ(PolygonSoupTriangleCount(read.soup), 6u);
    EXPECT_EQ(Triangles(read.soup),
              (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 1, 2, 0, 1, 2, 2, 2, 4}));
}

TEST(PolygonSoupOff, ShortOrMalformedFilesAreRefused) {
    ExpectRefused(std::string(kTetrahedronOff) + "3 0 1 2\n3 0 2 3\n", PolygonSoupFormat::Off,
                  "holds 2 of the 3 faces its header declares");
    ExpectRefused("OFF\n4 1 0\n0 0 0\n1 0 0\n", PolygonSoupFormat::Off,
                  "holds 2 of the 4 vertices its header declares");
    ExpectRefused("OFF\n3 1 0\n0 0 0\n1 abc 0\n0 1 0\n3 0 1 2\n", PolygonSoupFormat::Off,
                  "line 4: \"abc\" is not a finite number");
    ExpectRefused("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0x\n3 0 1 2\n", PolygonSoupFormat::Off,
                  "\"0x\" is not a finite number");
    ExpectRefused("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n", PolygonSoupFormat::Off,
                  "corner \"3\" is not a vertex number (0 to 2)");
    ExpectRefused("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n", PolygonSoupFormat::Off,
                  "\"4\" is not the corner count");
    ExpectRefused("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 2 1\n", PolygonSoupFormat::Off,
                  "holds more than the 1 faces its header declares");
    ExpectRefused("OFF\n3 1\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", PolygonSoupFormat::Off,
                  "follows the counts");
    ExpectRefused("", PolygonSoupFormat::Off, "is empty");
    ExpectRefused("OFF\n99999999 99999999 0\n", PolygonSoupFormat::Off,
                  "holds 0 of the 99999999 vertices");
}

TEST(PolygonSoupPly, BinaryLittleAndBigEndianGiveTheSameSoup) {
    const SoupRead little = ReadSoup(SquareAndTrianglePly(false), PolygonSoupFormat::Ply);
    const SoupRead big = ReadSoup(SquareAndTrianglePly(true), PolygonSoupFormat::Ply);
    ASSERT_TRUE(little.ok) << little.problem;
    ASSERT_TRUE(big.ok) << big.problem;
    EXPECT_EQ(little.soup.format, "PLY (binary little-endian)");
    EXPECT_EQ(big.soup.format, "PLY (binary big-endian)");
    EXPECT_EQ(little.soup.coordinates, big.soup.coordinates);
    EXPECT_EQ(little.soup.coordinates[14], 1.0f);  // z of vertex 4, stored as a double
    EXPECT_EQ(Triangles(little.soup), (std::vector<int>{0, 1, 2, 0, 2, 3, 1, 4, 2}));
    EXPECT_EQ(Triangles(big.soup), Triangles(little.soup));
}

TEST(PolygonSoupPly, AsciiEdgesAreDroppedAndCounted) {
    const SoupRead read = ReadSoup(
        "ply\r\nformat ascii 1.0\r\ncomment made by hand\r\nelement vertex 3\r\n"
        "property float x\r\nproperty float y\r\nproperty float z\r\n"
        "element face 1\r\nproperty list uchar uint vertex_indices\r\n"
        "element edge 2\r\nproperty int vertex1\r\nproperty int vertex2\r\nend_header\r\n"
        "0 0 0\r\n1 0 0\r\n0 1 0\r\n3 2 1 0\r\n0 1\r\n1 2\r\n",
        PolygonSoupFormat::Ply);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.soup.format, "PLY (ASCII)");
    EXPECT_EQ(read.soup.droppedElements, 2u);
    EXPECT_EQ(Triangles(read.soup), (std::vector<int>{2, 1, 0}));
}

TEST(PolygonSoupPly, ShortOrMalformedFilesAreRefused) {
    const std::string header =
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
        "property float z\nelement face 3\nproperty list uchar int vertex_indices\nend_header\n";
    const std::string vertices = "0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
    ExpectRefused(header + vertices + "3 0 1 2\n3 0 2 3\n", PolygonSoupFormat::Ply,
                  "holds 2 of the 3 \"face\" elements its header declares");
    ExpectRefused(header + vertices + "3 0 1 2\n3 0 2 3\n3 0 3 1\n3 1 2 3\n",
                  PolygonSoupFormat::Ply, "\"3\" follows the last element");
    ExpectRefused(header + "0 0 0\n1 0.5x 0\n", PolygonSoupFormat::Ply,
                  "line 11: \"0.5x\" is not a finite number");
    ExpectRefused(header + vertices + "3 0 1 2\n3 0 2 3\n3 0 3 4\n", PolygonSoupFormat::Ply,
                  "not a vertex number (0 to 3)");
    ExpectRefused(header + vertices + "3 0 1 2\n3 0 2 3\n3 0 1.5 3\n", PolygonSoupFormat::Ply,
                  "\"1.5\" is not a whole number");

    std::string binary = SquareAndTrianglePly(false);
    binary.pop_back();
    ExpectRefused(binary, PolygonSoupFormat::Ply, "holds 1 of the 2 \"face\" elements");
    // a list length of four thousand million in a small file
    std::string huge = SquareAndTrianglePly(false);
    huge.replace(huge.find("uchar int"), 9, "uint int ");
    const size_t faces = huge.size() - 2 * 1 - 7 * 4;
    huge.replace(faces, 1, std::string("\xff\xff\xff\xff", 4));
    ExpectRefused(huge, PolygonSoupFormat::Ply, "\"face\" elements");
    ExpectRefused(
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty int x\nproperty int y\n"
        "property int z\nend_header\n1 2 3\n",
        PolygonSoupFormat::Ply, "x, y and z properties of type float or double");
    ExpectRefused("ply\nformat ascii 1.0\nproperty float x\nend_header\n", PolygonSoupFormat::Ply,
                  "a property before any element");
    ExpectRefused("ply\nformat ascii 1.0\nelement vertex 1000000000000\nend_header\n",
                  PolygonSoupFormat::Ply, "has no properties");
}

TEST(PolygonSoupObj, TabsSlashesAndRelativeCornersAreRead) {
    const SoupRead read = ReadSoup(
        "# a quad and a triangle\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
        "g square\nf 1/1/1\t2/1/1\t3//1\t4\nv 2 0.5 0\nf -4 -1 -3\n",
        PolygonSoupFormat::Obj);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.soup.coordinates.size(), 15u);
    EXPECT_EQ(Triangles(read.soup), (std::vector<int>{0, 1, 2, 0, 2, 3, 1, 4, 2}));
}

TEST(PolygonSoupObj, ShortOrMalformedFilesAreRefused) {
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    ExpectRefused(triangle + "f 1 2 4\n", PolygonSoupFormat::Obj,
                  "line 4: corner 4 is beyond the file's 3 vertices");
    ExpectRefused(triangle + "f 1 2 x\n", PolygonSoupFormat::Obj,
                  "corner \"x\" is not a vertex number");
    ExpectRefused(triangle + "f 1 2 -4\n", PolygonSoupFormat::Obj,
                  "corner \"-4\" is not a vertex number");
    ExpectRefused(triangle + "f 1.5 2 3\n", PolygonSoupFormat::Obj, "\"1.5\"");
    ExpectRefused("v 0 0\n", PolygonSoupFormat::Obj, "a vertex needs three coordinates");
    ExpectRefused("v 0 0 nan\n", PolygonSoupFormat::Obj, "\"nan\" is not a finite number");
}

TEST(PolygonSoupStl, FacetsKeepTheirOwnCornersAndShortFilesAreRefused) {
    const std::string facet =
        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
        " endloop\nendfacet\n";
    const SoupRead read =
        ReadSoup("solid two\n" + facet + facet + "endsolid two\n", PolygonSoupFormat::Stl);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.soup.format, "STL (ASCII)");
    // the reader merges the repeated positions; the file gives six corners
    EXPECT_EQ(read.soup.coordinates.size(), 18u);
    EXPECT_EQ(Triangles(read.soup), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    ExpectRefused("solid two\n" + facet + facet, PolygonSoupFormat::Stl,
                  "ends before \"endsolid\"");
    ExpectRefused("solid two\n" + facet.substr(0, 60), PolygonSoupFormat::Stl,
                  "ends inside facet 0");
    ExpectRefused(
        "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
        "vertex 0 1 0\nvertex 1 1 0\nendloop\nendfacet\nendsolid x\n",
        PolygonSoupFormat::Stl, "has 4 vertices; STL facets are triangles");
    ExpectRefused(
        "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
        "vertex 0 1 0z\nendloop\nendfacet\nendsolid x\n",
        PolygonSoupFormat::Stl, "line 6: \"0z\" is not a finite number");

    std::string binary(80, ' ');
    AppendRaw<uint32_t>(2, false, &binary);
    for (int k = 0; k < 12; ++k) {
        AppendRaw<float>(k == 11 ? std::numeric_limits<float>::infinity() : 0.0f, false, &binary);
    }
    binary.append(2, '\0');
    ExpectRefused(binary, PolygonSoupFormat::Stl, "holds 1 of the 2 triangles");
    binary.replace(80, 4, std::string("\1\0\0\0", 4));
    ExpectRefused(binary, PolygonSoupFormat::Stl, "facet 0 has a vertex coordinate that is not");
}
