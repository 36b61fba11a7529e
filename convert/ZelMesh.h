#pragma once

#include <string>
#include <vector>

// A triangle mesh as the ZEL format stores it: plain positions and three vertex numbers a face.
struct ZelMesh {
    std::vector<float> coordinates;  // x, y, z of vertex 0, then of vertex 1, and so on
    std::vector<int> indices;        // the three vertex numbers of each face in corner order
};

// Number of vertices held in the mesh's coordinates.
int ZelMeshVertexCount(const ZelMesh& mesh);

// Number of triangles held in the mesh's indices.
int ZelMeshFaceCount(const ZelMesh& mesh);

// Merges vertices at exactly the same position (0 and -0 count as the same), keeping them in the
// order of their first appearance, renumbers the faces, and returns the new vertex count.
int ZelMeshWeld(ZelMesh* mesh);

// Appends the mesh in ZEL text to the string; coordinates with nine significant digits so that
// reading them back gives the same 32-bit floats.
void ZelMeshAppendText(const ZelMesh& mesh, std::string* text);

// Writes the mesh as a ZEL file through a temporary file renamed into place, so that the path
// holds either its old content or the whole new mesh; on failure sets a one-line message.
bool ZelMeshWrite(const ZelMesh& mesh, const std::string& path, std::string* message);
