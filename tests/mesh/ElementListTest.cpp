#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "mesh/ElementArena.h"
#include "mesh/ElementList.h"
#include "mesh/Face.h"
#include "mesh/HalfEdge.h"
#include "mesh/MeshVertex.h"

namespace {

TEST(ElementArena, MakesDefaultRecordsOneAfterAnotherInSmallAndMappedBlocks) {
    // 1,000 vertices fit the heap; 100,000 half-edges (5.6 MB) take a mapped block.
    for (std::size_t count : {std::size_t(1), std::size_t(1000), std::size_t(100000)}) {
        ElementArena<HalfEdge> arena;
        ASSERT_TRUE(arena.Reserve(count));
        for (std::size_t i = 0; i < count; ++i) {
            HalfEdge* h = arena.New();
            ASSERT_EQ(h, arena.Data() + i);
            EXPECT_EQ(h->id, -1);
            EXPECT_EQ(h->twin, nullptr);
            EXPECT_EQ(h->direction.x, 1.0f);
            h->id = static_cast<std::int32_t>(i);
        }
        EXPECT_EQ(arena.Size(), count);
        // Every record keeps what was written into it.
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(arena.Data()[i].id, static_cast<std::int32_t>(i));
        }
        arena.Release();
        EXPECT_EQ(arena.Data(), nullptr);
        EXPECT_EQ(arena.Size(), 0u);
    }
}

TEST(ElementArena, ReserveStartsOverAndZeroNeedsNoBlock) {
    ElementArena<MeshVertex> arena;
    ASSERT_TRUE(arena.Reserve(0));
    EXPECT_EQ(arena.Data(), nullptr);
    ASSERT_TRUE(arena.Reserve(4));
    arena.New()->id = 7;
    ASSERT_TRUE(arena.Reserve(4));
    EXPECT_EQ(arena.Size(), 0u);
    EXPECT_EQ(arena.New()->id, -1);
}

TEST(ElementArena, AnAdoptedPoolHandsItsPreparedBlocksToThatThreadOnly) {
    constexpr std::size_t kMapped = kElementArenaMappedMinimum;
    ElementArenaPool pool;
    // prepared on another thread, as zelcheck does while it parses; heap sizes are left out
    std::thread preparing([&pool] {
        ElementArenaPoolPrepare(pool, {kMapped, 1000, 3 * kMapped + 5});
    });
    preparing.join();
    ASSERT_EQ(pool.blocks.size(), 2u);
    void* const prepared = pool.blocks[1].memory;

    // a thread that has not adopted the pool maps its own blocks
    std::thread other([] {
        void* block = ElementArenaAllocate(kMapped);
        ASSERT_NE(block, nullptr);
        ElementArenaRelease(block, kMapped);
    });
    other.join();
    ASSERT_EQ(pool.blocks.size(), 2u);

    ElementArenaPoolAdopt(&pool);
    // the same page count takes the prepared block, zero-filled like a new one
    unsigned char* taken = static_cast<unsigned char*>(ElementArenaAllocate(3 * kMapped + 1));
    EXPECT_EQ(taken, prepared);
    EXPECT_EQ(pool.blocks.size(), 1u);
    std::size_t nonZero = 0;
    for (std::size_t i = 0; i < 3 * kMapped + 1; ++i) {
        nonZero += taken[i] != 0 ? 1 : 0;
    }
    EXPECT_EQ(nonZero, 0u);
    // a size not prepared is mapped anew
    void* unprepared = ElementArenaAllocate(5 * kMapped);
    EXPECT_EQ(pool.blocks.size(), 1u);
    ElementArenaPoolAdopt(nullptr);
    void* afterwards = ElementArenaAllocate(kMapped);
    EXPECT_EQ(pool.blocks.size(), 1u);
    ElementArenaRelease(taken, 3 * kMapped + 1);
    ElementArenaRelease(unprepared, 5 * kMapped);
    ElementArenaRelease(afterwards, kMapped);
}

TEST(ElementArena, APoolPreparedAheadHandsOutItsBlocksAtOnceAndFaultsThemInMeanwhile) {
    constexpr std::size_t kMapped = kElementArenaMappedMinimum;
    const std::vector<std::size_t> sizes = {16 * kMapped, 1000, 4 * kMapped + 5};
    {
        ElementArenaPool pool;
        ElementArenaPoolPrepareAhead(pool, sizes);
        ASSERT_EQ(pool.blocks.size(), 2u);
        EXPECT_TRUE(ElementArenaPoolHolds(pool, sizes));
        EXPECT_FALSE(ElementArenaPoolHolds(pool, {16 * kMapped}));
        EXPECT_FALSE(ElementArenaPoolHolds(pool, {4 * kMapped + 5, 16 * kMapped}));
        EXPECT_GE(ElementArenaPoolBytes(pool), 20 * kMapped);
        ElementArenaPoolAdopt(&pool);
        // taken and written while the pool's thread may still be faulting it in
        unsigned char* taken = static_cast<unsigned char*>(ElementArenaAllocate(16 * kMapped));
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(pool.blocks.size(), 1u);
        std::size_t nonZero = 0;
        for (std::size_t i = 0; i < 16 * kMapped; i += 997) {
            nonZero += taken[i] != 0 ? 1 : 0;
            taken[i] = 1;
        }
        EXPECT_EQ(nonZero, 0u);
        // releasing it waits for the thread, which has then faulted in every block
        ElementArenaRelease(taken, 16 * kMapped);
        EXPECT_FALSE(pool.faulting.joinable());
        EXPECT_GE(pool.faultedBytes.load(), 20 * kMapped);
        ElementArenaPoolAdopt(nullptr);
        // the block not taken goes back with the pool
    }
    ElementArenaPool pool;
    ElementArenaPoolPrepareAhead(pool, sizes);
    ElementArenaPoolRelease(pool);
    EXPECT_TRUE(pool.blocks.empty());
    EXPECT_FALSE(pool.faulting.joinable());
}

TEST(ElementList, IteratesTheArenasRecordsInOrderWithCursors) {
    ElementArena<MeshVertex> arena;
    ASSERT_TRUE(arena.Reserve(5));
    const ElementList<MeshVertex> list(arena);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    std::vector<MeshVertex*> made;
    for (int i = 0; i < 5; ++i) {
        MeshVertex* v = arena.New();
        v->id = 10 + i;
        made.push_back(v);
        // the list is the arena's records as they are made, nothing to keep in step
        EXPECT_EQ(list.size(), made.size());
    }
    EXPECT_FALSE(list.empty());
    EXPECT_EQ(list.front(), made.front());
    EXPECT_EQ(list.back(), made.back());
    for (std::size_t k = 0; k < made.size(); ++k) {
        EXPECT_EQ(list[k], made[k]);
        EXPECT_EQ(list.PositionOf(made[k]), k);
    }

    std::vector<MeshVertex*> walked;
    for (MeshVertex* v : list) {
        walked.push_back(v);
    }
    EXPECT_EQ(walked, made);

    // A cursor steps both ways and compares like a list position.
    ElementList<MeshVertex>::iterator cursor = list.begin();
    ++cursor;
    EXPECT_EQ((*cursor)->id, 11);
    EXPECT_EQ((*cursor++)->id, 11);
    EXPECT_EQ((*cursor)->id, 12);
    --cursor;
    EXPECT_EQ((*cursor--)->id, 11);
    EXPECT_EQ(cursor, list.begin());
    for (int i = 0; i < 5; ++i) {
        ++cursor;
    }
    EXPECT_EQ(cursor, list.end());
    EXPECT_NE(cursor, list.begin());

    arena.Release();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
}

TEST(ElementArenaDeathTest, ARecordBeyondTheCapacityEndsTheProcessInEveryBuild) {
    ElementArena<MeshVertex> vertices;
    ASSERT_TRUE(vertices.Reserve(0));
    EXPECT_DEATH(vertices.New(), "element storage of 0 records");
    ElementArena<HalfEdge> halfEdges;
    ASSERT_TRUE(halfEdges.Reserve(2));
    halfEdges.New();
    halfEdges.New();
    EXPECT_DEATH(halfEdges.New(), "element storage of 2 records asked for one more");
}

// The records' sizes are checked where they are declared; fields moved for packing still start
// from their defaults.
TEST(ElementArena, RecordsStartFromTheirDefaults) {
    ElementArena<HalfEdge> arena;
    ASSERT_TRUE(arena.Reserve(1));
    const HalfEdge* halfEdge = arena.New();
    EXPECT_EQ(halfEdge->degenerate, 0);
    EXPECT_FALSE(halfEdge->processed);
    EXPECT_FALSE(halfEdge->crease);
    EXPECT_EQ(halfEdge->origin, nullptr);
    EXPECT_EQ(halfEdge->length, 0.0f);
}

}  // namespace
