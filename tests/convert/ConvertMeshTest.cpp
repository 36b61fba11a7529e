// Converted files checked with the viewer's own reader and mesh construction.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "app/MeshReader.h"
#include "convert/Converter.h"
#include "mesh/Mesh.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/support/CerrCapture.h"

namespace {

// The edge report the viewer prints when it builds the mesh.
std::string EdgeReport(const ZelMesh& read) {
    CerrCapture captured;
    const Mesh mesh(read.coordinates.data(), read.indices.data(), ZelMeshVertexCount(read),
                    ZelMeshFaceCount(read));
    return captured.Text();
}

bool Convert(const std::string& input, const std::string& output, MeshWeld weld) {
    ConvertSummary summary;
    std::string message;
    const bool ok = ConvertFile(input, output, weld, &summary, &message);
    EXPECT_TRUE(ok) << message;
    return ok;
}

}  // namespace

TEST(ConvertedMesh, StlCubeGivesThirtySixGoodEdgesInTheViewersReport) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    ASSERT_TRUE(Convert(dir.File("cube.stl"), dir.File("cube.zel"), MeshWeld::kFormatDefault));
    ZelMesh read;
    ASSERT_TRUE(ZelMeshRead(dir.File("cube.zel").c_str(), &read));
    const std::string report = EdgeReport(read);
    EXPECT_NE(report.find("There are 36 edges\n36 good edges\n0 boundary edges\n"),
              std::string::npos)
        << report;
}

TEST(ConvertedMesh, UnweldedStlCubeReportsEveryEdgeAsBoundary) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("cube.stl"), CubeBinaryStl()));
    ASSERT_TRUE(Convert(dir.File("cube.stl"), dir.File("cube.zel"), MeshWeld::kNoWeld));
    ZelMesh read;
    ASSERT_TRUE(ZelMeshRead(dir.File("cube.zel").c_str(), &read));
    const std::string report = EdgeReport(read);
    EXPECT_NE(report.find("There are 36 edges\n0 good edges\n36 boundary edges\n"),
              std::string::npos)
        << report;
}

TEST(ConvertedMesh, ZelThroughObjAndBackGivesTheSameMesh) {
    // an open strip of three triangles whose coordinates need all nine digits (in the range
    // of model coordinates: the OBJ importer parses values near the float limits a unit or two
    // off in the last place)
    //   2-----3
    //   |   / | .
    //   | /   |   .
    //   0-----1-----4
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("source.zel"),
                               "ZEL\n5 3\n"
                               "0.1 -0.333333343 1e-07\n"
                               "1.00000012 0 -0\n"
                               "0.1 0.99999994 123456.789\n"
                               "1.00000012 0.99999994 -7.49999966e-05\n"
                               "2.5 0 98765.4297\n"
                               "0 1 2\n2 1 3\n1 4 3\n"));
    ZelMesh source;
    ASSERT_TRUE(ZelMeshRead(dir.File("source.zel").c_str(), &source));

    // the test's own OBJ writer, nine digits so that no float changes on the way
    std::ostringstream obj;
    for (size_t i = 0; i < source.coordinates.size(); i += 3) {
        char line[128];
        std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", source.coordinates[i],
                      source.coordinates[i + 1], source.coordinates[i + 2]);
        obj << line;
    }
    for (size_t i = 0; i < source.indices.size(); i += 3) {
        obj << "f " << source.indices[i] + 1 << ' ' << source.indices[i + 1] + 1 << ' '
            << source.indices[i + 2] + 1 << '\n';
    }
    ASSERT_TRUE(WriteFileBytes(dir.File("mesh.obj"), obj.str()));
    ASSERT_TRUE(Convert(dir.File("mesh.obj"), dir.File("back.zel"), MeshWeld::kFormatDefault));

    ZelMesh back;
    ASSERT_TRUE(ZelMeshRead(dir.File("back.zel").c_str(), &back));
    ASSERT_EQ(back.coordinates.size(), source.coordinates.size());
    for (size_t i = 0; i < source.coordinates.size(); ++i) {
        EXPECT_EQ(back.coordinates[i], source.coordinates[i]) << "coordinate " << i;
    }
    EXPECT_EQ(back.indices, source.indices);
}
