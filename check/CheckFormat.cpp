#include "check/CheckFormat.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <set>

#include "app/MeshFile.h"
#include "convert/SceneImport.h"

namespace {

// The extensions, lower case and without the dot; the importer's list reads "*.3ds;*.ac;...".
std::set<std::string> CheckFormatExtensions() {
    std::set<std::string> extensions;
    const std::string list = SceneImportExtensionList();
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string entry = list.substr(start, end - start);
        if (entry.compare(0, 2, "*.") == 0) {
            entry.erase(0, 2);
        }
        std::transform(entry.begin(), entry.end(), entry.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        // A bare ".xml" is far more often a dataset's metadata than a mesh; the importer's XML
        // meshes have names of their own (".mesh.xml", ".irrmesh").
        if (!entry.empty() && entry != "xml") {
            extensions.insert(entry);
        }
        start = end + 1;
    }
    return extensions;
}

}  // namespace

bool CheckFormatKnown(const std::string& path) {
    if (MeshFileFormatOfExtension(path) != MeshFileFormat::kNone) {
        return true;
    }
    // Built once; the first call comes from the walk, before any file is read.
    static const std::set<std::string> extensions = CheckFormatExtensions();
    const std::size_t slash = path.rfind('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Every dot starts a candidate, so two-part extensions such as "mesh.xml" are found too.
    for (std::size_t dot = name.find('.'); dot != std::string::npos;
         dot = name.find('.', dot + 1)) {
        if (extensions.count(name.substr(dot + 1)) != 0) {
            return true;
        }
    }
    return false;
}
