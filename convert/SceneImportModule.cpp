// The importer as a module the viewer loads only when a file needs it, so that a viewer opening
// a ZEL or PLY file does not pay for loading the importer's libraries at start.
#include "convert/SceneImport.h"

extern "C" __attribute__((visibility("default"))) bool ZelSceneImport(const std::string& path,
                                                                      MeshFileContent* content,
                                                                      bool* recognised,
                                                                      std::string* message) {
    return SceneImport(path, content, recognised, message);
}
