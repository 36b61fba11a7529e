// SceneImport for the viewer: the importer module is loaded the first time a file needs it,
// from beside the program (ZEL_SCENE_IMPORT_MODULE, relative to the program's folder).
#include <mutex>

#include "convert/SceneImport.h"
#include "platform/Platform.h"

namespace {

using SceneImportFunction = bool (*)(const std::string&, MeshFileContent*, bool*, std::string*);

SceneImportFunction SceneLoad(std::string* problem) {
    static std::once_flag once;
    static SceneImportFunction function = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        // the module lies at the same place relative to the program in the build and the
        // installed tree
        const std::string path = PlatformProgramFolder() + ZEL_SCENE_IMPORT_MODULE;
        function = reinterpret_cast<SceneImportFunction>(
            PlatformLoadModuleFunction(path, "ZelSceneImport", &failure));
    });
    *problem = failure;
    return function;
}

}  // namespace

bool SceneImport(const std::string& path, MeshFileContent* content, bool* recognised,
                 std::string* message) {
    std::string problem;
    const SceneImportFunction function = SceneLoad(&problem);
    if (function == nullptr) {
        // not a file no reader knows: the reader that might know it is missing
        *recognised = true;
        *message = "Error: cannot import \"" + path + "\": the importer could not be loaded (" +
                   problem + ")";
        return false;
    }
    return function(path, content, recognised, message);
}
