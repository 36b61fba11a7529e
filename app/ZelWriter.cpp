#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/ZelMesh.h"

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

bool ZelWriterFail(const std::string& path, int error, std::string* message) {
    *message = "Error: cannot write \"" + path + "\": " + std::strerror(error);
    return false;
}

// Writes all bytes, going on after partial writes and interrupted calls.
bool ZelWriterWriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
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

bool ZelMeshWrite(const ZelMesh& mesh, const std::string& path, std::string* message) {
    std::string problem;
    if (!ZelMeshCheck(mesh, &problem)) {
        *message = "Error: cannot write \"" + path + "\" as ZEL: " + problem;
        return false;
    }
    std::string text;
    ZelMeshAppendText(mesh, &text);

    // the temporary sits next to the output so that the rename stays on one file system
    std::string temporaryPath = path + ".XXXXXX";
    std::vector<char> pattern(temporaryPath.begin(), temporaryPath.end());
    pattern.push_back('\0');
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return ZelWriterFail(path, errno, message);
    }
    temporaryPath = pattern.data();

    // mkstemp makes the file private; give it the permissions a plain new file would get
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool written =
        ::fchmod(fd, 0666 & ~mask) == 0 && ZelWriterWriteAll(fd, text) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporaryPath.c_str(), path.c_str()) == 0) {
        return true;
    }
    if (written) {
        error = errno;
    }
    ::unlink(temporaryPath.c_str());
    return ZelWriterFail(path, error, message);
}
