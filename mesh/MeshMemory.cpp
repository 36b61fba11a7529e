#include "mesh/MeshMemory.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "mesh/Mesh.h"

namespace {

// The reader's arrays: three floats a vertex, three ints a face.
constexpr std::uint64_t kArrayBytesPerVertex = 3 * sizeof(float);
constexpr std::uint64_t kArrayBytesPerFace = 3 * sizeof(int);
// The OpenGL driver's share, measured with Mesa's llvmpipe (Debian 12, two cores) at 1M and 10M
// faces: the window and context, the first frame and the display lists, each a fixed part and a
// part per face. The driver reserves far more address space than it uses (its code, a stack and
// a heap arena for each of its threads); below that reservation it fails at random, aborting or
// crashing as often as reporting an error, so it counts in full against an address-space limit.
constexpr std::uint64_t kDriverContextBytes = 80000000;
constexpr std::uint64_t kDriverAddressSpaceBytes = 640000000;
// Of the address space, what GLUT's connection to the display takes (the driver's libraries),
// which the viewer has while it builds the mesh; without a limit of its own it also makes its
// window and context meanwhile, whose memory is all of the context's.
constexpr std::uint64_t kDriverLoadAddressSpaceBytes = 220000000;
constexpr std::uint64_t kFirstFrameBytes = 22000000;
constexpr double kFirstFrameBytesPerFace = 10.4;
constexpr std::uint64_t kDrawListBytes = 5000000;
constexpr double kIndexedDrawListBytesPerFace = 39.5;
constexpr double kDrawListBytesPerFace = 86.0;

std::uint64_t PerFace(double bytes, int faceCount) {
    return static_cast<std::uint64_t>(bytes * static_cast<double>(std::max(faceCount, 0)));
}

// One figure in GB (or MB below a GB) with the given decimals.
std::string MemoryText(std::uint64_t bytes, int decimals) {
    char text[64];
    if (bytes >= 1000000000) {
        std::snprintf(text, sizeof text, "%.*f GB", decimals, static_cast<double>(bytes) / 1e9);
    } else {
        std::snprintf(text, sizeof text, "%.*f MB", decimals, static_cast<double>(bytes) / 1e6);
    }
    return text;
}

std::string ShortfallText(std::uint64_t need, std::uint64_t ceiling) {
    int decimals = 1;
    while (decimals < 3 && MemoryText(need, decimals) == MemoryText(ceiling, decimals)) {
        ++decimals;
    }
    return "needs " + MemoryText(need, decimals) + ", at most " + MemoryText(ceiling, decimals) +
           " can be had";
}

}  // namespace

MeshMemoryAmount MeshMemoryNeed(int vertexCount, int faceCount, MeshMemoryUse use,
                                const MeshMemoryAmount& held) {
    const std::uint64_t vertices = static_cast<std::uint64_t>(std::max(vertexCount, 0));
    const std::uint64_t faces = static_cast<std::uint64_t>(std::max(faceCount, 0));
    // the element records, then the matching table, as Mesh::StorageSizes names their blocks
    const std::vector<std::size_t> sizes = Mesh::StorageSizes(vertexCount, faceCount);
    const std::uint64_t records = sizes[0] + sizes[1] + sizes[2];
    const std::uint64_t table = sizes[3] + sizes[4];
    const std::uint64_t coordinates = kArrayBytesPerVertex * vertices;
    const std::uint64_t corners = kArrayBytesPerFace * faces;
    MeshMemoryAmount peak;
    switch (use) {
        case MeshMemoryUse::kView: {
            // The storage (elements and table) is prepared from the header's counts while the
            // arrays are read, and the arrays are kept until matching is done, while GLUT loads
            // the driver (and, without a limit, makes the window). The first frame comes once
            // the table is gone.
            const std::uint64_t building = coordinates + corners + records + table;
            const std::uint64_t frame =
                kFirstFrameBytes + PerFace(kFirstFrameBytesPerFace, faceCount);
            peak.resident =
                std::max(building + kDriverContextBytes, records + kDriverContextBytes + frame);
            peak.addressSpace = std::max(building + kDriverLoadAddressSpaceBytes,
                                         records + kDriverAddressSpaceBytes + frame);
            break;
        }
        case MeshMemoryUse::kViewArraysHeld: {
            // What the held arrays take is part of held; the peak adds what comes on top of them,
            // the frame's part after they are released.
            const std::uint64_t arrays = coordinates + corners;
            const std::uint64_t building = records + table;
            const std::uint64_t frame =
                kFirstFrameBytes + PerFace(kFirstFrameBytesPerFace, faceCount);
            const auto beyondArrays = [arrays](std::uint64_t bytes) {
                return bytes > arrays ? bytes - arrays : 0;
            };
            peak.resident = std::max(building + kDriverContextBytes,
                                     beyondArrays(records + kDriverContextBytes + frame));
            peak.addressSpace = std::max(building + kDriverLoadAddressSpaceBytes,
                                         beyondArrays(records + kDriverAddressSpaceBytes + frame));
            break;
        }
        case MeshMemoryUse::kCheck:
            // the reader's block buffer is held already when the counts are known
            peak.resident = peak.addressSpace = coordinates + corners + records + table;
            break;
        case MeshMemoryUse::kCheckArraysHeld:
            peak.resident = peak.addressSpace = records + table;
            break;
    }
    return {held.resident + peak.resident, held.addressSpace + peak.addressSpace};
}

MeshMemoryAmount MeshMemoryHeld() {
    return {PlatformResidentBytes(), PlatformAddressSpaceBytes()};
}

std::uint64_t MeshMemoryDrawListNeed(int faceCount, bool vertexNormals) {
    return kDrawListBytes +
           PerFace(vertexNormals ? kIndexedDrawListBytesPerFace : kDrawListBytesPerFace, faceCount);
}

MeshMemoryAmount MeshMemoryCeiling(const PlatformMemoryFiles& files,
                                   std::uint64_t addressSpaceLimit) {
    return {std::min(PlatformPhysicalMemory(files), PlatformCgroupMemoryLimit(files)),
            addressSpaceLimit};
}

MeshMemoryAmount MeshMemoryCeilingOfProcess() {
    return MeshMemoryCeiling(PlatformMemoryFiles(), PlatformAddressSpaceLimit());
}

bool MeshMemoryBoundByMachineOnly() {
    const PlatformMemoryFiles files;
    return PlatformAddressSpaceLimit() == kPlatformNoLimit &&
           PlatformDataLimit() == kPlatformNoLimit &&
           PlatformCgroupMemoryLimit(files) >= PlatformPhysicalMemory(files);
}

bool MeshMemoryFits(const MeshMemoryAmount& need, const MeshMemoryAmount& ceiling) {
    return need.resident <= ceiling.resident && need.addressSpace <= ceiling.addressSpace;
}

std::string MeshMemoryShortfallText(const MeshMemoryAmount& need, const MeshMemoryAmount& ceiling) {
    if (need.resident > ceiling.resident) {
        return ShortfallText(need.resident, ceiling.resident);
    }
    return ShortfallText(need.addressSpace, ceiling.addressSpace);
}
