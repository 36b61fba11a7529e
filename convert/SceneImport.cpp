#include "convert/SceneImport.h"

#include <assimp/importerdesc.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "app/MeshArrays.h"

namespace {

// One placement of a mesh in the scene: which mesh, and the product of its nodes' transforms.
struct SceneInstance {
    unsigned int meshIndex;
    aiMatrix4x4 transform;
};

bool SceneFail(const std::string& text, std::string* message) {
    *message = text;
    return false;
}

// The importer's messages may span lines; errors are one line each.
std::string SceneOneLine(const char* text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

// The importer's own name without the trailing word, e.g. "Stereolithography (STL)".
std::string SceneFormatName(const Assimp::Importer& importer) {
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
std::vector<SceneInstance> SceneCollectInstances(const aiScene& scene) {
    std::vector<SceneInstance> instances;
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
    std::stable_sort(
        instances.begin(), instances.end(),
        [](const SceneInstance& a, const SceneInstance& b) { return a.meshIndex < b.meshIndex; });
    return instances;
}

// Appends one placed mesh's vertices, moved by the transform, and its polygons fanned into
// triangles, renumbered after the vertices already in the arrays.
bool SceneAppendMesh(const aiMesh& source, const aiMatrix4x4& transform, const std::string& path,
                     MeshArrays* arrays, MeshFileContent* content, std::string* message) {
    const int base = arrays->vertexCount;
    const bool moved = !transform.IsIdentity();
    const std::string tooLarge = "Error: \"" + path + "\" has more than " +
                                 std::to_string(kMaxMeshElementCount) +
                                 " vertices or triangles, the most a mesh may have";
    for (unsigned int v = 0; v < source.mNumVertices; ++v) {
        const aiVector3D p = moved ? transform * source.mVertices[v] : source.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return SceneFail(
                "Error: \"" + path + "\" has a vertex position that is not a finite number",
                message);
        }
        if (std::fabs(p.x) > kMaxCoordinate || std::fabs(p.y) > kMaxCoordinate ||
            std::fabs(p.z) > kMaxCoordinate) {
            return SceneFail(
                "Error: \"" + path + "\" has a vertex position out of range (-1e9 to 1e9)",
                message);
        }
        float* vertex = MeshArraysAddVertex(*arrays);
        if (vertex == nullptr) {
            return SceneFail(tooLarge, message);
        }
        vertex[0] = p.x;
        vertex[1] = p.y;
        vertex[2] = p.z;
    }
    for (unsigned int f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices < 3) {
            ++content->droppedElements;
            continue;
        }
        PolygonFan fan;
        for (unsigned int c = 0; c < face.mNumIndices; ++c) {
            if (face.mIndices[c] >= source.mNumVertices) {
                return SceneFail(
                    "Error: \"" + path + "\" has a face with a vertex number out of range",
                    message);
            }
            if (!PolygonFanAdd(fan, *arrays, base + static_cast<int>(face.mIndices[c]))) {
                return SceneFail(tooLarge, message);
            }
        }
        ++content->polygonsRead;
    }
    return true;
}

// The importer keeps state that all its instances share while they read (a thread sanitizer run
// saw two reads race inside it), so reads through it take turns.
std::mutex importerMutex;

}  // namespace

bool SceneImport(const std::string& path, MeshFileContent* content, bool* recognised,
                 std::string* message) {
    std::lock_guard<std::mutex> lock(importerMutex);
    // no post-processing: triangulation is done once for every format, and the joining and
    // pre-transform steps regroup meshes and weld by more than position
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    *recognised = scene != nullptr || importer.GetPropertyInteger("importerIndex", -1) >= 0;
    if (scene == nullptr) {
        return SceneFail(
            "Error: cannot import \"" + path + "\": " + SceneOneLine(importer.GetErrorString()),
            message);
    }
    MeshFileContent result;
    result.format = SceneFormatName(importer);
    result.meshCount = static_cast<int>(std::min<unsigned int>(scene->mNumMeshes, INT_MAX));

    const std::vector<SceneInstance> instances = SceneCollectInstances(*scene);
    MeshArrays arrays;
    if (!MeshArraysReserve(arrays, 0, 0)) {
        return SceneFail("Error: \"" + path + "\" needs more memory than there is to be read",
                         message);
    }
    for (const SceneInstance& instance : instances) {
        const aiMesh& source = *scene->mMeshes[instance.meshIndex];
        // a mesh of points or lines alone has no surface, so its vertices are left out too
        const bool surface = std::any_of(source.mFaces, source.mFaces + source.mNumFaces,
                                         [](const aiFace& face) { return face.mNumIndices >= 3; });
        if (!surface) {
            result.droppedElements += static_cast<int>(source.mNumFaces);
            continue;
        }
        if (!SceneAppendMesh(source, instance.transform, path, &arrays, &result, message)) {
            return false;
        }
    }
    result.coordinates = std::move(arrays.coordinates);
    result.indices = std::move(arrays.indices);
    result.vertexCount = arrays.vertexCount;
    result.faceCount = arrays.triangleCount;
    *content = std::move(result);
    return true;
}

std::string SceneImportExtensionList() {
    std::string list;
    Assimp::Importer().GetExtensionList(list);
    return list;
}
