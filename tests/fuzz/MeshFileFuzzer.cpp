// Feeds arbitrary bytes to the native readers through MeshFileRead: the first byte picks the
// file's extension ('0' .zel, '1' .off, '2' .ply, '3' .obj, '4' .stl, any byte modulo 5), the
// rest is the file, whose content may still choose another reader. Every input is read a second
// time in blocks of 1 to 16 bytes, which must give the same outcome; what is accepted must hold
// corners that are vertices and coordinates the mesh can take, and is built into a Mesh.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "app/MeshFile.h"
#include "app/ZelMesh.h"
#include "mesh/Mesh.h"

namespace {

// Big inputs only slow the search down.
constexpr size_t kMaxInput = 1 << 16;

const char* const kExtensions[] = {".zel", ".off", ".ply", ".obj", ".stl"};

// One in-memory file, and a link to it under each extension, made once for the whole run.
int memoryFile = -1;
std::string links[5];

struct Outcome {
    MeshFileResult result;
    std::string messages;
    MeshFileContent content;
};

Outcome Read(const std::string& path, std::size_t blockSize) {
    MeshFileOptions options;
    options.blockSize = blockSize;
    Outcome outcome;
    std::ostringstream messages;
    outcome.result = MeshFileRead(path.c_str(), options, &outcome.content, messages);
    outcome.messages = messages.str();
    return outcome;
}

// Both arrays are allocated, empty ones too, so that the mesh never copies from null.
bool SameArrays(const MeshFileContent& a, const MeshFileContent& b) {
    if (!a.coordinates || !a.indices || !b.coordinates || !b.indices) {
        std::abort();
    }
    return a.vertexCount == b.vertexCount && a.faceCount == b.faceCount && a.warning == b.warning &&
           a.format == b.format &&
           std::memcmp(a.coordinates.get(), b.coordinates.get(), 12 * size_t(a.vertexCount)) == 0 &&
           std::memcmp(a.indices.get(), b.indices.get(), 12 * size_t(a.faceCount)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The mesh reports on std::cerr; the fuzzer needs none of it.
    std::cerr.setstate(std::ios::failbit);
    memoryFile = memfd_create("fuzz-input", 0);
    const std::string target =
        "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(memoryFile);
    char folder[] = "/tmp/zel-fuzz-XXXXXX";
    if (memoryFile < 0 || mkdtemp(folder) == nullptr) {
        std::abort();
    }
    for (int i = 0; i < 5; ++i) {
        links[i] = std::string(folder) + "/input" + kExtensions[i];
        if (symlink(target.c_str(), links[i].c_str()) != 0) {
            std::abort();
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kMaxInput) {
        return -1;
    }
    if (ftruncate(memoryFile, 0) != 0 ||
        pwrite(memoryFile, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) {
        std::abort();
    }
    const std::string& path = links[data[0] % 5];
    const Outcome whole = Read(path, kMeshReadBlockSize);
    const Outcome blocks = Read(path, 1 + size % 16);
    if (whole.result != blocks.result || whole.messages != blocks.messages ||
        (whole.result == MeshFileResult::kRead && !SameArrays(whole.content, blocks.content))) {
        std::abort();
    }
    if (whole.result != MeshFileResult::kRead) {
        // a refusal is one line; a file of no native format says nothing
        const size_t lines = std::count(whole.messages.begin(), whole.messages.end(), '\n');
        if (lines != (whole.result == MeshFileResult::kRefused ? 1u : 0u)) {
            std::abort();
        }
        return 0;
    }
    const MeshFileContent& content = whole.content;
    for (size_t i = 0; i < 3 * size_t(content.vertexCount); ++i) {
        if (!(std::fabs(content.coordinates[i]) <= kMaxCoordinate)) {
            std::abort();
        }
    }
    for (size_t i = 0; i < 3 * size_t(content.faceCount); ++i) {
        if (content.indices[i] < 0 || content.indices[i] >= content.vertexCount) {
            std::abort();
        }
    }
    if (content.vertexCount <= 20000 && content.faceCount <= 20000) {
        Mesh mesh(content.coordinates.get(), content.indices.get(), content.vertexCount,
                  content.faceCount);
        if (content.vertexCount > 0 && !std::isfinite(mesh.radius)) {
            std::abort();
        }
    }
    return 0;
}
