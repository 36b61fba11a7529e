#include "mesh/ElementArena.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/Platform.h"

namespace {

// The pool the calling thread draws from, if any.
thread_local ElementArenaPool* adoptedPool = nullptr;

std::size_t RoundUpToPages(std::size_t bytes) {
    const std::size_t page = PlatformPageSize();
    return (bytes + page - 1) / page * page;
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
    return PlatformMapZeroed(bytes);
}

void ElementArenaRelease(void* block, std::size_t bytes) {
    if (bytes < kElementArenaMappedMinimum) {
        std::free(block);
        return;
    }
    PlatformUnmap(block, bytes);
}

void ElementArenaOverflow(std::size_t capacity) {
    std::fprintf(stderr, "Error: element storage of %zu records asked for one more\n", capacity);
    std::abort();
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
        void* memory = PlatformMapZeroed(bytes);
        if (memory == nullptr) {
            continue;
        }
        // the pool's list grows on the heap; without room there the block is given back, as
        // one that could not be mapped
        try {
            pool.blocks.push_back({memory, bytes});
        } catch (const std::bad_alloc&) {
            ElementArenaRelease(memory, bytes);
        }
    }
}

void ElementArenaPoolAdopt(ElementArenaPool* pool) {
    adoptedPool = pool;
}
