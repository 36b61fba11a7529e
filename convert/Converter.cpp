#include "convert/Converter.h"

#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "convert/Weld.h"

namespace {

// One placement of a mesh in the scene: which mesh, and the product of its nodes' transforms.
struct ConvertInstance {
    unsigned int meshIndex;
    aiMatrix4x4 transform;
};

bool ConvertFail(const std::string& text, std::string* message) {
    *message = text;
    return false;
}

// The importer's messages may span lines; the summary and errors are one line each.
std::string ConvertOneLine(const char* text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

bool ConvertCheckReadable(const std::string& path, std::string* message) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        return ConvertFail("Error: cannot read \"" + path + "\": " + std::strerror(errno), message);
    }
    if (S_ISDIR(status.st_mode)) {
        return ConvertFail("Error: cannot read \"" + path + "\": it is a directory", message);
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return ConvertFail("Error: cannot read \"" + path + "\": " + std::strerror(errno), message);
    }
    std::fclose(file);
    return true;
}

// The importer's own name without the trailing word, e.g. "Stereolithography (STL)".
std::string ConvertFormatName(const Assimp::Importer& importer) {
    const int index = importer.GetPropertyInteger("importerIndex", -1);
    if (index < 0 || static_cast<size_t>(index) >= importer.GetImporterCount()) {
        return "unknown format";
    }
    std::string name = importer.GetImporterInfo(static_cast<size_t>(index))->mName;
    for (const char* suffix : {" Importer", " Reader"}) {
        const size_t length = std::strlen(suffix);
        if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0) {
            name.erase(name.size() - length);
            break;
        }
    }
    return name;
}

// Walks the node tree with an explicit stack, so a deep file cannot exhaust the call stack, and
// returns the placements ordered by mesh as the file lists them.
std::vector<ConvertInstance> ConvertCollectInstances(const aiScene& scene) {
    std::vector<ConvertInstance> instances;
    if (scene.mRootNode == nullptr) {
        return instances;
    }
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending = {
        {scene.mRootNode, scene.mRootNode->mTransformation}};
    while (!pending.empty()) {
        const auto [node, transform] = pending.back();
        pending.pop_back();
        for (unsigned int i = 0; i < node->mNumMeshes; ++i) {
            if (node->mMeshes[i] < scene.mNumMeshes) {
                instances.push_back({node->mMeshes[i], transform});
            }
        }
        // children pushed last first, so they come off the stack in file order
        for (unsigned int i = node->mNumChildren; i > 0; --i) {
            const aiNode* child = node->mChildren[i - 1];
            pending.push_back({child, transform * child->mTransformation});
        }
    }
    std::stable_sort(instances.begin(), instances.end(),
                     [](const ConvertInstance& a, const ConvertInstance& b) {
                         return a.meshIndex < b.meshIndex;
                     });
    return instances;
}

size_t ConvertTriangleCount(const aiMesh& mesh) {
    size_t triangles = 0;
    for (unsigned int f = 0; f < mesh.mNumFaces; ++f) {
        if (mesh.mFaces[f].mNumIndices == 3) {
            ++triangles;
        }
    }
    return triangles;
}

// Appends one placed mesh: its vertices moved by the transform, and its triangles renumbered
// after the vertices already in the output.
bool ConvertAppendMesh(const aiMesh& source, const aiMatrix4x4& transform, const std::string& path,
                       ZelMesh* mesh, std::string* message) {
    const size_t base = mesh->coordinates.size() / 3;
    const bool moved = !transform.IsIdentity();
    for (unsigned int v = 0; v < source.mNumVertices; ++v) {
        const aiVector3D p = moved ? transform * source.mVertices[v] : source.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return ConvertFail(
                "Error: \"" + path + "\" has a vertex position that is not a finite number",
                message);
        }
        mesh->coordinates.insert(mesh->coordinates.end(), {p.x, p.y, p.z});
    }
    for (unsigned int f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices != 3) {
            continue;
        }
        for (unsigned int c = 0; c < 3; ++c) {
            if (face.mIndices[c] >= source.mNumVertices) {
                return ConvertFail(
                    "Error: \"" + path + "\" has a face with a vertex number out of range",
                    message);
            }
            mesh->indices.push_back(static_cast<int>(base + face.mIndices[c]));
        }
    }
    return true;
}

}  // namespace

bool ConvertImport(const std::string& inputPath, bool weld, ZelMesh* mesh, ConvertSummary* summary,
                   std::string* message) {
    if (!ConvertCheckReadable(inputPath, message)) {
        return false;
    }

    // no pre-transform or vertex joining steps: they regroup meshes and weld by more than position
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(inputPath, aiProcess_Triangulate);
    if (scene == nullptr) {
        return ConvertFail("Error: cannot import \"" + inputPath +
                               "\": " + ConvertOneLine(importer.GetErrorString()),
                           message);
    }

    ConvertSummary result;
    result.format = ConvertFormatName(importer);
    result.meshCount = static_cast<int>(std::min<unsigned int>(scene->mNumMeshes, INT_MAX));
    result.welded = weld;

    // count first, so that the ZEL format's 32-bit counts are checked before anything is copied
    const std::vector<ConvertInstance> instances = ConvertCollectInstances(*scene);
    size_t vertexTotal = 0;
    size_t triangleTotal = 0;
    size_t droppedTotal = 0;
    std::vector<bool> used(instances.size(), false);
    for (size_t i = 0; i < instances.size(); ++i) {
        const aiMesh& source = *scene->mMeshes[instances[i].meshIndex];
        const size_t triangles = ConvertTriangleCount(source);
        droppedTotal += source.mNumFaces - triangles;
        // a mesh of points or lines alone has no surface, so its vertices are left out too
        if (triangles > 0) {
            used[i] = true;
            vertexTotal += source.mNumVertices;
            triangleTotal += triangles;
        }
    }
    if (triangleTotal == 0) {
        return ConvertFail("Error: \"" + inputPath + "\" holds no triangles", message);
    }
    if (vertexTotal > static_cast<size_t>(INT_MAX) ||
        triangleTotal > static_cast<size_t>(INT_MAX / 3) ||
        droppedTotal > static_cast<size_t>(INT_MAX)) {
        return ConvertFail("Error: \"" + inputPath + "\" is too large for a ZEL file", message);
    }

    ZelMesh converted;
    converted.coordinates.reserve(3 * vertexTotal);
    converted.indices.reserve(3 * triangleTotal);
    for (size_t i = 0; i < instances.size(); ++i) {
        if (used[i] && !ConvertAppendMesh(*scene->mMeshes[instances[i].meshIndex],
                                          instances[i].transform, inputPath, &converted, message)) {
            return false;
        }
    }

    result.verticesBefore = static_cast<int>(vertexTotal);
    result.verticesAfter = weld ? ZelMeshWeld(&converted) : result.verticesBefore;
    result.faceCount = static_cast<int>(triangleTotal);
    result.droppedFaces = static_cast<int>(droppedTotal);
    *mesh = std::move(converted);
    *summary = result;
    return true;
}

bool ConvertFile(const std::string& inputPath, const std::string& outputPath, bool weld,
                 ConvertSummary* summary, std::string* message) {
    ZelMesh mesh;
    ConvertSummary result;
    if (!ConvertImport(inputPath, weld, &mesh, &result, message)) {
        return false;
    }
    if (!ZelMeshWrite(mesh, outputPath, message)) {
        return false;
    }
    *summary = result;
    return true;
}

std::string ConvertSummaryText(const ConvertSummary& summary) {
    std::string text = summary.format + ": " + std::to_string(summary.meshCount) +
                       (summary.meshCount == 1 ? " mesh, " : " meshes, ") +
                       std::to_string(summary.verticesBefore) + " vertices";
    if (summary.welded) {
        text += " welded to " + std::to_string(summary.verticesAfter);
    } else {
        text += " (not welded)";
    }
    text += ", " + std::to_string(summary.faceCount) + " faces, " +
            std::to_string(summary.droppedFaces) + " points and lines dropped";
    return text;
}
