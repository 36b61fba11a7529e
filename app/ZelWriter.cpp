#include <cassert>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "app/ZelMesh.h"
#include "app/ZelTextBlocks.h"
#include "platform/Platform.h"

namespace {

// Nine significant digits are the fewest that bring every 32-bit float back unchanged.
constexpr int kFloatDigits = 9;

void ZelWriterAppendFloat(float value, std::string* text) {
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                                      std::chars_format::general, kFloatDigits);
    assert(result.ec == std::errc());
    text->append(buffer, result.ptr);
}

void ZelWriterAppendInt(int value, std::string* text) {
    char buffer[16];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    assert(result.ec == std::errc());
    text->append(buffer, result.ptr);
}

bool ZelWriterFail(const std::string& path, const std::string& reason, std::string* message) {
    *message = "Error: cannot write \"" + path + "\": " + reason;
    return false;
}

// Creates a new file of a name not in use beside path, for writing; null (errno set) on failure.
std::FILE* ZelWriterCreateTemporary(const std::string& path, std::string* temporaryPath) {
    constexpr int kAttempts = 100;
    unsigned long long tag = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kAttempts; ++attempt, tag = tag * 6364136223846793005ULL + 1) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%06llx", (tag >> 20) & 0xffffffULL);
        *temporaryPath = path + suffix;
        // "x": fails when the name exists, so no other file is ever overwritten
        errno = 0;
        if (std::FILE* file = std::fopen(temporaryPath->c_str(), "wbx")) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

int ZelMeshAddVertex(ZelMesh& mesh, double x, double y, double z) {
    mesh.coordinates.insert(mesh.coordinates.end(),
                            {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    return ZelMeshVertexCount(mesh) - 1;
}

void ZelMeshAddFace(ZelMesh& mesh, int a, int b, int c) {
    mesh.indices.insert(mesh.indices.end(), {a, b, c});
}

bool ZelMeshCheck(const ZelMesh& mesh, std::string* problem) {
    // the same limits, and the same wording, as the reader's
    const size_t vertexCount = mesh.coordinates.size() / 3;
    const size_t faceCount = mesh.indices.size() / 3;
    const size_t limit = static_cast<size_t>(kMaxMeshElementCount);
    if (vertexCount > limit || faceCount > limit) {
        *problem = std::string(vertexCount > limit ? "vertex" : "face") + " count " +
                   std::to_string(vertexCount > limit ? vertexCount : faceCount) +
                   " is too large (at most " + std::to_string(kMaxMeshElementCount) + ")";
        return false;
    }
    for (size_t i = 0; i < mesh.coordinates.size(); ++i) {
        const float value = mesh.coordinates[i];
        if (!std::isfinite(value) || std::fabs(value) > kMaxCoordinate) {
            std::string text;
            ZelWriterAppendFloat(value, &text);
            *problem = "coordinate " + text + " of vertex " + std::to_string(i / 3) +
                       (std::isfinite(value) ? " is out of range (-1e9 to 1e9)" : " is not finite");
            return false;
        }
    }
    for (size_t i = 0; i < mesh.indices.size(); ++i) {
        if (mesh.indices[i] < 0 || static_cast<size_t>(mesh.indices[i]) >= vertexCount) {
            *problem = "corner " + std::to_string(mesh.indices[i]) + " of face " +
                       std::to_string(i / 3) + " is outside the vertex numbers 0 to " +
                       std::to_string(static_cast<long>(vertexCount) - 1);
            return false;
        }
    }
    return true;
}

void ZelMeshAppendText(const ZelMesh& mesh, std::string* text) {
    text->reserve(text->size() + 16 * mesh.coordinates.size() + 12 * mesh.indices.size() + 32);
    text->append("ZEL\n");
    ZelWriterAppendInt(ZelMeshVertexCount(mesh), text);
    text->push_back(' ');
    ZelWriterAppendInt(ZelMeshFaceCount(mesh), text);
    text->push_back('\n');
    for (size_t i = 0; i < mesh.coordinates.size(); ++i) {
        ZelWriterAppendFloat(mesh.coordinates[i], text);
        text->push_back(i % 3 == 2 ? '\n' : ' ');
    }
    for (size_t i = 0; i < mesh.indices.size(); ++i) {
        ZelWriterAppendInt(mesh.indices[i], text);
        text->push_back(i % 3 == 2 ? '\n' : ' ');
    }
}

bool ZelMeshWrite(const ZelMesh& mesh, const std::string& path, std::string* message,
                  int formatThreads) {
    std::string problem;
    if (!ZelMeshCheck(mesh, &problem)) {
        *message = "Error: cannot write \"" + path + "\" as ZEL: " + problem;
        return false;
    }
    // the temporary sits next to the output so that the rename stays on one file system; it is
    // made as a plain new file is, with the permissions the user's mask gives
    std::string temporaryPath;
    std::FILE* file = ZelWriterCreateTemporary(path, &temporaryPath);
    if (file == nullptr) {
        return ZelWriterFail(path, std::strerror(errno != 0 ? errno : EIO), message);
    }
    std::string reason;
    bool written = false;
    // a few blocks of text are the only memory writing takes
    try {
        written = ZelTextBlocks(mesh, formatThreads, [file](const char* text, std::size_t size) {
            return std::fwrite(text, 1, size, file) == size;
        });
        if (!written) {
            reason = std::strerror(errno != 0 ? errno : EIO);
        }
    } catch (const std::bad_alloc&) {
        reason = "not enough memory";
    }
    if (written && !PlatformSyncFile(file)) {
        written = false;
        reason = std::strerror(errno != 0 ? errno : EIO);
    }
    if (std::fclose(file) != 0 && written) {
        written = false;
        reason = std::strerror(errno != 0 ? errno : EIO);
    }
    if (written) {
        // replaces the output in one step, also where it exists (std::rename need not)
        std::error_code error;
        std::filesystem::rename(temporaryPath, path, error);
        if (!error) {
            return true;
        }
        reason = error.message();
    }
    std::remove(temporaryPath.c_str());
    return ZelWriterFail(path, reason, message);
}
