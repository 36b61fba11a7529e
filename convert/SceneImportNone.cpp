// SceneImport in a build without the Open Asset Import Library (ZEL_IMPORTER off): no format
// beyond the native ones is known, so every other file is one no reader recognises.
#include "convert/SceneImport.h"

bool SceneImport(const std::string& path, MeshFileContent*, bool* recognised,
                 std::string* message) {
    *recognised = false;
    *message = "Error: \"" + path +
               "\" is in none of the formats this build reads (ZEL, OFF, PLY, OBJ and STL)";
    return false;
}

std::string SceneImportExtensionList() {
    return std::string();
}
