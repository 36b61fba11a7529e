#include "app/MeshArrays.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// Copies the first count records (three values each) into a new array of capacity records.
template <typename T>
bool Regrow(std::unique_ptr<T[]>& array, std::size_t count, std::size_t capacity) {
    std::unique_ptr<T[]> larger(new (std::nothrow) T[3 * capacity]);
    if (!larger) {
        return false;
    }
    if (count > 0) {
        std::memcpy(larger.get(), array.get(), 3 * count * sizeof(T));
    }
    array = std::move(larger);
    return true;
}

// The capacity after growing from capacity: doubled, from a modest start, within the limit.
std::size_t Grown(std::size_t capacity) {
    constexpr std::size_t kFirst = 1024;
    return std::min(std::max(2 * capacity, kFirst), static_cast<std::size_t>(kMaxMeshElementCount));
}

// The bits a coordinate is compared by; 0 and -0 are one position, so both map to +0.
uint32_t WeldCoordinateBits(float value) {
    if (value == 0.0f) {
        return 0;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Mixes the three coordinate bit patterns so that grid-like positions spread over the table.
uint64_t WeldHash(uint32_t x, uint32_t y, uint32_t z) {
    uint64_t h = x;
    h = h * 0x9E3779B97F4A7C15ull ^ y;
    h = h * 0x9E3779B97F4A7C15ull ^ z;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

}  // namespace

bool MeshArraysReserve(MeshArrays& arrays, std::size_t vertices, std::size_t triangles) {
    // empty arrays are allocated too, so a mesh without faces still has its two arrays
    if (vertices > arrays.vertexCapacity || !arrays.coordinates) {
        if (!Regrow(arrays.coordinates, static_cast<std::size_t>(arrays.vertexCount), vertices)) {
            return false;
        }
        arrays.vertexCapacity = vertices;
    }
    if (triangles > arrays.triangleCapacity || !arrays.indices) {
        if (!Regrow(arrays.indices, static_cast<std::size_t>(arrays.triangleCount), triangles)) {
            return false;
        }
        arrays.triangleCapacity = triangles;
    }
    return true;
}

bool MeshArraysGrowVertices(MeshArrays& arrays) {
    const std::size_t grown = Grown(arrays.vertexCapacity);
    if (grown <= static_cast<std::size_t>(arrays.vertexCount)) {
        arrays.outOfMemory = false;
        return false;
    }
    arrays.outOfMemory = !MeshArraysReserve(arrays, grown, 0);
    return !arrays.outOfMemory;
}

bool MeshArraysGrowTriangles(MeshArrays& arrays) {
    const std::size_t grown = Grown(arrays.triangleCapacity);
    if (grown <= static_cast<std::size_t>(arrays.triangleCount)) {
        arrays.outOfMemory = false;
        return false;
    }
    arrays.outOfMemory = !MeshArraysReserve(arrays, 0, grown);
    return !arrays.outOfMemory;
}

int WeldPositions(float* coordinates, int vertexCount, int* indices, std::size_t cornerCount) {
    // open addressing on the exact bits, at most half full so probe runs stay short
    std::size_t capacity = 16;
    while (capacity < 2 * static_cast<std::size_t>(vertexCount)) {
        capacity *= 2;
    }
    const std::size_t mask = capacity - 1;
    std::unique_ptr<int[]> table(new (std::nothrow) int[capacity]);
    std::unique_ptr<int[]> remap(new (std::nothrow) int[static_cast<std::size_t>(vertexCount) + 1]);
    if (!table || !remap) {
        return -1;
    }
    std::fill(table.get(), table.get() + capacity, -1);

    // keep the first vertex at each position, numbered in order of first appearance; a kept
    // vertex moves to a place at or before its own, so the array is compacted in place
    int weldedCount = 0;
    for (int v = 0; v < vertexCount; ++v) {
        const float* p = &coordinates[3 * static_cast<std::size_t>(v)];
        const uint32_t x = WeldCoordinateBits(p[0]);
        const uint32_t y = WeldCoordinateBits(p[1]);
        const uint32_t z = WeldCoordinateBits(p[2]);
        std::size_t slot = WeldHash(x, y, z) & mask;
        while (true) {
            const int candidate = table[slot];
            if (candidate < 0) {
                table[slot] = weldedCount;
                remap[v] = weldedCount;
                std::memmove(&coordinates[3 * static_cast<std::size_t>(weldedCount)], p,
                             3 * sizeof(float));
                ++weldedCount;
                break;
            }
            const float* q = &coordinates[3 * static_cast<std::size_t>(candidate)];
            if (WeldCoordinateBits(q[0]) == x && WeldCoordinateBits(q[1]) == y &&
                WeldCoordinateBits(q[2]) == z) {
                remap[v] = candidate;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }

    // renumber the corners
    for (std::size_t i = 0; i < cornerCount; ++i) {
        assert(indices[i] >= 0 && indices[i] < vertexCount);
        indices[i] = remap[indices[i]];
    }
    return weldedCount;
}
