#pragma once

#include <string>

// Whether a file found in a walked directory is in a format zelcheck reads, judged by its name:
// ".zel", the converter's ".off", ".ply", ".obj" and ".stl", and every extension the asset
// importer lists (".gltf", ".dae", ".fbx", ".3ds", ...), in any letter case.
bool CheckFormatKnown(const std::string& path);
