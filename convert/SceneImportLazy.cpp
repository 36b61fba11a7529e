// SceneImport for the viewer: the importer module is loaded the first time a file needs it,
// from beside the program (ZEL_SCENE_IMPORT_MODULE, relative to the program's folder).
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

#include "convert/SceneImport.h"

namespace {

using SceneImportFunction = bool (*)(const std::string&, MeshFileContent*, bool*, std::string*);

// The module's path: the program's folder and the relative path it is installed at.
std::string SceneModulePath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return ZEL_SCENE_IMPORT_MODULE;
    }
    std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1) + ZEL_SCENE_IMPORT_MODULE;
}

SceneImportFunction SceneLoad(std::string* problem) {
    static std::once_flag once;
    static SceneImportFunction function = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        const std::string path = SceneModulePath();
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* error = ::dlerror();
            failure = error != nullptr ? error : path;
            return;
        }
        function = reinterpret_cast<SceneImportFunction>(::dlsym(module, "ZelSceneImport"));
        if (function == nullptr) {
            failure = path + " has no ZelSceneImport";
        }
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
