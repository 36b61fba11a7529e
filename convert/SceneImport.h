#pragma once

#include <string>

#include "app/MeshFile.h"

// Reads a file of any format the Open Asset Import Library knows into content, every mesh
// placement in file order with its node transforms applied, polygons fanned into triangles, points
// and lines dropped and counted, nothing welded. On failure sets a one-line "Error: " message;
// recognised is false when no importer knows the file at all. Threads may call it at once.
bool SceneImport(const std::string& path, MeshFileContent* content, bool* recognised,
                 std::string* message);
// The file name patterns SceneImport reads, as "*.3ds;*.ac;..."; empty in a build without the
// importer.
std::string SceneImportExtensionList();
