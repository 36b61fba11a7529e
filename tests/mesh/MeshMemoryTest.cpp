#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

namespace {

std::uint64_t Sum(const std::vector<std::size_t>& sizes) {
    std::uint64_t total = 0;
    for (std::size_t size : sizes) {
        total += size;
    }
    return total;
}

TEST(MeshMemoryNeed, CheckerHoldsTheArraysTheRecordsAndTheTableAtOnce) {
    const MeshMemoryAmount held{5000000, 14000000};
    for (const auto& [vertices, faces] : {std::pair<int, int>{0, 0}, {4, 4}, {500000, 1000000}}) {
        const std::uint64_t arrays = 12ULL * vertices + 12ULL * faces;
        const std::uint64_t storage = Sum(Mesh::StorageSizes(vertices, faces));
        const MeshMemoryAmount need = MeshMemoryNeed(vertices, faces, MeshMemoryUse::kCheck, held);
        EXPECT_EQ(need.resident, held.resident + arrays + storage);
        EXPECT_EQ(need.addressSpace, held.addressSpace + arrays + storage);
        const MeshMemoryAmount afterReading =
            MeshMemoryNeed(vertices, faces, MeshMemoryUse::kCheckArraysHeld, held);
        EXPECT_EQ(afterReading.resident, held.resident + storage);
    }
}

TEST(MeshMemoryNeed, ViewerPeaksWhileMatchingOrWhenShowingAndCountsTheDriversReservation) {
    const MeshMemoryAmount held{6000000, 14000000};
    const std::vector<std::size_t> sizes = Mesh::StorageSizes(5000000, 10000000);
    const std::uint64_t records = sizes[0] + sizes[1] + sizes[2];
    const std::uint64_t table = sizes[3] + sizes[4];
    // at 10M faces the peak is while matching: the storage prepared while reading, both arrays,
    // and the driver's libraries GLUT loads meanwhile (tens of MB)
    const MeshMemoryAmount large = MeshMemoryNeed(5000000, 10000000, MeshMemoryUse::kView, held);
    const std::uint64_t building =
        held.resident + records + table + 12ULL * 10000000 + 12ULL * 5000000;
    EXPECT_GT(large.resident, building + 20000000);
    EXPECT_LT(large.resident, building + 100000000);
    // a small mesh peaks with the driver's context and first frame
    const MeshMemoryAmount small = MeshMemoryNeed(4, 4, MeshMemoryUse::kView, held);
    EXPECT_GT(small.resident, held.resident + 50000000);
    EXPECT_LT(small.resident, held.resident + 200000000);
    // the driver reserves far more address space than it uses
    EXPECT_GT(small.addressSpace - held.addressSpace, 3 * (small.resident - held.resident));
    // more faces never need less
    std::uint64_t previous = 0;
    for (int faces : {0, 1000, 100000, 1000000, 10000000, 100000000}) {
        const MeshMemoryAmount need = MeshMemoryNeed(faces / 2, faces, MeshMemoryUse::kView, held);
        EXPECT_GE(need.resident, previous);
        EXPECT_GE(need.addressSpace, need.resident);
        previous = need.resident;
    }
    // the indexed list of vertex normals is the smaller one
    EXPECT_LT(MeshMemoryDrawListNeed(1000000, true), MeshMemoryDrawListNeed(1000000, false));
}

TEST(MeshMemoryCeiling, AProcessLimitOfItsOwnBindsItBesidesTheMachine) {
    // A data or address-space limit of the process, however large, is one of its own; the soft
    // limits are raised back afterwards, which the hard ones allow.
    for (int resource : {RLIMIT_DATA, RLIMIT_AS}) {
        rlimit before{};
        ASSERT_EQ(getrlimit(resource, &before), 0);
        if (before.rlim_cur != RLIM_INFINITY) {
            EXPECT_FALSE(MeshMemoryBoundByMachineOnly());
            continue;
        }
        rlimit limited = before;
        limited.rlim_cur = rlim_t(1) << 50;
        ASSERT_EQ(setrlimit(resource, &limited), 0);
        EXPECT_FALSE(MeshMemoryBoundByMachineOnly()) << resource;
        ASSERT_EQ(setrlimit(resource, &before), 0);
    }
}

TEST(MeshMemoryCeiling, TakesTheSmallestOfMemoryPlusSwapAndTheGroupAndKeepsTheAddressSpaceLimit) {
    TempDirectory directory("zel-mesh-memory");
    PlatformMemoryFiles files;
    files.procRoot = directory.File("proc");
    files.cgroupRoot = directory.File("cgroup");
    std::filesystem::create_directories(directory.File("proc/self"));
    std::filesystem::create_directories(directory.File("cgroup/job"));
    ASSERT_TRUE(WriteFileBytes(directory.File("proc/meminfo"),
                               "MemTotal: 8000000 kB\nSwapTotal: 1000000 kB\n"));
    ASSERT_TRUE(WriteFileBytes(directory.File("proc/self/cgroup"), "0::/job\n"));
    MeshMemoryAmount ceiling = MeshMemoryCeiling(files, kPlatformNoLimit);
    EXPECT_EQ(ceiling.resident, 9000000ULL * 1024);
    EXPECT_EQ(ceiling.addressSpace, kPlatformNoLimit);
    ASSERT_TRUE(WriteFileBytes(directory.File("cgroup/job/memory.max"), "1200000000\n"));
    ASSERT_TRUE(WriteFileBytes(directory.File("cgroup/job/memory.swap.max"), "0\n"));
    ceiling = MeshMemoryCeiling(files, 1500000000);
    EXPECT_EQ(ceiling.resident, 1200000000u);
    EXPECT_EQ(ceiling.addressSpace, 1500000000u);
}

TEST(MeshMemoryShortfall, NamesBothFiguresOfTheMeasureThatDoesNotFit) {
    const MeshMemoryAmount ceiling{24000000000, 30000000000};
    EXPECT_TRUE(MeshMemoryFits({24000000000, 30000000000}, ceiling));
    EXPECT_FALSE(MeshMemoryFits({24000000001, 25000000000}, ceiling));
    EXPECT_FALSE(MeshMemoryFits({1000, 30000000001}, ceiling));
    EXPECT_EQ(MeshMemoryShortfallText({31234000000, 32000000000}, ceiling),
              "needs 31.2 GB, at most 24.0 GB can be had");
    EXPECT_EQ(MeshMemoryShortfallText({2000000000, 31000000000}, ceiling),
              "needs 31.0 GB, at most 30.0 GB can be had");
    // below a GB in MB; figures that round alike get more decimals
    EXPECT_EQ(MeshMemoryShortfallText({935900000, 935900000}, {614400000, kPlatformNoLimit}),
              "needs 935.9 MB, at most 614.4 MB can be had");
    EXPECT_EQ(MeshMemoryShortfallText({24040000000, 0}, {24000000000, 0}),
              "needs 24.04 GB, at most 24.00 GB can be had");
}

}  // namespace
