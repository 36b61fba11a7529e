#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "mesh/ElementArena.h"
#include "platform/Platform.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

// The storage and the platform calls under it. This source is built twice: against the Linux
// platform source and against its portable fallback (ZEL_PORTABLE_PLATFORM), and both must give
// the same storage.

namespace {

#ifdef ZEL_PORTABLE_PLATFORM
constexpr bool kPortable = true;
#else
constexpr bool kPortable = false;
#endif

// A record with defaults, as the mesh's records have.
struct Record {
    std::int32_t id = -1;
    float weight = 1.0f;
    Record* link = nullptr;
};

bool AllZero(const void* block, std::size_t bytes) {
    const unsigned char* byte = static_cast<const unsigned char*>(block);
    for (std::size_t i = 0; i < bytes; ++i) {
        if (byte[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(PlatformStorage, MappedBlocksAreZeroedWritableAndGivenBack) {
    EXPECT_GE(PlatformPageSize(), 4096u);
    EXPECT_EQ(PlatformPageSize() & (PlatformPageSize() - 1), 0u);
    // sizes below, at and between pages, and one of many pages
    for (std::size_t bytes : {std::size_t(1), PlatformPageSize(), PlatformPageSize() + 1,
                              kElementArenaMappedMinimum * 3 + 5}) {
        // mapped faulted in, or faulted in afterwards (the whole block and one page of it)
        unsigned char* block = static_cast<unsigned char*>(PlatformMapZeroed(bytes));
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(AllZero(block, bytes));
        unsigned char* later = static_cast<unsigned char*>(PlatformMapUnfaulted(bytes));
        ASSERT_NE(later, nullptr);
        PlatformFaultIn(later + bytes / PlatformPageSize() * PlatformPageSize() / 2,
                        PlatformPageSize());
        PlatformFaultIn(later, bytes);
        EXPECT_TRUE(AllZero(later, bytes));
        PlatformUnmap(later, bytes);
        for (std::size_t i = 0; i < bytes; i += 997) {
            block[i] = static_cast<unsigned char>(i % 251 + 1);
        }
        for (std::size_t i = 0; i < bytes; i += 997) {
            ASSERT_EQ(block[i], static_cast<unsigned char>(i % 251 + 1));
        }
        PlatformUnmap(block, bytes);
    }
}

TEST(PlatformStorage, ArenaMakesRecordsFromTheirDefaultsInHeapAndMappedBlocks) {
    for (std::size_t count : {std::size_t(1), std::size_t(1000), std::size_t(500000)}) {
        ElementArena<Record> arena;
        ASSERT_TRUE(arena.Reserve(count));
        for (std::size_t i = 0; i < count; ++i) {
            Record* record = arena.New();
            ASSERT_EQ(record, arena.Data() + i);
            ASSERT_EQ(record->id, -1);
            record->id = static_cast<std::int32_t>(i);
        }
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(arena.Data()[i].id, static_cast<std::int32_t>(i));
        }
    }
}

TEST(PlatformStorage, PreparedBlocksAreZeroedAndTakenBySize) {
    constexpr std::size_t kMapped = kElementArenaMappedMinimum;
    ElementArenaPool pool;
    std::thread preparing([&pool] { ElementArenaPoolPrepare(pool, {2 * kMapped, 100}); });
    preparing.join();
    ASSERT_EQ(pool.blocks.size(), 1u);
    const void* prepared = pool.blocks[0].memory;
    ElementArenaPoolAdopt(&pool);
    void* taken = ElementArenaAllocate(2 * kMapped - 3);
    ElementArenaPoolAdopt(nullptr);
    EXPECT_EQ(taken, prepared);
    EXPECT_TRUE(pool.blocks.empty());
    EXPECT_TRUE(AllZero(taken, 2 * kMapped - 3));
    ElementArenaRelease(taken, 2 * kMapped - 3);
}

TEST(PlatformFiles, SyncWritesTheFileThrough) {
    TempDirectory directory("zel-platform");
    const std::string path = directory.File("synced");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_GE(std::fputs("bytes", file), 0);
    EXPECT_TRUE(PlatformSyncFile(file));
    std::fclose(file);
    EXPECT_EQ(ReadFileBytes(path), "bytes");
}

// A /proc and cgroup tree written by the test.
class MemoryFiles : public ::testing::Test {
protected:
    void Write(const std::string& relative, const std::string& text) {
        const std::filesystem::path path = directory.Path() + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(WriteFileBytes(path.string(), text));
    }
    PlatformMemoryFiles Files() const {
        PlatformMemoryFiles files;
        files.procRoot = directory.Path() + "/proc";
        files.cgroupRoot = directory.Path() + "/cgroup";
        return files;
    }
    // The figure the files give, or none in the fallback, which reads no files.
    static std::uint64_t Expected(std::uint64_t bytes) {
        return kPortable ? kPlatformNoLimit : bytes;
    }

    TempDirectory directory{"zel-memory-files"};
};

constexpr const char* kMeminfo =
    "MemTotal:       24683752 kB\nMemFree:        22024552 kB\nSwapTotal:       2097152 kB\n";

TEST_F(MemoryFiles, PhysicalMemoryIsMemTotalPlusSwapTotal) {
    EXPECT_EQ(PlatformPhysicalMemory(Files()), kPlatformNoLimit);
    Write("proc/meminfo", kMeminfo);
    EXPECT_EQ(PlatformPhysicalMemory(Files()), Expected((24683752ULL + 2097152ULL) * 1024));
    Write("proc/meminfo", "MemTotal:  1000 kB\nSwapFree: 3 kB\n");
    EXPECT_EQ(PlatformPhysicalMemory(Files()), Expected(1000ULL * 1024));
}

TEST_F(MemoryFiles, CgroupV2TakesTheSmallestMaxOnThePathAndItsSwap) {
    Write("proc/meminfo", kMeminfo);
    Write("proc/self/cgroup", "0::/outer/inner\n");
    // no memory controller files at all: no limit
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), kPlatformNoLimit);
    Write("cgroup/outer/inner/memory.max", "max\n");
    Write("cgroup/outer/memory.max", "max\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), kPlatformNoLimit);
    // an ancestor's limit holds for its children
    Write("cgroup/outer/memory.max", "2000000000\n");
    Write("cgroup/outer/inner/memory.swap.max", "0\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(2000000000ULL));
    Write("cgroup/outer/inner/memory.max", "1200000000\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(1200000000ULL));
    // swap the group may use, as far as the system has it
    Write("cgroup/outer/inner/memory.swap.max", "1000\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(1200001000ULL));
    Write("cgroup/outer/inner/memory.swap.max", "max\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(1200000000ULL + 2097152ULL * 1024));
    // the same tree beside v1's, in "unified"; no memory.swap.max means any swap
    Write("proc/self/cgroup", "0::/elsewhere\n");
    Write("cgroup/unified/elsewhere/memory.max", "300000000\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(300000000ULL + 2097152ULL * 1024));
}

TEST_F(MemoryFiles, CgroupV1TakesTheMemoryControllersSmallestLimit) {
    Write("proc/meminfo", "MemTotal: 1000000 kB\nSwapTotal: 0 kB\n");
    Write("proc/self/cgroup", "9:name=systemd:/\n4:cpu,memory:/jobs/one\n0::/\n");
    // "no limit" is written as a value near 2^63
    Write("cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n");
    Write("cgroup/memory/jobs/one/memory.limit_in_bytes", "9223372036854771712\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), kPlatformNoLimit);
    Write("cgroup/memory/jobs/memory.limit_in_bytes", "536870912\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(536870912ULL));
    // memory and swap together, where that is set lower
    Write("proc/meminfo", "MemTotal: 1000000 kB\nSwapTotal: 1000000 kB\n");
    Write("cgroup/memory/jobs/one/memory.memsw.limit_in_bytes", "600000000\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), Expected(600000000ULL));
    // a line for other controllers names no memory limit
    Write("proc/self/cgroup", "4:cpu:/jobs/one\n");
    EXPECT_EQ(PlatformCgroupMemoryLimit(Files()), kPlatformNoLimit);
}

TEST(PlatformProcess, ReportsWhatItHoldsOrNothingInTheFallback) {
    std::vector<char> held(64 << 20, 1);
    if (kPortable) {
        EXPECT_EQ(PlatformResidentBytes(), 0u);
        EXPECT_EQ(PlatformAddressSpaceBytes(), 0u);
        EXPECT_EQ(PlatformAddressSpaceLimit(), kPlatformNoLimit);
        EXPECT_EQ(PlatformDataLimit(), kPlatformNoLimit);
        return;
    }
    rlimit data{};
    ASSERT_EQ(getrlimit(RLIMIT_DATA, &data), 0);
    EXPECT_EQ(PlatformDataLimit(),
              data.rlim_cur == RLIM_INFINITY ? kPlatformNoLimit : std::uint64_t(data.rlim_cur));
    EXPECT_GE(PlatformResidentBytes(), held.size());
    EXPECT_GE(PlatformAddressSpaceBytes(), PlatformResidentBytes());
}

}  // namespace
