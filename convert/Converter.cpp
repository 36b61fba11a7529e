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
#include <mutex>
#include <new>
#include <vector>

#include "convert/PolygonSoup.h"
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

// Appends one placed mesh's vertices, moved by the transform, and its polygons, renumbered after
// the vertices already in the soup; points and lines are counted and left out.
bool ConvertAppendMesh(const aiMesh& source, const aiMatrix4x4& transform, const std::string& path,
                       PolygonSoup* soup, std::string* message) {
    const size_t base = soup->coordinates.size() / 3;
    const bool moved = !transform.IsIdentity();
    for (unsigned int v = 0; v < source.mNumVertices; ++v) {
        const aiVector3D p = moved ? transform * source.mVertices[v] : source.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return ConvertFail(
                "Error: \"" + path + "\" has a vertex position that is not a finite number",
                message);
        }
        soup->coordinates.insert(soup->coordinates.end(), {p.x, p.y, p.z});
    }
    for (unsigned int f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices < 3) {
            ++soup->droppedElements;
            continue;
        }
        soup->polygonSizes.push_back(static_cast<int>(face.mNumIndices));
        for (unsigned int c = 0; c < face.mNumIndices; ++c) {
            if (face.mIndices[c] >= source.mNumVertices) {
                return ConvertFail(
                    "Error: \"" + path + "\" has a face with a vertex number out of range",
                    message);
            }
            soup->corners.push_back(static_cast<int>(base + face.mIndices[c]));
        }
    }
    return true;
}

// The importer keeps state that all its instances share while they read (a thread sanitizer run
// saw two reads race inside it), so reads through it take turns.
std::mutex importerMutex;

// Reads any format the importer knows into one soup: every mesh placement in file order.
bool ConvertImportScene(const std::string& inputPath, PolygonSoup* soup, std::string* message) {
    std::lock_guard<std::mutex> lock(importerMutex);
    // no post-processing: triangulation is done once for every format, and the joining and
    // pre-transform steps regroup meshes and weld by more than position
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(inputPath, 0);
    if (scene == nullptr) {
        return ConvertFail("Error: cannot import \"" + inputPath +
                               "\": " + ConvertOneLine(importer.GetErrorString()),
                           message);
    }
    PolygonSoup result;
    result.format = ConvertFormatName(importer);
    result.meshCount = static_cast<int>(std::min<unsigned int>(scene->mNumMeshes, INT_MAX));

    // count first, so that the ZEL format's 32-bit counts are checked before anything is copied
    const std::vector<ConvertInstance> instances = ConvertCollectInstances(*scene);
    size_t vertexTotal = 0;
    size_t cornerTotal = 0;
    std::vector<bool> used(instances.size(), false);
    for (size_t i = 0; i < instances.size(); ++i) {
        const aiMesh& source = *scene->mMeshes[instances[i].meshIndex];
        for (unsigned int f = 0; f < source.mNumFaces; ++f) {
            if (source.mFaces[f].mNumIndices >= 3) {
                used[i] = true;
                cornerTotal += source.mFaces[f].mNumIndices;
            }
        }
        // a mesh of points or lines alone has no surface, so its vertices are left out too
        if (used[i]) {
            vertexTotal += source.mNumVertices;
        } else {
            result.droppedElements += source.mNumFaces;
        }
    }
    if (vertexTotal > static_cast<size_t>(INT_MAX) || cornerTotal > static_cast<size_t>(INT_MAX)) {
        return ConvertFail("Error: \"" + inputPath + "\" is too large for a ZEL file", message);
    }
    result.coordinates.reserve(3 * vertexTotal);
    result.corners.reserve(cornerTotal);
    for (size_t i = 0; i < instances.size(); ++i) {
        if (used[i] && !ConvertAppendMesh(*scene->mMeshes[instances[i].meshIndex],
                                          instances[i].transform, inputPath, &result, message)) {
            return false;
        }
    }
    *soup = std::move(result);
    return true;
}

// The whole file in memory, for the soup readers.
bool ConvertReadBytes(const std::string& path, std::string* bytes, std::string* message) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return ConvertFail("Error: cannot read \"" + path + "\": " + std::strerror(errno), message);
    }
    struct stat status;
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return ConvertFail("Error: cannot read \"" + path + "\": it is not a regular file",
                           message);
    }
    bytes->resize(static_cast<size_t>(status.st_size));
    const size_t read = std::fread(bytes->data(), 1, bytes->size(), file);
    const bool failed = std::ferror(file) != 0 || read != bytes->size();
    std::fclose(file);
    if (failed) {
        return ConvertFail("Error: cannot read \"" + path + "\": read error", message);
    }
    return true;
}

// Reads the whole input into memory and converts it.
bool ConvertImportInMemory(const std::string& inputPath, bool weld, ZelMesh* mesh,
                           ConvertSummary* summary, std::string* message) {
    if (!ConvertCheckReadable(inputPath, message)) {
        return false;
    }
    PolygonSoup soup;
    PolygonSoupFormat format;
    if (PolygonSoupFormatOfPath(inputPath, &format)) {
        std::string bytes;
        std::string problem;
        if (!ConvertReadBytes(inputPath, &bytes, message)) {
            return false;
        }
        if (!PolygonSoupRead(bytes, format, &soup, &problem)) {
            return ConvertFail("Error: \"" + inputPath + "\" " + problem, message);
        }
    } else if (!ConvertImportScene(inputPath, &soup, message)) {
        return false;
    }

    const size_t triangles = PolygonSoupTriangleCount(soup);
    if (triangles == 0) {
        return ConvertFail("Error: \"" + inputPath + "\" holds no triangles", message);
    }
    if (triangles > static_cast<size_t>(INT_MAX / 3) ||
        soup.droppedElements > static_cast<size_t>(INT_MAX)) {
        return ConvertFail("Error: \"" + inputPath + "\" is too large for a ZEL file", message);
    }
    ZelMesh converted;
    PolygonSoupTriangulate(soup, &converted);

    ConvertSummary result;
    result.format = soup.format;
    result.meshCount = soup.meshCount;
    result.polygonsRead = static_cast<int>(soup.polygonSizes.size());
    result.trianglesWritten = static_cast<int>(triangles);
    result.droppedElements = static_cast<int>(soup.droppedElements);
    result.verticesBefore = ZelMeshVertexCount(converted);
    result.verticesAfter = weld ? ZelMeshWeld(&converted) : result.verticesBefore;
    result.welded = weld;
    *mesh = std::move(converted);
    *summary = result;
    return true;
}

}  // namespace

bool ConvertImport(const std::string& inputPath, bool weld, ZelMesh* mesh, ConvertSummary* summary,
                   std::string* message) {
    // a file can be larger than the memory its data needs; the one exception the standard
    // containers throw then is turned into a message here
    try {
        return ConvertImportInMemory(inputPath, weld, mesh, summary, message);
    } catch (const std::bad_alloc&) {
        return ConvertFail("Error: not enough memory to convert \"" + inputPath + "\"", message);
    }
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
    const auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    std::string text = summary.format + ": " + count(summary.meshCount, " mesh", " meshes") + ", " +
                       count(summary.polygonsRead, " polygon", " polygons") + " read, " +
                       count(summary.trianglesWritten, " triangle", " triangles") + " written, " +
                       std::to_string(summary.droppedElements) + " points and lines dropped, " +
                       count(summary.verticesBefore, " vertex", " vertices");
    if (summary.welded) {
        text += " welded to " + std::to_string(summary.verticesAfter);
    } else {
        text += " (not welded)";
    }
    return text;
}
