#pragma once

#include <string>
#include <vector>

#include "app/ZelMesh.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

// The unit cube, eight corners and twelve outward triangles:
//
//       7-------6        z up, y back
//      /|      /|        bottom 0 1 2 3, top 4 5 6 7
//     4-------5 |
//     | 3-----|-2
//     |/      |/
//     0-------1
ZelMesh CubeMesh();

// The six faces of the cube as outward quads, corner numbers as in CubeMesh.
std::vector<int> CubeQuads();

// The cube's triangles as a binary STL, every triangle with its own three vertices.
std::string CubeBinaryStl();

// The cube's triangles as an ASCII STL.
std::string CubeAsciiStl();

// The cube's quads as an OBJ with one normal and texture coordinate set per face, so that every
// corner is split at a seam.
std::string CubeObjWithSeams();

// The cube's quads as an ASCII PLY.
std::string CubeAsciiPly();

// The cube's quads as a binary PLY, little-endian unless asked.
std::string CubeBinaryPly(bool bigEndian = false);

// The cube's quads as an OFF file.
std::string CubeOff();

// A glTF 2.0 file with two one-triangle meshes placed by translated nodes: mesh 0 is (0,0,0)
// (1,0,0) (0,1,0) moved by (0,0,5), mesh 1 is (0,0,0) (0,0,2) (0,2,0) moved by (10,0,0).
std::string TwoMeshGltf();

// A glTF 2.0 file with the two meshes of TwoMeshGltf and the given JSON arrays of nodes and of
// the scene's root nodes.
std::string GltfWithNodes(const std::string& nodes, const std::string& rootNodes);

// A COLLADA file holding the unit square in z = 0 as one quad, under a node moved by (2,3,4).
std::string TranslatedSquareCollada();

// Signed volume enclosed by the mesh's triangles: positive for outward winding.
double SignedVolume(const ZelMesh& mesh);

// Runs a program with the arguments, standard error captured; returns its exit status, or -1
// when it did not exit normally.
int RunProgram(const std::vector<std::string>& arguments, std::string* standardError);

// The same, with standard output captured as well.
int RunProgram(const std::vector<std::string>& arguments, std::string* standardOutput,
               std::string* standardError);
