#pragma once

#include "app/ZelMesh.h"

// Meshes with known edge structure, for zelgen, the examples, the benchmarks and the tests. Each
// ZelMeshAdd function appends its vertices and faces after those the mesh already holds.

// Quads around the main ring and across the tube of a torus.
struct TorusGrid {
    int around;
    int across;
};

// The grid of about the given number of faces; the tube is cut about half as finely as the ring.
TorusGrid TorusGridForFaces(long faces);

// Adds a torus tipped 45 degrees about the x axis, its faces counter-clockwise seen from outside:
//
//      j+1 d---c        vertex (i, j) at angle i round the ring and j round the tube,
//          | / |        each quad (a, b, c), (a, c, d)
//        j a---b
//          i  i+1
//
// open leaves out the last strip of quads round the tube, which leaves a tube with two rims.
void ZelMeshAddTorus(ZelMesh& mesh, const TorusGrid& grid, bool open);

// Adds a third face on every edge a-b of every fourth ring round the tube of the torus added
// first, each with its own apex lifted off the surface, so those edges become non-manifold and
// the fins' other edges boundary.
void ZelMeshAddTorusFins(ZelMesh& mesh, const TorusGrid& grid);

// Adds a unit icosahedron split levels times into four: 20 * 4^levels faces, no poles to pinch.
void ZelMeshAddSphere(ZelMesh& mesh, int levels);

// Adds a square grid of about the given number of faces over [-1, 1]^2 with a gentle wave in z,
// counter-clockwise seen from +z.
void ZelMeshAddOpenGrid(ZelMesh& mesh, long faces);

// Adds five separate pieces side by side along x, one per kind of edge: a closed tetrahedron
// (12 good), a square of two triangles (2 good, 4 boundary), three fins on one edge
// (3 non-manifold, 6 boundary), two triangles running the same way along their common edge
// (2 inconsistent, 4 boundary) and a face with a repeated corner (2 good, 1 degenerate).
void ZelMeshAddDefects(ZelMesh& mesh);
