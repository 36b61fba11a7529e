#pragma once

#include <string>

#include "app/MeshFile.h"

enum class MeshImportResult { kRead, kRefused, kNotRecognised };

// The one way every program reads a mesh file: ZEL, OFF, PLY, OBJ and STL by the native readers
// (chosen by content, then by extension), any other format through the importer; welded as the
// options say (by default as the format's data suggests: STL and the importer's formats are,
// the indexed formats are not). On kRefused sets a one-line "Error: " message; kNotRecognised
// (with the importer's message) when no reader knows the file at all.
MeshImportResult MeshImport(const std::string& path, const MeshFileOptions& options,
                            MeshFileContent* content, std::string* message);
