#pragma once

#include <fstream>

#include "app/ZelMesh.h"

// Reads the ZEL file at path into new[]-allocated arrays the caller delete[]s; on false (with a
// one-line message on standard error) the out-parameters are left as they were.
bool ReadMeshFile(const char* path, float** coordinates, int** indices, int* vertexCount,
                  int* faceCount);

// Opens stream on path for reading unless it is open already; false with a message otherwise.
bool OpenMeshFile(const char* path, std::ifstream& stream);

// ReadMeshFile into a ZelMesh; on false the mesh is left as it was.
bool ZelMeshRead(const char* path, ZelMesh* mesh);
