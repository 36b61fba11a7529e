#pragma once

#include <string>

// Whether a file found in a walked directory is in a format zelcheck reads, judged by its name:
// the native ".zel", ".off", ".ply", ".obj" and ".stl", and every extension the asset importer
// lists (".gltf", ".dae", ".fbx", ".3ds", ...) but a bare ".xml", in any letter case.
bool CheckFormatKnown(const std::string& path);
