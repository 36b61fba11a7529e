#include "convert/Weld.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

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

int ZelMeshWeld(ZelMesh* mesh) {
    const int vertexCount = ZelMeshVertexCount(*mesh);

    // open addressing on the exact bits, at most half full so probe runs stay short
    size_t capacity = 16;
    while (capacity < 2 * static_cast<size_t>(vertexCount)) {
        capacity *= 2;
    }
    const size_t mask = capacity - 1;
    std::vector<int> table(capacity, -1);
    std::vector<int> remap(static_cast<size_t>(vertexCount));
    std::vector<float> welded;
    welded.reserve(mesh->coordinates.size());

    // keep the first vertex at each position, numbered in order of first appearance
    int weldedCount = 0;
    for (int v = 0; v < vertexCount; ++v) {
        const float* p = &mesh->coordinates[3 * static_cast<size_t>(v)];
        const uint32_t x = WeldCoordinateBits(p[0]);
        const uint32_t y = WeldCoordinateBits(p[1]);
        const uint32_t z = WeldCoordinateBits(p[2]);
        size_t slot = WeldHash(x, y, z) & mask;
        while (true) {
            const int candidate = table[slot];
            if (candidate < 0) {
                table[slot] = weldedCount;
                remap[v] = weldedCount;
                welded.insert(welded.end(), p, p + 3);
                ++weldedCount;
                break;
            }
            const float* q = &welded[3 * static_cast<size_t>(candidate)];
            if (WeldCoordinateBits(q[0]) == x && WeldCoordinateBits(q[1]) == y &&
                WeldCoordinateBits(q[2]) == z) {
                remap[v] = candidate;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }

    // renumber the corners
    for (int& index : mesh->indices) {
        assert(index >= 0 && index < vertexCount);
        index = remap[index];
    }
    mesh->coordinates.swap(welded);
    return weldedCount;
}
