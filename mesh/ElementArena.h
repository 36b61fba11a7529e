#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

// Raw storage of at least the given size, zero-filled, from the system's pages (already faulted
// in) for large blocks; null when it cannot be had.
void* ElementArenaAllocate(std::size_t bytes);
// Returns a block from ElementArenaAllocate of the same size.
void ElementArenaRelease(void* block, std::size_t bytes);
// Ends the process with one line on standard error: a record was asked for beyond the capacity
// reserved, which would be written past the block.
[[noreturn]] void ElementArenaOverflow(std::size_t capacity);
// Blocks of at least this size are mapped from the system's pages; smaller ones come from the heap,
// where one more mapping would cost more than it saves (and the address sanitizer watches their
// ends).
constexpr std::size_t kElementArenaMappedMinimum = std::size_t(2) << 20;

// Mapped blocks faulted in ahead of time, for a thread that has work to overlap with that cost
// (zelcheck, while it parses a file, on a spare core): once a thread adopts the pool, its
// ElementArenaAllocate calls take a prepared block of the same size instead of mapping and zeroing
// one then. Blocks never taken are unmapped with the pool.
struct ElementArenaPool {
    struct Block {
        void* memory;
        std::size_t bytes;
    };
    // Prepared blocks not yet taken.
    std::vector<Block> blocks;
    // The thread of ElementArenaPoolPrepareAhead while it has not been joined.
    std::thread faulting;
    // Bytes that thread has faulted in so far.
    std::atomic<std::size_t> faultedBytes{0};

    ElementArenaPool() = default;
    ~ElementArenaPool();
    ElementArenaPool(const ElementArenaPool&) = delete;
    ElementArenaPool& operator=(const ElementArenaPool&) = delete;
};
// Maps and faults in one block for each mapped size (smaller sizes come from the heap and are
// skipped); a block that cannot be had is left out. Any thread may prepare a pool that no thread
// has adopted.
void ElementArenaPoolPrepare(ElementArenaPool& pool, const std::vector<std::size_t>& sizes);
// Maps one block for each mapped size without its pages, so that each can be taken at once, and
// starts a thread that faults them in, in the order given, while the caller goes on: a block
// taken early is partly faulted in by its first writes, which is what the thread then skips. A
// block taken from the pool must not be released (nor the pool destroyed) on another thread
// than the one that adopted it before ElementArenaPoolFinish; on the adopting thread releasing a
// mapped block waits for the faulting thread first. Without a thread to spare, the blocks are
// faulted in by their first writes.
void ElementArenaPoolPrepareAhead(ElementArenaPool& pool, const std::vector<std::size_t>& sizes);
// Waits for the thread of ElementArenaPoolPrepareAhead, if one runs.
void ElementArenaPoolFinish(ElementArenaPool& pool);
// Whether the pool's blocks are exactly those ElementArenaPoolPrepare would make for sizes.
bool ElementArenaPoolHolds(const ElementArenaPool& pool, const std::vector<std::size_t>& sizes);
// Bytes of address space the pool's blocks take.
std::size_t ElementArenaPoolBytes(const ElementArenaPool& pool);
// Waits for the pool's thread and returns every block not taken.
void ElementArenaPoolRelease(ElementArenaPool& pool);
// Makes pool the one ElementArenaAllocate draws from on the calling thread, or none for null.
void ElementArenaPoolAdopt(ElementArenaPool* pool);

// Fixed-capacity storage for records of one kind, made one after another in one block: one
// allocation per kind instead of one per record, and records in creation order in memory.
template <typename T>
class ElementArena {
    static_assert(std::is_trivially_destructible_v<T>, "records are released with the block");

public:
    ElementArena() = default;
    // Releases the block; the records need no destruction.
    ~ElementArena() { Release(); }
    ElementArena(const ElementArena&) = delete;
    ElementArena& operator=(const ElementArena&) = delete;

    // Makes room for capacity records, dropping any earlier ones; false without memory.
    bool Reserve(std::size_t capacity) {
        Release();
        if (capacity == 0) {
            return true;
        }
        records_ = static_cast<T*>(ElementArenaAllocate(capacity * sizeof(T)));
        capacity_ = records_ != nullptr ? capacity : 0;
        return records_ != nullptr;
    }
    // Constructs the next record from the arguments and returns it. The capacity must allow it:
    // this is checked in every build, since a record past it would land outside the block.
    template <typename... Arguments>
    T* New(Arguments&&... arguments) {
        if (size_ == capacity_) {
            ElementArenaOverflow(capacity_);
        }
        return new (records_ + size_++) T(std::forward<Arguments>(arguments)...);
    }
    // The first record, or null before Reserve.
    T* Data() const { return records_; }
    // Number of records made.
    std::size_t Size() const { return size_; }
    // Releases the block and every record in it.
    void Release() {
        if (records_ != nullptr) {
            ElementArenaRelease(records_, capacity_ * sizeof(T));
        }
        records_ = nullptr;
        capacity_ = 0;
        size_ = 0;
    }

private:
    T* records_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};
