#pragma once

#include <string>
#include <vector>

// Largest vertex or face count a ZEL file may declare; larger counts are refused before allocating.
constexpr int kMaxMeshElementCount = 100000000;

// Largest coordinate magnitude a ZEL file may hold; beyond it the float geometry pass (cross
// products, squared lengths) overflows and the mesh gets infinite or NaN normals, radius and view.
constexpr float kMaxCoordinate = 1e9f;

// A triangle mesh as the ZEL format stores it: plain positions and three vertex numbers a face.
struct ZelMesh {
    std::vector<float> coordinates;  // x, y, z of vertex 0, then of vertex 1, and so on
    std::vector<int> indices;        // the three vertex numbers of each face in corner order
};

// Number of vertices held in the mesh's coordinates.
inline int ZelMeshVertexCount(const ZelMesh& mesh) {
    return static_cast<int>(mesh.coordinates.size() / 3);
}

// Number of triangles held in the mesh's indices.
inline int ZelMeshFaceCount(const ZelMesh& mesh) {
    return static_cast<int>(mesh.indices.size() / 3);
}

// Appends a vertex and returns its number.
int ZelMeshAddVertex(ZelMesh& mesh, double x, double y, double z);

// Appends a face with the corners a, b, c.
void ZelMeshAddFace(ZelMesh& mesh, int a, int b, int c);

// True when the ZEL reader would accept the mesh: counts, coordinates and corners within the
// format's limits; otherwise false with what is wrong in one line (no "Error: " prefix).
bool ZelMeshCheck(const ZelMesh& mesh, std::string* problem);

// Appends the mesh in ZEL text to the string; coordinates with nine significant digits so that
// reading them back gives the same 32-bit floats.
void ZelMeshAppendText(const ZelMesh& mesh, std::string* text);

// Writes the mesh as a ZEL file through a temporary file renamed into place, so that the path
// holds either its old content or the whole new mesh. A mesh the reader would refuse is not
// written at all. On failure sets a one-line message. With two formatThreads a second thread
// formats every other block of the text, which gives the same file.
bool ZelMeshWrite(const ZelMesh& mesh, const std::string& path, std::string* message,
                  int formatThreads = 1);
