#include "mesh/ElementArena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// The pool the calling thread draws from, if any.
thread_local ElementArenaPool* adoptedPool = nullptr;

std::size_t RoundUpToPages(std::size_t bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

void* MapBlock(std::size_t bytes) {
    // Every record of a block is written right after it is reserved, so its pages are faulted in
    // with the mapping, in one pass in the kernel instead of one trap per page. Transparent huge
    // pages were measured slower here: the kernel zeroes them from memory not touched before,
    // at about four times the cost of the small pages it recycles.
    void* block = mmap(nullptr, RoundUpToPages(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

// A prepared block of the same page count from the adopted pool, or null.
void* TakePrepared(std::size_t bytes) {
    if (adoptedPool == nullptr) {
        return nullptr;
    }
    std::vector<ElementArenaPool::Block>& blocks = adoptedPool->blocks;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (RoundUpToPages(blocks[i].bytes) == RoundUpToPages(bytes)) {
            void* memory = blocks[i].memory;
            blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
            return memory;
        }
    }
    return nullptr;
}

}  // namespace

void* ElementArenaAllocate(std::size_t bytes) {
    if (bytes < kElementArenaMappedMinimum) {
        return std::calloc(1, bytes);
    }
    // a prepared block is as fresh from the system as a new one, so it is zero-filled too
    if (void* prepared = TakePrepared(bytes)) {
        return prepared;
    }
    return MapBlock(bytes);
}

void ElementArenaRelease(void* block, std::size_t bytes) {
    if (bytes < kElementArenaMappedMinimum) {
        std::free(block);
        return;
    }
    munmap(block, RoundUpToPages(bytes));
}

ElementArenaPool::~ElementArenaPool() {
    if (adoptedPool == this) {
        adoptedPool = nullptr;
    }
    for (const Block& block : blocks) {
        ElementArenaRelease(block.memory, block.bytes);
    }
}

void ElementArenaPoolPrepare(ElementArenaPool& pool, const std::vector<std::size_t>& sizes) {
    for (std::size_t bytes : sizes) {
        if (bytes < kElementArenaMappedMinimum) {
            continue;
        }
        if (void* memory = MapBlock(bytes)) {
            pool.blocks.push_back({memory, bytes});
        }
    }
}

void ElementArenaPoolAdopt(ElementArenaPool* pool) {
    adoptedPool = pool;
}
