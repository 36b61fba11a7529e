#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "convert/Converter.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/support/EdgeCountsDirect.h"

namespace {

struct Imported {
    bool ok = false;
    ZelMesh mesh;
    ConvertSummary summary;
    std::string message;
};

Imported ImportFile(const TempDirectory& dir, const std::string& name, const std::string& bytes,
                    MeshWeld weld = MeshWeld::kFormatDefault) {
    Imported result;
    if (!WriteFileBytes(dir.File(name), bytes)) {
        result.message = "test could not write its input";
        return result;
    }
    result.ok = ConvertImport(dir.File(name), weld, &result.mesh, &result.summary, &result.message);
    return result;
}

// Smallest and largest coordinate on one axis.
std::pair<float, float> AxisRange(const ZelMesh& mesh, int axis) {
    float low = std::numeric_limits<float>::max();
    float high = std::numeric_limits<float>::lowest();
    for (size_t i = axis; i < mesh.coordinates.size(); i += 3) {
        low = std::min(low, mesh.coordinates[i]);
        high = std::max(high, mesh.coordinates[i]);
    }
    return {low, high};
}

void ExpectWeldedUnitCube(const Imported& imported) {
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(ZelMeshVertexCount(imported.mesh), 8);
    EXPECT_EQ(imported.summary.verticesAfter, 8);
    EXPECT_EQ(ZelMeshFaceCount(imported.mesh), 12);
    EXPECT_EQ(imported.summary.trianglesWritten, 12);
    EXPECT_EQ(imported.summary.droppedElements, 0);
    EXPECT_TRUE(EdgeCountsClosedAndConsistent(EdgeCountsDirect(imported.mesh.indices)));
    // winding kept as the file gives it: outward faces enclose a positive volume
    EXPECT_NEAR(SignedVolume(imported.mesh), 1.0, 1e-6);
}

}  // namespace

TEST(ConvertFormats, BinaryStlCubeWeldsTwelveTrianglesToEightVertices) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "cube.stl", CubeBinaryStl());
    ExpectWeldedUnitCube(imported);
    EXPECT_EQ(imported.summary.verticesBefore, 36);
    EXPECT_EQ(imported.summary.meshCount, 1);
    EXPECT_NE(imported.summary.format.find("STL"), std::string::npos) << imported.summary.format;
}

TEST(ConvertFormats, AsciiStlCubeWeldsToEightVertices) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "cube.stl", CubeAsciiStl());
    ExpectWeldedUnitCube(imported);
    EXPECT_EQ(imported.summary.verticesBefore, 36);
}

TEST(ConvertFormats, ObjCubeWithNormalAndTextureSeamsKeepsItsEightPositions) {
    // normals and texture coordinates are not read, so seams do not split the positions
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "cube.obj", CubeObjWithSeams());
    ExpectWeldedUnitCube(imported);
    EXPECT_EQ(imported.summary.verticesBefore, 8);
    EXPECT_EQ(imported.summary.polygonsRead, 6);
    EXPECT_NE(imported.summary.format.find("Wavefront"), std::string::npos);
}

TEST(ConvertFormats, PlyCubesInAsciiAndBinaryTriangulateAndWeld) {
    TempDirectory dir;
    const Imported ascii = ImportFile(dir, "ascii.ply", CubeAsciiPly());
    ExpectWeldedUnitCube(ascii);
    const Imported binary = ImportFile(dir, "binary.ply", CubeBinaryPly());
    ExpectWeldedUnitCube(binary);
    EXPECT_EQ(ascii.mesh.coordinates, binary.mesh.coordinates);
    EXPECT_EQ(ascii.mesh.indices, binary.mesh.indices);
}

TEST(ConvertFormats, OffCubeTriangulatesAndWelds) {
    TempDirectory dir;
    ExpectWeldedUnitCube(ImportFile(dir, "cube.off", CubeOff()));
}

TEST(ConvertFormats, GltfMeshesComeInFileOrderEachMovedByItsNode) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "two.gltf", TwoMeshGltf());
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(imported.summary.meshCount, 2);
    // the two triangles share no position once moved, so nothing welds
    const std::vector<float> expected = {0, 0, 5, 1, 0, 5, 0, 1, 5, 10, 0, 0, 10, 0, 2, 10, 2, 0};
    ASSERT_EQ(imported.mesh.coordinates.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(imported.mesh.coordinates[i], expected[i], 1e-6) << "coordinate " << i;
    }
    const std::vector<int> expectedIndices = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(imported.mesh.indices, expectedIndices);
    EXPECT_EQ(imported.summary.verticesBefore, 6);
    EXPECT_EQ(imported.summary.verticesAfter, 6);
}

TEST(ConvertFormats, NestedNodeTransformsComposeParentFirstAndInstancesRepeat) {
    // node 0 moves by (1,0,0) and holds node 1, which doubles mesh 0; node 2 places mesh 0 again
    // as it is; mesh 1 is used by no node and so is not part of the scene
    TempDirectory dir;
    const Imported imported =
        ImportFile(dir, "nested.gltf",
                   GltfWithNodes(R"([{"translation": [1, 0, 0], "children": [1]},
                                     {"mesh": 0, "scale": [2, 2, 2]},
                                     {"mesh": 0}])",
                                 "[0, 2]"));
    ASSERT_TRUE(imported.ok) << imported.message;
    // the copies touch at (1,0,0) only, which welding merges
    const std::vector<float> expected = {1, 0, 0, 3, 0, 0, 1, 2, 0, 0, 0, 0, 0, 1, 0};
    ASSERT_EQ(imported.mesh.coordinates.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(imported.mesh.coordinates[i], expected[i], 1e-6) << "coordinate " << i;
    }
    const std::vector<int> expectedIndices = {0, 1, 2, 3, 0, 4};
    EXPECT_EQ(imported.mesh.indices, expectedIndices);
    EXPECT_EQ(imported.summary.verticesBefore, 6);
}

TEST(ConvertFormats, ColladaQuadIsTriangulatedAndMovedByItsNode) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "square.dae", TranslatedSquareCollada());
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(ZelMeshFaceCount(imported.mesh), 2);
    EXPECT_EQ(ZelMeshVertexCount(imported.mesh), 4);
    const float expectedLow[3] = {2, 3, 4};
    const float expectedHigh[3] = {3, 4, 4};
    for (int axis = 0; axis < 3; ++axis) {
        const auto [low, high] = AxisRange(imported.mesh, axis);
        EXPECT_NEAR(low, expectedLow[axis], 1e-6) << "axis " << axis;
        EXPECT_NEAR(high, expectedHigh[axis], 1e-6) << "axis " << axis;
    }
}

TEST(ConvertWeldOption, NoWeldKeepsTheImportersVertices) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "cube.stl", CubeBinaryStl(), MeshWeld::kNoWeld);
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(ZelMeshVertexCount(imported.mesh), 36);
    EXPECT_EQ(imported.summary.verticesBefore, 36);
    EXPECT_EQ(imported.summary.verticesAfter, 36);
    EXPECT_FALSE(imported.summary.welded);
    EXPECT_FALSE(EdgeCountsClosedAndConsistent(EdgeCountsDirect(imported.mesh.indices)));
    EXPECT_NEAR(SignedVolume(imported.mesh), 1.0, 1e-6);
}

TEST(ConvertDropping, PointsAndLinesAreDroppedAndCounted) {
    TempDirectory dir;
    const std::string obj =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\n"
        "f 1 2 3\np 4\nl 1 4\nl 2 4\n";
    const Imported imported = ImportFile(dir, "mixed.obj", obj);
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(ZelMeshFaceCount(imported.mesh), 1);
    EXPECT_EQ(imported.summary.droppedElements, 3);
}

TEST(ConvertSummaryLine, NamesFormatMeshesPolygonsTrianglesDroppedAndVertices) {
    ConvertSummary summary;
    summary.format = "STL (binary)";
    summary.meshCount = 2;
    summary.polygonsRead = 10;
    summary.trianglesWritten = 12;
    summary.droppedElements = 3;
    summary.verticesBefore = 36;
    summary.verticesAfter = 8;
    EXPECT_EQ(ConvertSummaryText(summary),
              "STL (binary): 2 meshes, 10 polygons read, 12 triangles written, 3 points and lines "
              "dropped, 36 vertices welded to 8");
    summary.meshCount = 1;
    summary.welded = false;
    summary.verticesAfter = 36;
    EXPECT_EQ(ConvertSummaryText(summary),
              "STL (binary): 1 mesh, 10 polygons read, 12 triangles written, 3 points and lines "
              "dropped, 36 vertices (not welded)");
    summary.polygonsRead = 1;
    summary.trianglesWritten = 1;
    EXPECT_EQ(ConvertSummaryText(summary),
              "STL (binary): 1 mesh, 1 polygon read, 1 triangle written, 3 points and lines "
              "dropped, 36 vertices (not welded)");
}

TEST(ConvertErrors, UnreadableInputsAreNamed) {
    TempDirectory dir;
    ZelMesh mesh;
    ConvertSummary summary;
    std::string message;
    EXPECT_FALSE(ConvertImport(dir.File("absent.stl"), MeshWeld::kWeld, &mesh, &summary, &message));
    EXPECT_EQ(message,
              "Error: file could not be opened for reading \"" + dir.File("absent.stl") + "\"");
    EXPECT_FALSE(ConvertImport(dir.Path(), MeshWeld::kWeld, &mesh, &summary, &message));
    EXPECT_NE(message.find("directory"), std::string::npos) << message;
}

TEST(ConvertErrors, RejectedFormatGivesTheImportersMessageOnOneLine) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "noise.xyz", "not a mesh\nat all\n");
    EXPECT_FALSE(imported.ok);
    EXPECT_NE(imported.message.find("cannot import"), std::string::npos) << imported.message;
    EXPECT_EQ(imported.message.find('\n'), std::string::npos);
}

TEST(ConvertFormats, FileWithoutTrianglesIsAMeshWithoutFaces) {
    TempDirectory dir;
    const Imported imported = ImportFile(dir, "lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\n");
    ASSERT_TRUE(imported.ok) << imported.message;
    EXPECT_EQ(ZelMeshVertexCount(imported.mesh), 3);
    EXPECT_EQ(ZelMeshFaceCount(imported.mesh), 0);
    EXPECT_EQ(imported.summary.droppedElements, 1);
}

TEST(ConvertErrors, CornerOutsideTheVerticesIsRefusedNotWritten) {
    TempDirectory dir;
    const std::string ply =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n";
    const Imported imported = ImportFile(dir, "bad.ply", ply);
    EXPECT_FALSE(imported.ok);
    EXPECT_FALSE(imported.message.empty());
    EXPECT_EQ(imported.message.find('\n'), std::string::npos);
}

TEST(ConvertErrors, PositionThatIsNotANumberIsRefused) {
    // a NaN coordinate would end the viewer's number extraction and misread the rest of the file
    TempDirectory dir;
    std::string ply =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
        "property float y\nproperty float z\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n";
    const float coordinates[9] = {0, 0, 0, 1, 0, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0};
    ply.append(reinterpret_cast<const char*>(coordinates), sizeof coordinates);
    const uint8_t cornerCount = 3;
    const int32_t corners[3] = {0, 1, 2};
    ply.append(reinterpret_cast<const char*>(&cornerCount), 1);
    ply.append(reinterpret_cast<const char*>(corners), sizeof corners);
    const Imported imported = ImportFile(dir, "nan.ply", ply);
    EXPECT_FALSE(imported.ok);
    EXPECT_NE(imported.message.find("not a finite number"), std::string::npos) << imported.message;
}

TEST(ConvertErrors, FailedConversionLeavesTheOldOutputAlone) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("out.zel"), "old content"));
    ASSERT_TRUE(WriteFileBytes(dir.File("short.obj"), "v 0 0 0\nv 1 0 0\nf 1 2 3\n"));
    ConvertSummary summary;
    std::string message;
    EXPECT_FALSE(ConvertFile(dir.File("short.obj"), dir.File("out.zel"), MeshWeld::kFormatDefault,
                             &summary, &message));
    EXPECT_EQ(ReadFileBytes(dir.File("out.zel")), "old content");

    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    EXPECT_FALSE(ConvertFile(dir.File("cube.stl"), dir.File("no/such/dir.zel"),
                             MeshWeld::kFormatDefault, &summary, &message));
    EXPECT_NE(message.find("cannot write"), std::string::npos) << message;
}
