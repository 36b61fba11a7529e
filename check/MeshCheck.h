#pragma once

#include <string>

#include "app/MeshFile.h"

class Mesh;

// What zelcheck reports about one mesh file: sizes, the six counts of the viewer's edge report,
// the connected components and, for a closed and consistently oriented mesh, the genus.
struct MeshCheck {
    std::string path;
    int vertices = 0;
    int faces = 0;
    int halfEdges = 0;
    int good = 0;
    int boundary = 0;
    int nonManifold = 0;
    int degenerate = 0;
    int inconsistent = 0;
    // Sets of faces joined through good edges; vertices of no face are not counted.
    int components = 0;
    // Whether the genus is known: at least one face, and every half-edge good.
    bool closed = false;
    // Total genus over the components, when closed.
    int genus = 0;
    // What the file holds after the elements its header declares, which was not read; empty
    // when nothing.
    std::string warning;
};

// Reads the file through MeshImport, welded as asked (by default as the format suggests), builds
// it into the empty mesh and fills check; on failure sets one "Error: " line that names the file:
// a file that cannot be read, a mesh that needs more memory than the process can have (known
// before building), or memory that ran out. The caller releases the mesh when it suits.
bool MeshCheckFile(const std::string& path, MeshWeld weld, Mesh* mesh, MeshCheck* check,
                   std::string* message);

// Builds the arrays into the empty mesh as the viewer does, without its report and geometry
// pass, and fills everything but the path; false when the memory for it cannot be had.
bool MeshCheckBuild(const float* coordinates, const int* indices, int vertexCount, int faceCount,
                    Mesh* mesh, MeshCheck* check);

// True when the mesh has no boundary, non-manifold, degenerate or inconsistent edge.
bool MeshCheckClean(const MeshCheck& check);

// The report line, e.g. "a.zel: 4 vertices, 4 faces, 12 half-edges: 12 good, 0 boundary,
// 0 non-manifold, 0 degenerate, 0 inconsistent; components 1, genus 0" (genus "-" when unknown),
// and "; Warning: " and the warning when there is one.
std::string MeshCheckText(const MeshCheck& check);

// The report as one JSON object on one line, genus and warning null when unknown or none.
std::string MeshCheckJson(const MeshCheck& check);

// The text as a JSON string literal, quotes included.
std::string MeshCheckJsonString(const std::string& text);
