#pragma once

#include <cstddef>
#include <fstream>
#include <functional>
#include <iostream>

#include "app/TokenCursor.h"
#include "app/ZelMesh.h"

// Reads the ZEL file at path into new[]-allocated arrays the caller delete[]s; on false (with a
// one-line message on messages, standard error by default) the out-parameters are left as they
// were. The file is read blockSize bytes at a time. countsRead, when given, is called with the
// vertex and face counts as soon as the header holds two valid ones, before the rest is read, so
// a caller can prepare for the mesh meanwhile; the rest may still be refused.
bool ReadMeshFile(const char* path, float** coordinates, int** indices, int* vertexCount,
                  int* faceCount, std::ostream& messages = std::cerr,
                  std::size_t blockSize = kMeshReadBlockSize,
                  const std::function<void(int, int)>& countsRead = nullptr);

// Opens stream on path for reading unless it is open already; false with a message otherwise.
bool OpenMeshFile(const char* path, std::ifstream& stream, std::ostream& messages = std::cerr);

// ReadMeshFile into a ZelMesh; on false the mesh is left as it was.
bool ZelMeshRead(const char* path, ZelMesh* mesh);
