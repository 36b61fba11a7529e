#include "tools/MeshGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTorusMajorRadius = 1.0;
constexpr double kTorusMinorRadius = 0.4;

// Point of a torus of the given tube radius at angle u round the ring and v round the tube. The
// ring is tipped 45 degrees about the x axis, so the viewer's opening view from +z shows it as
// a ring rather than edge-on or from so close that only a piece of it fits.
int AddTorusPoint(ZelMesh& mesh, double u, double v, double tubeRadius) {
    const double tilt = kPi / 4.0;
    double ring = kTorusMajorRadius + tubeRadius * std::cos(v);
    double x = ring * std::cos(u);
    double y = ring * std::sin(u);
    double z = tubeRadius * std::sin(v);
    return ZelMeshAddVertex(mesh, x, y * std::cos(tilt) - z * std::sin(tilt),
                            y * std::sin(tilt) + z * std::cos(tilt));
}

int TorusVertex(const TorusGrid& grid, int i, int j) {
    return (i % grid.around) * grid.across + (j % grid.across);
}

// Index of the vertex halfway between a and b on the unit sphere, made once per edge.
int SphereMidpoint(ZelMesh& mesh, std::unordered_map<std::uint64_t, int>& midpoints, int a, int b) {
    std::uint64_t key = (static_cast<std::uint64_t>(std::min(a, b)) << 32) |
                        static_cast<std::uint32_t>(std::max(a, b));
    auto found = midpoints.find(key);
    if (found != midpoints.end()) {
        return found->second;
    }
    const float* p = &mesh.coordinates[3 * static_cast<std::size_t>(a)];
    const float* q = &mesh.coordinates[3 * static_cast<std::size_t>(b)];
    double x = 0.5 * (double(p[0]) + q[0]);
    double y = 0.5 * (double(p[1]) + q[1]);
    double z = 0.5 * (double(p[2]) + q[2]);
    double length = std::sqrt(x * x + y * y + z * z);
    int m = ZelMeshAddVertex(mesh, x / length, y / length, z / length);
    midpoints.emplace(key, m);
    return m;
}

}  // namespace

TorusGrid TorusGridForFaces(long faces) {
    TorusGrid grid;
    grid.across = std::max(3, static_cast<int>(std::lround(std::sqrt(faces / 4.0))));
    grid.around = std::max(3, static_cast<int>(std::lround(faces / (2.0 * grid.across))));
    return grid;
}

void ZelMeshAddTorus(ZelMesh& mesh, const TorusGrid& grid, bool open) {
    int first = static_cast<int>(mesh.coordinates.size() / 3);
    for (int i = 0; i < grid.around; ++i) {
        double u = 2.0 * kPi * i / grid.around;
        for (int j = 0; j < grid.across; ++j) {
            AddTorusPoint(mesh, u, 2.0 * kPi * j / grid.across, kTorusMinorRadius);
        }
    }
    int strips = open ? grid.across - 1 : grid.across;
    for (int i = 0; i < grid.around; ++i) {
        for (int j = 0; j < strips; ++j) {
            int a = first + TorusVertex(grid, i, j);
            int b = first + TorusVertex(grid, i + 1, j);
            int c = first + TorusVertex(grid, i + 1, j + 1);
            int d = first + TorusVertex(grid, i, j + 1);
            ZelMeshAddFace(mesh, a, b, c);
            ZelMeshAddFace(mesh, a, c, d);
        }
    }
}

void ZelMeshAddTorusFins(ZelMesh& mesh, const TorusGrid& grid) {
    for (int j = 0; j < grid.across; j += 4) {
        double v = 2.0 * kPi * j / grid.across;
        for (int i = 0; i < grid.around; ++i) {
            double u = 2.0 * kPi * (i + 0.5) / grid.around;
            int apex = AddTorusPoint(mesh, u, v, 1.5 * kTorusMinorRadius);
            ZelMeshAddFace(mesh, TorusVertex(grid, i, j), TorusVertex(grid, i + 1, j), apex);
        }
    }
}

void ZelMeshAddSphere(ZelMesh& mesh, int levels) {
    const int first = ZelMeshVertexCount(mesh);
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    const double s = 1.0 / std::sqrt(1.0 + t * t);
    const double corners[12][3] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                   {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                   {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    // Counter-clockwise seen from outside.
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                              {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                              {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                              {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (const auto& corner : corners) {
        ZelMeshAddVertex(mesh, corner[0] * s, corner[1] * s, corner[2] * s);
    }
    std::vector<int> current;
    for (const auto& face : faces) {
        current.insert(current.end(), {first + face[0], first + face[1], first + face[2]});
    }
    for (int level = 0; level < levels; ++level) {
        std::unordered_map<std::uint64_t, int> midpoints;
        std::vector<int> finer;
        finer.reserve(current.size() * 4);
        for (std::size_t f = 0; f < current.size(); f += 3) {
            int a = current[f];
            int b = current[f + 1];
            int c = current[f + 2];
            int ab = SphereMidpoint(mesh, midpoints, a, b);
            int bc = SphereMidpoint(mesh, midpoints, b, c);
            int ca = SphereMidpoint(mesh, midpoints, c, a);
            finer.insert(finer.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
        }
        current.swap(finer);
    }
    mesh.indices.insert(mesh.indices.end(), current.begin(), current.end());
}

void ZelMeshAddOpenGrid(ZelMesh& mesh, long faces) {
    const int first = ZelMeshVertexCount(mesh);
    int cells = std::max(1, static_cast<int>(std::lround(std::sqrt(faces / 2.0))));
    for (int j = 0; j <= cells; ++j) {
        double y = -1.0 + 2.0 * j / cells;
        for (int i = 0; i <= cells; ++i) {
            double x = -1.0 + 2.0 * i / cells;
            ZelMeshAddVertex(mesh, x, y, 0.15 * std::sin(kPi * x) * std::cos(kPi * y));
        }
    }
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            int a = first + j * (cells + 1) + i;
            int b = a + 1;
            int c = b + cells + 1;
            int d = a + cells + 1;
            ZelMeshAddFace(mesh, a, b, c);
            ZelMeshAddFace(mesh, a, c, d);
        }
    }
}

void ZelMeshAddDefects(ZelMesh& mesh) {
    // Tetrahedron, outward faces.
    int t0 = ZelMeshAddVertex(mesh, 0, 0, 0);
    int t1 = ZelMeshAddVertex(mesh, 1, 0, 0);
    int t2 = ZelMeshAddVertex(mesh, 0, 1, 0);
    int t3 = ZelMeshAddVertex(mesh, 0, 0, 1);
    ZelMeshAddFace(mesh, t0, t2, t1);
    ZelMeshAddFace(mesh, t0, t1, t3);
    ZelMeshAddFace(mesh, t0, t3, t2);
    ZelMeshAddFace(mesh, t1, t2, t3);

    // Square: 3 - 2 above 0 - 1, split along 0 - 2.
    int s0 = ZelMeshAddVertex(mesh, 2, 0, 0);
    int s1 = ZelMeshAddVertex(mesh, 3, 0, 0);
    int s2 = ZelMeshAddVertex(mesh, 3, 1, 0);
    int s3 = ZelMeshAddVertex(mesh, 2, 1, 0);
    ZelMeshAddFace(mesh, s0, s1, s2);
    ZelMeshAddFace(mesh, s0, s2, s3);

    // Three fins on the edge p - q.
    int p = ZelMeshAddVertex(mesh, 5, 0, 0);
    int q = ZelMeshAddVertex(mesh, 5, 1, 0);
    int right = ZelMeshAddVertex(mesh, 6, 0.5, 0);
    int left = ZelMeshAddVertex(mesh, 4, 0.5, 0);
    int up = ZelMeshAddVertex(mesh, 5, 0.5, 1);
    ZelMeshAddFace(mesh, p, q, right);
    ZelMeshAddFace(mesh, q, p, left);
    ZelMeshAddFace(mesh, p, q, up);

    // Two triangles that both run e -> f along their common edge.
    int e = ZelMeshAddVertex(mesh, 7, 0, 0);
    int f = ZelMeshAddVertex(mesh, 7, 1, 0);
    int front = ZelMeshAddVertex(mesh, 8, 0.5, 0);
    int back = ZelMeshAddVertex(mesh, 6.5, 0.5, 0.5);
    ZelMeshAddFace(mesh, e, f, front);
    ZelMeshAddFace(mesh, e, f, back);

    // Corners (g, g, h): one edge from g to itself.
    int g = ZelMeshAddVertex(mesh, 9, 0, 0);
    int h = ZelMeshAddVertex(mesh, 10, 0, 0);
    ZelMeshAddFace(mesh, g, g, h);
}
