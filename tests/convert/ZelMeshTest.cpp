#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "app/MeshArrays.h"
#include "app/MeshReader.h"
#include "app/ZelMesh.h"
#include "app/ZelTextBlocks.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/support/CerrCapture.h"
#include "tests/support/EdgeCountsDirect.h"

namespace {

uint32_t Bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

int EntriesIn(const std::string& directory) {
    int count = 0;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                ++count;
            }
        }
        ::closedir(dir);
    }
    return count;
}

// The cube with every triangle given its own three vertices, as STL stores it.
ZelMesh SplitCube() {
    const ZelMesh cube = CubeMesh();
    ZelMesh split;
    for (size_t k = 0; k < cube.indices.size(); ++k) {
        const float* p = &cube.coordinates[3 * static_cast<size_t>(cube.indices[k])];
        split.coordinates.insert(split.coordinates.end(), p, p + 3);
        split.indices.push_back(static_cast<int>(k));
    }
    return split;
}

// WeldPositions on a ZelMesh, its coordinates cut to the welded count.
int Weld(ZelMesh* mesh) {
    const int welded = WeldPositions(mesh->coordinates.data(), ZelMeshVertexCount(*mesh),
                                     mesh->indices.data(), mesh->indices.size());
    if (welded >= 0) {
        mesh->coordinates.resize(3 * static_cast<std::size_t>(welded));
    }
    return welded;
}

}  // namespace

TEST(WeldPositions, SplitCubeWeldsToEightCornersAndStaysClosed) {
    ZelMesh mesh = SplitCube();
    ASSERT_FALSE(EdgeCountsClosedAndConsistent(EdgeCountsDirect(mesh.indices)));
    EXPECT_EQ(Weld(&mesh), 8);
    EXPECT_EQ(ZelMeshVertexCount(mesh), 8);
    EXPECT_EQ(ZelMeshFaceCount(mesh), 12);
    EXPECT_TRUE(EdgeCountsClosedAndConsistent(EdgeCountsDirect(mesh.indices)));
    EXPECT_NEAR(SignedVolume(mesh), 1.0, 1e-12);
}

TEST(WeldPositions, VerticesAreNumberedInOrderOfFirstAppearance) {
    //  2 . 1        vertices 0 and 3 share a position, as do 1 and 4
    //  | /          the welded vertices keep the first of each
    //  0 (3)
    ZelMesh mesh;
    mesh.coordinates = {0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 5, 5, 5};
    mesh.indices = {0, 1, 2, 3, 5, 4};
    EXPECT_EQ(Weld(&mesh), 4);
    const std::vector<float> expectedCoordinates = {0, 0, 0, 1, 1, 0, 0, 1, 0, 5, 5, 5};
    const std::vector<int> expectedIndices = {0, 1, 2, 0, 3, 1};
    EXPECT_EQ(mesh.coordinates, expectedCoordinates);
    EXPECT_EQ(mesh.indices, expectedIndices);
}

TEST(WeldPositions, MergesExactPositionsOnlyWithZeroAndNegativeZeroAlike) {
    const float one = 1.0f;
    const float nextAfterOne = std::nextafter(one, 2.0f);
    ZelMesh mesh;
    mesh.coordinates = {-0.0f,        0.0f,  one,  0.0f, -0.0f, one,  0.0f, 0.0f,
                        nextAfterOne, -0.0f, 0.0f, one,  0.0f,  0.0f, -one};
    mesh.indices = {0, 1, 2, 3, 4, 2};
    EXPECT_EQ(Weld(&mesh), 3);
    const std::vector<int> expectedIndices = {0, 0, 1, 0, 2, 1};
    EXPECT_EQ(mesh.indices, expectedIndices);
    // the first vertex at a position is the one kept, sign of zero included
    EXPECT_EQ(Bits(mesh.coordinates[0]), Bits(-0.0f));
    EXPECT_EQ(mesh.coordinates[5], nextAfterOne);
}

TEST(WeldPositions, AgreesWithAnOrderedMapOnManyRepeatedPositions) {
    // a small lattice of positions drawn many times, so that probes collide and wrap
    std::mt19937 random(7);
    std::uniform_int_distribution<int> cell(0, 20);
    ZelMesh mesh;
    const int vertexCount = 30000;
    for (int v = 0; v < vertexCount; ++v) {
        for (int k = 0; k < 3; ++k) {
            mesh.coordinates.push_back(0.25f * static_cast<float>(cell(random)));
        }
        mesh.indices.push_back(v);
    }
    const ZelMesh original = mesh;

    std::map<std::tuple<float, float, float>, int> firstSeen;
    std::vector<int> expectedRemap;
    for (int v = 0; v < vertexCount; ++v) {
        const float* p = &original.coordinates[3 * static_cast<size_t>(v)];
        const auto inserted = firstSeen.emplace(std::make_tuple(p[0], p[1], p[2]),
                                                static_cast<int>(firstSeen.size()));
        expectedRemap.push_back(inserted.first->second);
    }

    EXPECT_EQ(Weld(&mesh), static_cast<int>(firstSeen.size()));
    ASSERT_EQ(mesh.indices.size(), expectedRemap.size());
    for (int v = 0; v < vertexCount; ++v) {
        ASSERT_EQ(mesh.indices[v], expectedRemap[v]) << "vertex " << v;
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(mesh.coordinates[3 * static_cast<size_t>(mesh.indices[v]) + k],
                      original.coordinates[3 * static_cast<size_t>(v) + k]);
        }
    }
}

TEST(ZelMeshText, ReadsBackAsTheSameFloatsAndCorners) {
    ZelMesh mesh;
    mesh.coordinates = {0.1f,
                        1.0f / 3.0f,
                        -2.5e-7f,
                        16777217.0f,
                        std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::denorm_min(),
                        -std::numeric_limits<float>::min(),
                        std::nextafter(1.0f, 0.0f),
                        123456.789f};
    mesh.indices = {0, 1, 2, 2, 1, 0};
    std::string text;
    ZelMeshAppendText(mesh, &text);

    // read it the way the viewer's reader does: formatted stream extraction
    std::istringstream stream(text);
    std::string header;
    int vertexCount = -1;
    int faceCount = -1;
    stream >> header >> vertexCount >> faceCount;
    EXPECT_EQ(header, "ZEL");
    ASSERT_EQ(vertexCount, 3);
    ASSERT_EQ(faceCount, 2);
    for (float expected : mesh.coordinates) {
        float value = 0.0f;
        ASSERT_TRUE(stream >> value);
        EXPECT_EQ(Bits(value), Bits(expected)) << expected;
    }
    for (int expected : mesh.indices) {
        int value = -1;
        ASSERT_TRUE(stream >> value);
        EXPECT_EQ(value, expected);
    }
    std::string rest;
    EXPECT_FALSE(stream >> rest);
}

TEST(ZelMeshText, BlocksOnOneOrTwoThreadsGiveTheWholeTextInOrder) {
    // several blocks of vertex lines and of face lines (16,384 lines a block), the last of each
    // short; floats of every length, from denormals to the largest
    ZelMesh mesh;
    std::mt19937 random(17);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int v = 0; v < 40000; ++v) {
        float p[3];
        for (float& value : p) {
            do {
                const std::uint32_t b = bits(random);
                std::memcpy(&value, &b, sizeof value);
            } while (!std::isfinite(value));
        }
        ZelMeshAddVertex(mesh, p[0], p[1], p[2]);
    }
    for (int f = 0; f < 70001; ++f) {
        ZelMeshAddFace(mesh, f % 40000, (f * 7) % 40000, 39999 - f % 40000);
    }
    std::string expected;
    ZelMeshAppendText(mesh, &expected);
    for (const ZelMesh& each : {mesh, ZelMesh()}) {
        std::string whole;
        ZelMeshAppendText(each, &whole);
        for (int threads : {1, 2}) {
            std::string text;
            int blocks = 0;
            EXPECT_TRUE(ZelTextBlocks(each, threads, [&](const char* data, std::size_t size) {
                text.append(data, size);
                ++blocks;
                return true;
            }));
            EXPECT_EQ(text, whole) << threads << " threads";
            EXPECT_EQ(blocks, each.indices.empty() ? 1 : 1 + 3 + 5) << threads << " threads";
        }
    }
    // a write refused at any block ends the text there, on both threads
    for (int threads : {1, 2}) {
        for (int refused : {0, 1, 2, 5, 8}) {
            int calls = 0;
            EXPECT_FALSE(ZelTextBlocks(
                mesh, threads, [&](const char*, std::size_t) { return calls++ < refused; }));
            EXPECT_EQ(calls, refused + 1) << threads << " threads, refused at " << refused;
        }
    }
}

TEST(ZelMeshWrite, WritesTheTextAndLeavesNoTemporaryBehind) {
    TempDirectory dir;
    const ZelMesh mesh = CubeMesh();
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(mesh, dir.File("cube.zel"), &message)) << message;
    std::string expected;
    ZelMeshAppendText(mesh, &expected);
    EXPECT_EQ(ReadFileBytes(dir.File("cube.zel")), expected);
    EXPECT_EQ(EntriesIn(dir.Path()), 1);

    // readable by others as a plain new file would be, not private like a temporary
    struct stat status;
    ASSERT_EQ(::stat(dir.File("cube.zel").c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST(ZelMeshWrite, ReplacesAnExistingFileWhole) {
    TempDirectory dir;
    const std::string path = dir.File("out.zel");
    ASSERT_TRUE(WriteFileBytes(path, std::string(100000, 'x')));
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(CubeMesh(), path, &message)) << message;
    std::string expected;
    ZelMeshAppendText(CubeMesh(), &expected);
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(ZelMeshWrite, FailureNamesThePathAndLeavesNothingBehind) {
    TempDirectory dir;
    std::string message;
    EXPECT_FALSE(ZelMeshWrite(CubeMesh(), dir.File("missing/out.zel"), &message));
    EXPECT_NE(message.find("missing/out.zel"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);

    // an output that is a directory cannot be replaced; the directory and its parent stay as
    // they were
    ASSERT_EQ(::mkdir(dir.File("taken.zel").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(dir.File("taken.zel/inside"), "keep"));
    EXPECT_FALSE(ZelMeshWrite(CubeMesh(), dir.File("taken.zel"), &message));
    EXPECT_NE(message.find("taken.zel"), std::string::npos) << message;
    EXPECT_EQ(ReadFileBytes(dir.File("taken.zel/inside")), "keep");
    EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(ZelMeshWrite, RefusesExactlyWhatTheReaderRefuses) {
    TempDirectory dir;
    const float kInfinity = std::numeric_limits<float>::infinity();
    const float kJustOver = std::nextafter(kMaxCoordinate, kInfinity);
    const float kValues[] = {kMaxCoordinate, -kMaxCoordinate, kJustOver,    -kJustOver,
                             2e9f,           kInfinity,       std::nanf("")};
    std::vector<ZelMesh> meshes;
    for (float value : kValues) {
        ZelMesh mesh = CubeMesh();
        mesh.coordinates[4] = value;
        meshes.push_back(mesh);
    }
    for (int corner : {-1, 8}) {
        ZelMesh mesh = CubeMesh();
        mesh.indices[5] = corner;
        meshes.push_back(mesh);
    }
    for (size_t i = 0; i < meshes.size(); ++i) {
        // the text goes to disk unchecked, so the reader judges it on its own
        std::string text;
        ZelMeshAppendText(meshes[i], &text);
        ASSERT_TRUE(WriteFileBytes(dir.File("raw.zel"), text));
        ZelMesh read;
        bool readerAccepts = false;
        {
            CerrCapture quiet;
            readerAccepts = ZelMeshRead(dir.File("raw.zel").c_str(), &read);
        }

        std::string message;
        const std::string path = dir.File("checked" + std::to_string(i) + ".zel");
        EXPECT_EQ(ZelMeshWrite(meshes[i], path, &message), readerAccepts) << i << ": " << message;
        EXPECT_EQ(std::ifstream(path).is_open(), readerAccepts) << i;
        if (!readerAccepts) {
            EXPECT_EQ(message.rfind("Error: ", 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}
