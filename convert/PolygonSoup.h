#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/ZelMesh.h"

// The mesh formats read polygon by polygon, keeping every polygon as the file writes it.
enum class PolygonSoupFormat { Off, Ply, Obj, Stl };

// Vertices and polygons exactly as a file gives them, before triangulation and welding.
struct PolygonSoup {
    std::string format;              // name of the file's format for the summary
    std::vector<float> coordinates;  // x, y, z of each vertex, in file order
    std::vector<int> corners;        // vertex numbers of every polygon, one polygon after another
    std::vector<int> polygonSizes;   // corner count of each polygon (3 or more), in file order
    size_t droppedElements = 0;      // points and lines the file holds, which have no surface
    int meshCount = 1;               // meshes the file holds
};

// The format read by the soup readers for a path's extension (any letter case); false when the
// extension is none of .off, .ply, .obj and .stl.
bool PolygonSoupFormatOfPath(const std::string& path, PolygonSoupFormat* format);

// Reads a whole file's bytes in the given format. On failure sets what is wrong in a few words
// ("holds 2 of the 3 faces its header declares") and leaves the soup empty.
bool PolygonSoupRead(const std::string& bytes, PolygonSoupFormat format, PolygonSoup* soup,
                     std::string* problem);

// Number of triangles the soup's polygons give: n - 2 for each n-gon.
size_t PolygonSoupTriangleCount(const PolygonSoup& soup);

// Fills the mesh with the soup's vertices and its polygons cut into triangles: every n-gon into
// the fan of n - 2 triangles round its first corner, corner order kept.
void PolygonSoupTriangulate(const PolygonSoup& soup, ZelMesh* mesh);
