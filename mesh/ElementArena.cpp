#include "mesh/ElementArena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Smaller blocks come from the heap, where one more mapping would cost more than it saves
// (and where the address sanitizer watches their ends).
constexpr std::size_t kMappedMinimum = std::size_t(2) << 20;

std::size_t RoundUpToPages(std::size_t bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* ElementArenaAllocate(std::size_t bytes) {
    if (bytes < kMappedMinimum) {
        return std::calloc(1, bytes);
    }
    // Every record of a block is written right after it is reserved, so its pages are faulted in
    // with the mapping, in one pass in the kernel instead of one trap per page. Transparent huge
    // pages were measured slower here: the kernel zeroes them from memory not touched before,
    // at about four times the cost of the small pages it recycles.
    void* block = mmap(nullptr, RoundUpToPages(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void ElementArenaRelease(void* block, std::size_t bytes) {
    if (bytes < kMappedMinimum) {
        std::free(block);
        return;
    }
    munmap(block, RoundUpToPages(bytes));
}
