#include "platform/Platform.h"

#include <cstdlib>

#ifndef ZEL_PORTABLE_PLATFORM
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>
#endif

#ifdef ZEL_PORTABLE_PLATFORM

std::size_t PlatformPageSize() {
    // the page size of every system the programs are expected to build on
    return 4096;
}

void* PlatformMapZeroed(std::size_t bytes) {
    return std::calloc(1, bytes);
}

void* PlatformMapUnfaulted(std::size_t bytes) {
    return std::calloc(1, bytes);
}

void PlatformFaultIn(void*, std::size_t) {}

void PlatformUnmap(void* block, std::size_t) {
    std::free(block);
}

bool PlatformSyncFile(std::FILE* file) {
    return std::fflush(file) == 0;
}

std::uint64_t PlatformAddressSpaceLimit() {
    return kPlatformNoLimit;
}

std::uint64_t PlatformDataLimit() {
    return kPlatformNoLimit;
}

std::uint64_t PlatformResidentBytes() {
    return 0;
}

std::uint64_t PlatformAddressSpaceBytes() {
    return 0;
}

std::uint64_t PlatformPhysicalMemory(const PlatformMemoryFiles&) {
    return kPlatformNoLimit;
}

std::uint64_t PlatformCgroupMemoryLimit(const PlatformMemoryFiles&) {
    return kPlatformNoLimit;
}

bool PlatformErrorIsTerminal() {
    return false;
}

std::string PlatformProgramFolder() {
    return std::string();
}

void* PlatformLoadModuleFunction(const std::string&, const char*, std::string* problem) {
    *problem = "this build loads no modules";
    return nullptr;
}

#else

namespace {

// cgroup v1 writes "no limit" as a page-rounded largest value, about 2^63; anything this large
// limits nothing.
constexpr std::uint64_t kCgroupUnlimited = std::uint64_t(1) << 62;

std::size_t RoundUpToPages(std::size_t bytes) {
    const std::size_t page = PlatformPageSize();
    return (bytes + page - 1) / page * page;
}

// The first line of a limit file as bytes: a number, or kPlatformNoLimit for "max", an absent or
// unreadable file, or a value too large to limit anything.
std::uint64_t ReadLimitFile(const std::string& path) {
    std::ifstream file(path);
    std::string word;
    if (!(file >> word) || word == "max") {
        return kPlatformNoLimit;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || value >= kCgroupUnlimited) {
        return kPlatformNoLimit;
    }
    return value;
}

// The smallest limit in the named file over the group folder and every folder above it up to
// the root of its tree.
std::uint64_t SmallestOnPath(const std::string& root, std::string group, const char* name) {
    std::uint64_t smallest = kPlatformNoLimit;
    for (;;) {
        while (!group.empty() && group.back() == '/') {
            group.pop_back();
        }
        smallest = std::min(smallest, ReadLimitFile(root + group + "/" + name));
        const std::size_t slash = group.rfind('/');
        if (group.empty() || slash == std::string::npos) {
            return smallest;
        }
        group.erase(slash);
    }
}

// A value from meminfo in bytes ("SwapTotal:  1024 kB"), or kPlatformNoLimit.
std::uint64_t MeminfoValue(const PlatformMemoryFiles& files, const std::string& key) {
    std::ifstream meminfo(files.procRoot + "/meminfo");
    std::string line;
    while (std::getline(meminfo, line)) {
        if (line.compare(0, key.size() + 1, key + ":") != 0) {
            continue;
        }
        std::istringstream fields(line.substr(key.size() + 1));
        unsigned long long value = 0;
        std::string unit;
        if (!(fields >> value)) {
            return kPlatformNoLimit;
        }
        fields >> unit;
        return unit == "kB" ? value * 1024 : value;
    }
    return kPlatformNoLimit;
}

std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > kPlatformNoLimit - b ? kPlatformNoLimit : a + b;
}

}  // namespace

std::size_t PlatformPageSize() {
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void* PlatformMapZeroed(std::size_t bytes) {
    // Every byte of a block is written right after it is had, so its pages are faulted in with
    // the mapping, in one pass in the kernel instead of one trap per page. Transparent huge pages
    // were measured slower here: the kernel zeroes them from memory not touched before, at about
    // four times the cost of the small pages it recycles.
    void* block = mmap(nullptr, RoundUpToPages(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void* PlatformMapUnfaulted(std::size_t bytes) {
    void* block = mmap(nullptr, RoundUpToPages(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void PlatformFaultIn(void* start, std::size_t bytes) {
    // A kernel without MADV_POPULATE_WRITE (before 5.14) refuses it; the pages are then faulted
    // in by their first writes, as without this call.
    madvise(start, RoundUpToPages(bytes), MADV_POPULATE_WRITE);
}

void PlatformUnmap(void* block, std::size_t bytes) {
    munmap(block, RoundUpToPages(bytes));
}

bool PlatformSyncFile(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

std::uint64_t PlatformAddressSpaceLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kPlatformNoLimit;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::uint64_t PlatformDataLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_DATA, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kPlatformNoLimit;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

namespace {

// One of the first two figures of /proc/self/statm (pages of address space, resident pages), in
// bytes; 0 when it cannot be read.
std::uint64_t StatmBytes(int field) {
    std::ifstream statm("/proc/self/statm");
    unsigned long long pages[2] = {0, 0};
    if (!(statm >> pages[0] >> pages[1])) {
        return 0;
    }
    return pages[field] * PlatformPageSize();
}

}  // namespace

std::uint64_t PlatformResidentBytes() {
    return StatmBytes(1);
}

std::uint64_t PlatformAddressSpaceBytes() {
    return StatmBytes(0);
}

std::uint64_t PlatformPhysicalMemory(const PlatformMemoryFiles& files) {
    const std::uint64_t memory = MeminfoValue(files, "MemTotal");
    const std::uint64_t swap = MeminfoValue(files, "SwapTotal");
    if (memory == kPlatformNoLimit) {
        return kPlatformNoLimit;
    }
    return SaturatingSum(memory, swap == kPlatformNoLimit ? 0 : swap);
}

std::uint64_t PlatformCgroupMemoryLimit(const PlatformMemoryFiles& files) {
    std::uint64_t swapTotal = MeminfoValue(files, "SwapTotal");
    if (swapTotal == kPlatformNoLimit) {
        swapTotal = 0;
    }
    std::ifstream groups(files.procRoot + "/self/cgroup");
    std::string line;
    std::uint64_t smallest = kPlatformNoLimit;
    // "hierarchy:controllers:path", one line per hierarchy; v2 is "0::path"
    while (std::getline(groups, line)) {
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string group = line.substr(second + 1);
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            // v2: the tree at the root itself, or beside the v1 trees in "unified"
            for (const std::string& root : {files.cgroupRoot, files.cgroupRoot + "/unified"}) {
                const std::uint64_t memory = SmallestOnPath(root, group, "memory.max");
                if (memory == kPlatformNoLimit) {
                    continue;
                }
                const std::uint64_t swap =
                    std::min(SmallestOnPath(root, group, "memory.swap.max"), swapTotal);
                smallest = std::min(smallest, SaturatingSum(memory, swap));
            }
            continue;
        }
        if (("," + controllers + ",").find(",memory,") == std::string::npos) {
            continue;
        }
        const std::string root = files.cgroupRoot + "/memory";
        const std::uint64_t memory = SmallestOnPath(root, group, "memory.limit_in_bytes");
        if (memory == kPlatformNoLimit) {
            continue;
        }
        // memory.memsw.limit_in_bytes bounds memory and swap together, where swap is accounted
        const std::uint64_t withSwap =
            std::min(SaturatingSum(memory, swapTotal),
                     SmallestOnPath(root, group, "memory.memsw.limit_in_bytes"));
        smallest = std::min(smallest, withSwap);
    }
    return smallest;
}

bool PlatformErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::string PlatformProgramFolder() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1);
}

void* PlatformLoadModuleFunction(const std::string& path, const char* symbol,
                                 std::string* problem) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = ::dlerror();
        *problem = error != nullptr ? error : path;
        return nullptr;
    }
    void* function = ::dlsym(module, symbol);
    if (function == nullptr) {
        *problem = path + " has no " + symbol;
    }
    return function;
}

#endif
