#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/MeshReader.h"
#include "mesh/Mesh.h"
#include "tests/support/CerrCapture.h"
#include "tests/support/EdgeCountsDirect.h"
#include "tests/support/TempDirectory.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

long EulerCharacteristic(const ZelMesh& mesh) {
    int edges = 0;
    EdgeCountsDirect(mesh.indices, &edges);
    return ZelMeshVertexCount(mesh) - edges + ZelMeshFaceCount(mesh);
}

struct Point {
    double x, y, z;
};

Point VertexAt(const ZelMesh& mesh, int v) {
    const float* p = &mesh.coordinates[3 * static_cast<std::size_t>(v)];
    return {p[0], p[1], p[2]};
}

Point Cross(Point a, Point b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Point Minus(Point a, Point b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double Dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Twice the area vector of face f, along its counter-clockwise normal.
Point FaceAreaVector(const ZelMesh& mesh, int f) {
    Point a = VertexAt(mesh, mesh.indices[3 * f]);
    Point b = VertexAt(mesh, mesh.indices[3 * f + 1]);
    Point c = VertexAt(mesh, mesh.indices[3 * f + 2]);
    return Cross(Minus(b, a), Minus(c, a));
}

// Volume enclosed by a closed mesh; positive when its faces turn counter-clockwise outside.
double SignedVolume(const ZelMesh& mesh) {
    double volume = 0.0;
    for (int f = 0; f < ZelMeshFaceCount(mesh); ++f) {
        volume += Dot(VertexAt(mesh, mesh.indices[3 * f]), FaceAreaVector(mesh, f)) / 6.0;
    }
    return volume;
}

double SmallestFaceArea(const ZelMesh& mesh) {
    double smallest = INFINITY;
    for (int f = 0; f < ZelMeshFaceCount(mesh); ++f) {
        Point n = FaceAreaVector(mesh, f);
        smallest = std::min(smallest, 0.5 * std::sqrt(Dot(n, n)));
    }
    return smallest;
}

bool EveryVertexIsUsed(const ZelMesh& mesh) {
    std::set<int> used(mesh.indices.begin(), mesh.indices.end());
    return static_cast<int>(used.size()) == ZelMeshVertexCount(mesh);
}

class ZelGenTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(directory_.Path().empty()); }

    std::string PathOf(const std::string& name) const { return directory_.File(name); }

    // Runs zelgen with the arguments and returns its exit status.
    static int RunZelgen(const std::string& arguments) {
        std::string command = std::string(ZELGEN_PATH) + " " + arguments + " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Generates a mesh into the test's directory and reads it back with the viewer's reader.
    ZelMesh Generate(const std::string& arguments) {
        std::string path = PathOf("generated.zel");
        std::filesystem::remove(path);
        EXPECT_EQ(RunZelgen(arguments + " " + path), 0) << arguments;
        return Load(path);
    }

    static ZelMesh Load(const std::string& path) {
        ZelMesh mesh;
        if (!ZelMeshRead(path.c_str(), &mesh)) {
            ADD_FAILURE() << "could not read " << path;
        }
        return mesh;
    }

    TempDirectory directory_{"zel-gen"};
};

TEST_F(ZelGenTest, TorusIsClosedAndTurnsCounterClockwiseOutside) {
    for (long faces : {100L, 2000L, 30000L}) {
        SCOPED_TRACE("faces " + std::to_string(faces));
        ZelMesh mesh = Generate("torus --faces " + std::to_string(faces));
        EdgeCounts counts = EdgeCountsDirect(mesh.indices);
        EXPECT_NEAR(ZelMeshFaceCount(mesh), faces, 0.1 * faces);
        EXPECT_EQ(counts.good, counts.total) << counts;
        EXPECT_EQ(EulerCharacteristic(mesh), 0);
        EXPECT_TRUE(EveryVertexIsUsed(mesh));
        EXPECT_GT(SmallestFaceArea(mesh), 1e-6);

        // Tube and ring radii measured from the torus axis, which is tipped 45 degrees about x;
        // the polygonal torus lies a little inside.
        const double half = std::sqrt(0.5);
        double outer = 0.0;
        double tube = 0.0;
        for (int v = 0; v < ZelMeshVertexCount(mesh); ++v) {
            Point p = VertexAt(mesh, v);
            double along = -p.y * half + p.z * half;
            double squared = p.x * p.x + p.y * p.y + p.z * p.z - along * along;
            outer = std::max(outer, std::sqrt(std::max(squared, 0.0)));
            tube = std::max(tube, along);
        }
        double ring = outer - tube;
        double expected = 2.0 * kPi * kPi * ring * tube * tube;
        double volume = SignedVolume(mesh);
        EXPECT_GT(volume, 0.0);
        EXPECT_NEAR(volume, expected, (faces < 1000 ? 0.3 : 0.05) * expected);
    }
}

TEST_F(ZelGenTest, SphereIsClosedWithEveryFaceTurnedOutwards) {
    const std::vector<std::pair<std::string, int>> requests = {
        {"--faces 20", 20}, {"--faces 300", 320}, {"", 1280}, {"--faces 4000", 5120}};
    for (const auto& request : requests) {
        SCOPED_TRACE(request.first);
        ZelMesh mesh = Generate("sphere " + request.first);
        EdgeCounts counts = EdgeCountsDirect(mesh.indices);
        EXPECT_EQ(ZelMeshFaceCount(mesh), request.second);
        EXPECT_EQ(counts.good, counts.total) << counts;
        EXPECT_EQ(EulerCharacteristic(mesh), 2);
        EXPECT_TRUE(EveryVertexIsUsed(mesh));
        for (int v = 0; v < ZelMeshVertexCount(mesh); ++v) {
            Point p = VertexAt(mesh, v);
            ASSERT_NEAR(std::sqrt(Dot(p, p)), 1.0, 1e-6) << "vertex " << v;
        }
        // No pinched poles: the smallest face keeps a fair share of the mean area.
        double meanArea = 4.0 * kPi / ZelMeshFaceCount(mesh);
        EXPECT_GT(SmallestFaceArea(mesh), 0.3 * meanArea);
        for (int f = 0; f < ZelMeshFaceCount(mesh); ++f) {
            ASSERT_GT(Dot(FaceAreaVector(mesh, f), VertexAt(mesh, mesh.indices[3 * f])), 0.0)
                << "face " << f;
        }
    }
}

TEST_F(ZelGenTest, OpenGridHasOneRimAlongItsBorder) {
    ZelMesh mesh = Generate("open --faces 200");
    EdgeCounts counts = EdgeCountsDirect(mesh.indices);
    EXPECT_NEAR(ZelMeshFaceCount(mesh), 200, 20);
    EXPECT_GT(counts.boundary, 0);
    EXPECT_EQ(counts.good + counts.boundary, counts.total) << counts;
    EXPECT_EQ(EulerCharacteristic(mesh), 1);
    EXPECT_GT(SmallestFaceArea(mesh), 1e-6);

    // The rim is exactly the border of the square.
    std::set<std::pair<int, int>> directed;
    for (int f = 0; f < ZelMeshFaceCount(mesh); ++f) {
        EXPECT_GT(FaceAreaVector(mesh, f).z, 0.0) << "face " << f << " turns clockwise from +z";
        for (int c = 0; c < 3; ++c) {
            directed.insert({mesh.indices[3 * f + c], mesh.indices[3 * f + (c + 1) % 3]});
        }
    }
    auto onBorder = [&](int v) {
        Point p = VertexAt(mesh, v);
        return std::fabs(std::fabs(p.x) - 1.0) < 1e-6 || std::fabs(std::fabs(p.y) - 1.0) < 1e-6;
    };
    std::set<int> rimVertices;
    for (const auto& edge : directed) {
        if (directed.count({edge.second, edge.first}) == 0) {
            EXPECT_TRUE(onBorder(edge.first) && onBorder(edge.second));
            rimVertices.insert(edge.first);
        }
    }
    int borderVertices = 0;
    for (int v = 0; v < ZelMeshVertexCount(mesh); ++v) {
        borderVertices += onBorder(v) ? 1 : 0;
    }
    EXPECT_EQ(static_cast<int>(rimVertices.size()), borderVertices);
    EXPECT_EQ(counts.boundary, borderVertices);
}

TEST_F(ZelGenTest, DefectsHoldEveryKindOfEdge) {
    ZelMesh mesh = Generate("defects");
    EdgeCounts counts = EdgeCountsDirect(mesh.indices);
    EXPECT_EQ(counts.total, 3L * ZelMeshFaceCount(mesh));
    // Tetrahedron 12 + square 2 + repeated-corner face 2.
    EXPECT_EQ(counts.good, 16) << counts;
    // Square 4 + fins 6 + inconsistent pair 4.
    EXPECT_EQ(counts.boundary, 14) << counts;
    EXPECT_EQ(counts.nonManifold, 3) << counts;
    EXPECT_EQ(counts.degenerate, 1) << counts;
    EXPECT_EQ(counts.inconsistent, 2) << counts;
    EXPECT_TRUE(EveryVertexIsUsed(mesh));
}

TEST_F(ZelGenTest, BenchmarkToriOpenOrGrowFins) {
    {
        SCOPED_TRACE("torus-open");
        ZelMesh mesh = Generate("torus-open --faces 2000");
        EdgeCounts counts = EdgeCountsDirect(mesh.indices);
        EXPECT_NEAR(ZelMeshFaceCount(mesh), 2000, 200);
        EXPECT_GT(counts.boundary, 0);
        EXPECT_EQ(counts.good + counts.boundary, counts.total) << counts;
        // A tube: two rims, Euler characteristic 0 like the closed torus.
        EXPECT_EQ(EulerCharacteristic(mesh), 0);
        EXPECT_TRUE(EveryVertexIsUsed(mesh));
    }
    {
        SCOPED_TRACE("torus-nonmanifold");
        ZelMesh closed = Generate("torus --faces 2000");
        ZelMesh mesh = Generate("torus-nonmanifold --faces 2000");
        EdgeCounts counts = EdgeCountsDirect(mesh.indices);
        int fins = ZelMeshFaceCount(mesh) - ZelMeshFaceCount(closed);
        EXPECT_GT(fins, 0);
        // Each fin turns one good edge into three non-manifold half-edges and adds two boundary.
        EXPECT_EQ(counts.nonManifold, 3L * fins) << counts;
        EXPECT_EQ(counts.boundary, 2L * fins) << counts;
        EXPECT_EQ(counts.good, 3L * ZelMeshFaceCount(closed) - 2L * fins) << counts;
        EXPECT_EQ(counts.inconsistent + counts.degenerate, 0) << counts;
    }
}

TEST_F(ZelGenTest, BadArgumentsExitWithStatusTwoAndWriteNothing) {
    std::string out = PathOf("never.zel");
    const std::vector<std::string> refused = {"",
                                              "torus",
                                              "cube " + out,
                                              "torus --faces 0 " + out,
                                              "torus --faces -5 " + out,
                                              "torus --faces 12x " + out,
                                              "torus --faces 99999999999 " + out,
                                              "torus " + out + " --faces",
                                              "torus --bogus " + out,
                                              "torus " + out + " " + out,
                                              "defects --faces 10 " + out};
    for (const std::string& arguments : refused) {
        EXPECT_EQ(RunZelgen(arguments), 2) << arguments;
        EXPECT_FALSE(std::filesystem::exists(out)) << arguments;
    }
    EXPECT_EQ(RunZelgen("--help"), 0);
    EXPECT_EQ(RunZelgen("torus " + PathOf("missing/dir/out.zel")), 1);
}

// The examples' README gives, for each file, the zelgen command that made it and its six-line
// edge report.
struct ExampleRecord {
    std::string file;
    std::string arguments;
    std::vector<std::string> report;
};

std::vector<ExampleRecord> ReadExamplesReadme() {
    std::ifstream readme(std::string(ZEL_EXAMPLES_DIR) + "/README.md");
    std::vector<ExampleRecord> records;
    std::string line;
    while (std::getline(readme, line)) {
        std::size_t command = line.find("zelgen ");
        std::size_t target = line.find(" examples/");
        if (command != std::string::npos && target != std::string::npos && target > command) {
            ExampleRecord record;
            record.arguments = line.substr(command + 7, target - command - 7);
            record.file = line.substr(target + 10);
            records.push_back(record);
        } else if (!records.empty() && records.back().report.size() < 6 &&
                   (line.find("There are ") != std::string::npos ||
                    !records.back().report.empty())) {
            std::size_t start = line.find_first_not_of(' ');
            records.back().report.push_back(start == std::string::npos ? "" : line.substr(start));
        }
    }
    return records;
}

std::vector<std::string> ReportLines(const EdgeCounts& counts) {
    return {"There are " + std::to_string(counts.total) + " edges",
            std::to_string(counts.good) + " good edges",
            std::to_string(counts.boundary) + " boundary edges",
            std::to_string(counts.nonManifold) + " non-manifold edges",
            std::to_string(counts.degenerate) + " degenerate edges",
            std::to_string(counts.inconsistent) + " edges with inconsistent normals"};
}

TEST_F(ZelGenTest, CommittedExamplesAreWhatTheirReadmeCommandsWrite) {
    std::vector<ExampleRecord> records = ReadExamplesReadme();
    ASSERT_EQ(records.size(), 4u);
    for (const ExampleRecord& record : records) {
        SCOPED_TRACE(record.file);
        std::string fresh = PathOf(record.file);
        ASSERT_EQ(RunZelgen(record.arguments + " " + fresh), 0);
        std::ifstream a(std::string(ZEL_EXAMPLES_DIR) + "/" + record.file, std::ios::binary);
        std::ifstream b(fresh, std::ios::binary);
        std::stringstream committed;
        std::stringstream generated;
        committed << a.rdbuf();
        generated << b.rdbuf();
        EXPECT_FALSE(committed.str().empty());
        EXPECT_TRUE(committed.str() == generated.str());
    }
}

TEST_F(ZelGenTest, CommittedExamplesReportTheEdgesTheirReadmeStates) {
    std::vector<ExampleRecord> records = ReadExamplesReadme();
    ASSERT_EQ(records.size(), 4u);
    for (const ExampleRecord& record : records) {
        SCOPED_TRACE(record.file);
        ZelMesh loaded = Load(std::string(ZEL_EXAMPLES_DIR) + "/" + record.file);
        EXPECT_EQ(ReportLines(EdgeCountsDirect(loaded.indices)), record.report);

        // The mesh prints the same report while it is built.
        CerrCapture captured;
        Mesh mesh(loaded.coordinates.data(), loaded.indices.data(), ZelMeshVertexCount(loaded),
                  ZelMeshFaceCount(loaded));
        std::vector<std::string> printed;
        std::istringstream lines(captured.Text());
        std::string line;
        while (std::getline(lines, line)) {
            printed.push_back(line);
        }
        EXPECT_EQ(printed, record.report);
    }
}

}  // namespace
