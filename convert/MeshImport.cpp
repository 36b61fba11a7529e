#include "convert/MeshImport.h"

#include <sstream>

#include "convert/SceneImport.h"

MeshImportResult MeshImport(const std::string& path, const MeshFileOptions& options,
                            MeshFileContent* content, std::string* message) {
    std::ostringstream messages;
    const MeshFileResult native = MeshFileRead(path.c_str(), options, content, messages);
    if (native == MeshFileResult::kRead) {
        return MeshImportResult::kRead;
    }
    if (native == MeshFileResult::kRefused) {
        *message = messages.str();
        while (!message->empty() && message->back() == '\n') {
            message->pop_back();
        }
        return MeshImportResult::kRefused;
    }
    MeshFileContent scene;
    bool recognised = false;
    if (!SceneImport(path, &scene, &recognised, message)) {
        return recognised ? MeshImportResult::kRefused : MeshImportResult::kNotRecognised;
    }
    if (!MeshFileContentWeld(&scene, options.weld, MeshFileFormatWelds(MeshFileFormat::kNone))) {
        *message = "Error: \"" + path + "\" needs more memory than there is to be read";
        return MeshImportResult::kRefused;
    }
    *content = std::move(scene);
    return MeshImportResult::kRead;
}
