#pragma once

#include <fstream>

// Largest vertex or face count a ZEL file may declare; larger counts are refused before allocating.
constexpr int kMaxMeshElementCount = 100000000;

// Largest coordinate magnitude a ZEL file may hold; beyond it the float geometry pass (cross
// products, squared lengths) overflows and the mesh gets infinite or NaN normals, radius and view.
constexpr float kMaxCoordinate = 1e9f;

// Reads the ZEL file at path into new[]-allocated arrays the caller delete[]s; on false (with a
// one-line message on standard error) the out-parameters are left as they were.
bool ReadMeshFile(const char* path, float** coordinates, int** indices, int* vertexCount,
                  int* faceCount);

// Opens stream on path for reading unless it is open already; false with a message otherwise.
bool OpenMeshFile(const char* path, std::ifstream& stream);
