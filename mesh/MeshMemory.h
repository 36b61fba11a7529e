#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// What building and showing a mesh will take in memory, known from its two counts, and what the
// process can have at most: a mesh that cannot fit is refused before anything is built.

// What the process does with the mesh, which decides its peak.
enum class MeshMemoryUse {
    // The viewer: read (the storage prepared meanwhile), build (the arrays held until matching is
    // done, GLUT loading the driver meanwhile), geometry, window and first frame; display lists
    // not included (MeshMemoryDrawListNeed).
    kView,
    // The viewer once the arrays are read and held: the same peak, the arrays not counted twice.
    kViewArraysHeld,
    // zelcheck on a file whose counts come before its data: the storage is prepared on a second
    // thread while the arrays are read, so both are held at once.
    kCheck,
    // zelcheck once the arrays are read and held: the storage and the matching table to come.
    kCheckArraysHeld,
};

// An amount of memory in two measures, in bytes.
struct MeshMemoryAmount {
    // Memory in use (resident): what physical memory, swap and a control group have to hold.
    std::uint64_t resident = 0;
    // Address space taken, used or only reserved: what an address-space limit counts.
    std::uint64_t addressSpace = 0;
};

// What the process will hold at its peak for a mesh of these counts, what it holds already
// included: the blocks the steps ask for, and for the viewer the OpenGL driver's share (Mesa's,
// measured). Within a few per cent of the measured peak from a million faces on.
MeshMemoryAmount MeshMemoryNeed(int vertexCount, int faceCount, MeshMemoryUse use,
                                const MeshMemoryAmount& held);
// What the process holds now (both measures 0 where the system does not tell).
MeshMemoryAmount MeshMemoryHeld();
// What the OpenGL driver takes for the display lists of a mesh's faces, drawn with vertex
// normals (the viewer's first choice: indexed slices) or else with face normals.
std::uint64_t MeshMemoryDrawListNeed(int faceCount, bool vertexNormals);

// The most the process can have: resident, the smaller of physical memory plus swap and the
// limit of its control group; address space, its address-space limit. kPlatformNoLimit where
// none is known.
MeshMemoryAmount MeshMemoryCeiling(const PlatformMemoryFiles& files,
                                   std::uint64_t addressSpaceLimit);
// The same for this process, from the system's files and its own limit.
MeshMemoryAmount MeshMemoryCeilingOfProcess();
// Whether the process has no memory limit of its own (no address-space or data limit, no
// control group's below the machine's memory), so that only the machine's memory, which the
// kernel hands out on trust, bounds it.
bool MeshMemoryBoundByMachineOnly();
// Whether the need fits under the ceiling in both measures.
bool MeshMemoryFits(const MeshMemoryAmount& need, const MeshMemoryAmount& ceiling);
// Why the need does not fit, e.g. "needs 31.2 GB, at most 24.0 GB can be had", in the measure
// that does not fit (resident first); GB of 10^9 bytes, MB below one GB, with as many decimals
// as it takes for the two figures to differ.
std::string MeshMemoryShortfallText(const MeshMemoryAmount& need, const MeshMemoryAmount& ceiling);
