#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/ZelMesh.h"
#include "mesh/Mesh.h"
#include "tests/support/CerrCapture.h"
#include "tools/MeshGenerator.h"

// Small meshes built in code, the report they print, and a connectivity validator.
namespace fixtures {

// Checks every pointer invariant of a built mesh.
inline ::testing::AssertionResult ValidateConnectivity(const Mesh& mesh) {
    int expectedFaceId = 0;
    for (const Face* face : mesh.faces) {
        if (face->id != expectedFaceId++) {
            return ::testing::AssertionFailure() << "face ids not in list order";
        }
        for (int c = 0; c < 3; ++c) {
            const HalfEdge* h = face->halfEdges[c];
            if (h->face != face || h->next != face->halfEdges[(c + 1) % 3]) {
                return ::testing::AssertionFailure()
                       << "half-edge " << h->id << " not in its cycle";
            }
            if (h->next->next->next != h || h->id != 3 * face->id + c) {
                return ::testing::AssertionFailure() << "bad cycle or id at half-edge " << h->id;
            }
            if (h->origin == nullptr) {
                return ::testing::AssertionFailure() << "half-edge " << h->id << " has no origin";
            }
        }
    }
    int expectedHalfEdgeId = 0;
    for (const HalfEdge* h : mesh.halfEdges) {
        if (h->id != expectedHalfEdgeId++) {
            return ::testing::AssertionFailure() << "half-edge ids not in list order";
        }
        if (h->processed) {
            return ::testing::AssertionFailure() << "half-edge " << h->id << " left processed";
        }
        const HalfEdge* t = h->twin;
        if (t == nullptr) {
            continue;
        }
        if (t->twin != h) {
            return ::testing::AssertionFailure() << "twin of half-edge " << h->id << " not mutual";
        }
        if (t->origin != h->next->origin || t->next->origin != h->origin) {
            return ::testing::AssertionFailure()
                   << "twin of half-edge " << h->id << " not reversed";
        }
    }
    int expectedVertexId = 0;
    for (const MeshVertex* v : mesh.vertices) {
        if (v->id != expectedVertexId++) {
            return ::testing::AssertionFailure() << "vertex ids not in input order";
        }
        if (v->halfEdge != nullptr && v->halfEdge->origin != v) {
            return ::testing::AssertionFailure()
                   << "halfEdge of vertex " << v->id << " leaves elsewhere";
        }
    }
    if (static_cast<int>(mesh.halfEdges.size()) != 3 * static_cast<int>(mesh.faces.size())) {
        return ::testing::AssertionFailure() << "half-edge count is not three per face";
    }
    return ::testing::AssertionSuccess();
}

// A mesh built from data, with the report it printed on std::cerr.
struct BuiltMesh {
    std::unique_ptr<Mesh> mesh;
    std::string report;
};

// Builds the mesh with std::cerr captured and validates its connectivity.
inline BuiltMesh Build(const ZelMesh& data) {
    BuiltMesh built;
    {
        CerrCapture capture;
        built.mesh = std::make_unique<Mesh>(data.coordinates.data(), data.indices.data(),
                                            ZelMeshVertexCount(data), ZelMeshFaceCount(data));
        built.report = capture.Text();
    }
    EXPECT_TRUE(ValidateConnectivity(*built.mesh));
    return built;
}

// Expects the six counts to be equal, naming the mesh on a difference.
inline void ExpectCounts(const EdgeCounts& actual, const EdgeCounts& expected,
                         const std::string& name) {
    EXPECT_EQ(actual.total, expected.total) << name;
    EXPECT_EQ(actual.good, expected.good) << name;
    EXPECT_EQ(actual.boundary, expected.boundary) << name;
    EXPECT_EQ(actual.nonManifold, expected.nonManifold) << name;
    EXPECT_EQ(actual.degenerate, expected.degenerate) << name;
    EXPECT_EQ(actual.inconsistent, expected.inconsistent) << name;
}

// Reads the six counts from the report; a line with other wording fails the test.
inline EdgeCounts ParseReport(const std::string& report) {
    static const char* const kSuffixes[6] = {" edges",
                                             " good edges",
                                             " boundary edges",
                                             " non-manifold edges",
                                             " degenerate edges",
                                             " edges with inconsistent normals"};
    int values[6] = {-1, -1, -1, -1, -1, -1};
    std::istringstream lines(report);
    std::string line;
    int index = 0;
    while (std::getline(lines, line)) {
        if (line == "Recomputing the geometry") {
            continue;
        }
        if (index >= 6) {
            ADD_FAILURE() << "extra report line: " << line;
            break;
        }
        std::string text = line;
        if (index == 0) {
            const std::string prefix = "There are ";
            EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << line;
            text = text.substr(std::min(prefix.size(), text.size()));
        }
        std::size_t digits = 0;
        values[index] = std::stoi(text, &digits);
        EXPECT_EQ(text.substr(digits), kSuffixes[index]) << line;
        ++index;
    }
    EXPECT_EQ(index, 6);
    return {values[0], values[1], values[2], values[3], values[4], values[5]};
}

// The vertex with the given id.
inline MeshVertex* VertexAt(const Mesh& mesh, int id) {
    for (MeshVertex* v : mesh.vertices) {
        if (v->id == id) {
            return v;
        }
    }
    return nullptr;
}

// The face with the given id.
inline Face* FaceAt(const Mesh& mesh, int id) {
    for (Face* f : mesh.faces) {
        if (f->id == id) {
            return f;
        }
    }
    return nullptr;
}

// No vertices, no faces.
inline ZelMesh Empty() {
    return {};
}

//  2
//  | \        corners counter-clockwise seen from +z
//  0---1
inline ZelMesh SingleTriangle() {
    return {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}};
}

//  1
//  | \        same triangle, corners listed clockwise
//  0---2
inline ZelMesh ClockwiseTriangle() {
    return {{0, 0, 0, 0, 1, 0, 1, 0, 0}, {0, 1, 2}};
}

//  3---2
//  | / |      two coplanar faces sharing the diagonal 0-2
//  0---1
inline ZelMesh Square() {
    return {{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3}};
}

//  3---2
//  | \ |      both faces run along 2 -> 0: inconsistent winding
//  0---1
inline ZelMesh InconsistentPair() {
    return {{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 2, 0, 3}};
}

//  2
//  | \        the single triangle listed twice with the same corner order
//  0---1
inline ZelMesh DuplicateTriangle() {
    return {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2, 0, 1, 2}};
}

//  2
//  | \        the single triangle listed once in each winding
//  0---1
inline ZelMesh OppositeTriangles() {
    return {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 1}};
}

//      2   4 (up, z = 1)
//     / \ /
//    0---1    three faces on the edge 0-1
//     \ /
//      3
inline ZelMesh Fin() {
    return {{0, 0, 0, 1, 0, 0, 0.5f, 1, 0, 0.5f, -1, 0, 0.5f, 0, 1}, {0, 1, 2, 1, 0, 3, 0, 1, 4}};
}

//    2 (z = 1)
//    |
//    0---1    face (0, 1, 2) in the x-z plane, face (1, 0, 3) in the x-y plane,
//     \       meeting at a right angle along 0-1
//      3 (y = 1)
inline ZelMesh RightAngle() {
    return {{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 1, 2, 1, 0, 3}};
}

// Regular tetrahedron on alternate corners of the cube [-1, 1]^3, faces wound outwards:
//   0 (1, 1, 1), 1 (1, -1, -1), 2 (-1, 1, -1), 3 (-1, -1, 1)
inline ZelMesh Tetrahedron() {
    return {{1, 1, 1, 1, -1, -1, -1, 1, -1, -1, -1, 1}, {0, 1, 2, 0, 3, 1, 0, 2, 3, 1, 3, 2}};
}

//  a=0 ---- b=1   one face with corners (a, a, b)
inline ZelMesh DegenerateAab() {
    return {{0, 0, 0, 1, 0, 0}, {0, 0, 1}};
}

//  a=0            one face with corners (a, a, a)
inline ZelMesh DegenerateAaa() {
    return {{2, 3, 4}, {0, 0, 0}};
}

//  2
//  | \        3 (5, 5, 5), used by no face
//  0---1
inline ZelMesh UnusedVertex() {
    return {{0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5}, {0, 1, 2}};
}

//    3---2
//   / \ / \       interior vertex 0 at the centre of a hexagon,
//  4---0---1      faces (0, i, i + 1), i = 1 ... 6, wrapping to 1
//   \ / \ /
//    5---6
inline ZelMesh HexagonFan() {
    ZelMesh data;
    data.coordinates = {0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        float angle = static_cast<float>(i) * 3.14159265f / 3.0f;
        data.coordinates.insert(data.coordinates.end(), {std::cos(angle), std::sin(angle), 0});
    }
    for (int i = 1; i <= 6; ++i) {
        data.indices.insert(data.indices.end(), {0, i, i % 6 + 1});
    }
    return data;
}

//  3---2
//  | \ |      boundary vertex 0 with an open fan of three faces:
//  4   |      (0, 1, 2), (0, 2, 3), (0, 3, 4)
//   \  |
//    0-1
inline ZelMesh OpenFan() {
    return {{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -1, 0.5f, 0}, {0, 1, 2, 0, 2, 3, 0, 3, 4}};
}

//  3---2               5---6 (z = 1)
//   \ /|              / \ /
//    \ |             /   \      two fans of two faces that touch only at vertex 0:
//      0------------4     \     (0, 1, 2), (0, 2, 3) flat in z = 0,
//      |                         (0, 4, 5), (0, 5, 6) tilted up towards z = 1
//      1
inline ZelMesh TwoFans() {
    return {{0, 0, 0, 0, -1, 0, 1, 0, 0, 0, 1, 0, -1, 0, 0, -1, 0, 1, -1, 1, 1},
            {0, 1, 2, 0, 2, 3, 0, 4, 5, 0, 5, 6}};
}

// zelgen's torus of around x across quads (see ZelMeshAddTorus); open leaves out the last strip
// round the tube (two rims); fins adds a third face with its own apex on every edge of every
// fourth ring (non-manifold edges).
inline ZelMesh Torus(int around, int across, bool open = false, bool fins = false) {
    ZelMesh data;
    const TorusGrid grid{around, across};
    ZelMeshAddTorus(data, grid, open);
    if (fins) {
        ZelMeshAddTorusFins(data, grid);
    }
    return data;
}

// Vertices on a grid, so every mesh has positions; matching looks at vertex numbers only.
inline ZelMesh WithVertices(int vertexCount, std::vector<int> indices) {
    ZelMesh data;
    for (int v = 0; v < vertexCount; ++v) {
        data.coordinates.insert(
            data.coordinates.end(),
            {static_cast<float>(v % 7), static_cast<float>(v / 7 % 7), static_cast<float>(v / 49)});
    }
    data.indices = std::move(indices);
    return data;
}

// A torus (with fins if asked) made defective at random: faces turned round, corners collapsed,
// faces repeated, and vertices no face uses.
inline ZelMesh DamagedTorus(unsigned seed, int around = 300, int across = 200, bool fins = false) {
    ZelMesh data = Torus(around, across, false, fins);
    std::mt19937 random(seed);
    const std::size_t faceCount = data.indices.size() / 3;
    for (std::size_t f = 0; f < faceCount; ++f) {
        int* corners = &data.indices[3 * f];
        switch (random() % 100) {
            case 0:
                std::swap(corners[1], corners[2]);
                break;
            case 1:
                corners[1] = corners[0];
                break;
            case 2:
                corners[2] = corners[1] = corners[0];
                break;
            case 3:
            case 4:
                data.indices.insert(data.indices.end(), {corners[0], corners[1], corners[2]});
                break;
            case 5:
                data.indices.insert(data.indices.end(), {corners[1], corners[0], corners[2]});
                break;
            default:
                break;
        }
    }
    for (int v = 0; v < 10; ++v) {
        data.coordinates.insert(data.coordinates.end(), {9.0f, 9.0f, static_cast<float>(v)});
    }
    return data;
}

// A soup of random faces over vertexCount vertices.
inline ZelMesh RandomSoup(unsigned seed, int vertexCount, int faceCount) {
    std::mt19937 random(seed);
    std::vector<int> indices;
    for (int i = 0; i < 3 * faceCount; ++i) {
        indices.push_back(static_cast<int>(random() % static_cast<unsigned>(vertexCount)));
    }
    return WithVertices(vertexCount, std::move(indices));
}

}  // namespace fixtures
