#include "mesh/ElementArena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {

// Transparent huge pages come in 2 MiB; a block aligned to them can be backed by them fully.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Smaller blocks come from the heap, where one more mapping would cost more than it saves
// (and where the address sanitizer watches their ends).
constexpr std::size_t kMappedMinimum = kHugePage;

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

}  // namespace

void* ElementArenaAllocate(std::size_t bytes) {
    if (bytes < kMappedMinimum) {
        return std::calloc(1, bytes);
    }
    // Map a huge page more than needed and trim both ends, so the block starts on a huge page.
    const std::size_t size = RoundUp(bytes, kHugePage);
    void* mapped =
        mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = RoundUp(start, kHugePage);
    if (aligned > start) {
        munmap(mapped, aligned - start);
    }
    const std::uintptr_t tail = aligned + size;
    const std::uintptr_t end = start + size + kHugePage;
    if (end > tail) {
        munmap(reinterpret_cast<void*>(tail), end - tail);
    }
    // First writes to fresh pages are the dearest part of building a large mesh; huge pages take
    // one fault where small ones take 512. Without them the block still works, only slower.
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void ElementArenaRelease(void* block, std::size_t bytes) {
    if (bytes < kMappedMinimum) {
        std::free(block);
        return;
    }
    munmap(block, RoundUp(bytes, kHugePage));
}
