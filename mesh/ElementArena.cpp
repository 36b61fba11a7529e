#include "mesh/ElementArena.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <system_error>

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
    // the block may be one the pool's thread is still faulting in
    if (adoptedPool != nullptr) {
        ElementArenaPoolFinish(*adoptedPool);
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
    ElementArenaPoolRelease(*this);
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

void ElementArenaPoolPrepareAhead(ElementArenaPool& pool, const std::vector<std::size_t>& sizes) {
    ElementArenaPoolFinish(pool);
    std::vector<ElementArenaPool::Block> mapped;
    try {
        mapped.reserve(sizes.size());
        pool.blocks.reserve(pool.blocks.size() + sizes.size());
    } catch (const std::bad_alloc&) {
        // nothing prepared: building maps its storage itself
        return;
    }
    for (std::size_t bytes : sizes) {
        if (bytes < kElementArenaMappedMinimum) {
            continue;
        }
        if (void* memory = PlatformMapUnfaulted(bytes)) {
            mapped.push_back({memory, bytes});
            pool.blocks.push_back({memory, bytes});
        }
    }
    // without a thread the blocks stay in the pool, faulted in by their first writes
    try {
        pool.faulting = std::thread([mapped = std::move(mapped), pool = &pool] {
            // A few MiB at a time: while the kernel faults pages in, the process's mappings
            // cannot change, and the reader's and the mesh's own allocations wait for it.
            constexpr std::size_t kFaultInStep = std::size_t(4) << 20;
            for (const ElementArenaPool::Block& block : mapped) {
                char* const start = static_cast<char*>(block.memory);
                for (std::size_t done = 0; done < block.bytes; done += kFaultInStep) {
                    const std::size_t step = std::min(kFaultInStep, block.bytes - done);
                    PlatformFaultIn(start + done, step);
                    pool->faultedBytes += step;
                }
            }
        });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

void ElementArenaPoolFinish(ElementArenaPool& pool) {
    if (pool.faulting.joinable()) {
        pool.faulting.join();
    }
}

bool ElementArenaPoolHolds(const ElementArenaPool& pool, const std::vector<std::size_t>& sizes) {
    std::size_t matched = 0;
    for (std::size_t bytes : sizes) {
        if (bytes < kElementArenaMappedMinimum) {
            continue;
        }
        if (matched == pool.blocks.size() || pool.blocks[matched].bytes != bytes) {
            return false;
        }
        ++matched;
    }
    return matched == pool.blocks.size();
}

std::size_t ElementArenaPoolBytes(const ElementArenaPool& pool) {
    std::size_t bytes = 0;
    for (const ElementArenaPool::Block& block : pool.blocks) {
        bytes += RoundUpToPages(block.bytes);
    }
    return bytes;
}

void ElementArenaPoolRelease(ElementArenaPool& pool) {
    ElementArenaPoolFinish(pool);
    for (const ElementArenaPool::Block& block : pool.blocks) {
        ElementArenaRelease(block.memory, block.bytes);
    }
    pool.blocks.clear();
}

void ElementArenaPoolAdopt(ElementArenaPool* pool) {
    adoptedPool = pool;
}
