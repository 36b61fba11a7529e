#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The operating system's services that standard C++ does not offer, in one place: Platform.cpp
// is the only source that calls Linux interfaces. Built with ZEL_PORTABLE_PLATFORM it uses
// standard C++ alone, with the same results where they are defined (see each function).

// A limit that does not exist or is not known.
constexpr std::uint64_t kPlatformNoLimit = UINT64_MAX;

// Size of a memory page, the unit in which PlatformMapZeroed hands out memory.
std::size_t PlatformPageSize();
// A zero-filled block of at least bytes whose pages are already faulted in, or null when it
// cannot be had. The portable build takes it from the heap (zero-filled, faulted in on first
// touch).
void* PlatformMapZeroed(std::size_t bytes);
// A zero-filled block of at least bytes whose pages are faulted in on first touch, or null when
// it cannot be had: for a block another thread faults in ahead of its use (PlatformFaultIn). The
// portable build takes it from the heap, as PlatformMapZeroed does.
void* PlatformMapUnfaulted(std::size_t bytes);
// Faults in the pages of bytes from the start of a block from PlatformMapUnfaulted, as its first
// writes would, in one pass in the kernel; pages already in are left as they are. Nothing in the
// portable build.
void PlatformFaultIn(void* start, std::size_t bytes);
// Returns a block from PlatformMapZeroed or PlatformMapUnfaulted of the same size.
void PlatformUnmap(void* block, std::size_t bytes);

// Writes the file's buffered bytes through to the storage device; false on failure. The portable
// build flushes the buffer to the system only.
bool PlatformSyncFile(std::FILE* file);

// The process's address-space limit (soft RLIMIT_AS) in bytes, or kPlatformNoLimit.
std::uint64_t PlatformAddressSpaceLimit();
// The process's data limit (soft RLIMIT_DATA: heap and private writable mappings) in bytes, or
// kPlatformNoLimit (always in the portable build).
std::uint64_t PlatformDataLimit();
// The resident memory of the process now, in bytes; 0 when not known (the portable build).
std::uint64_t PlatformResidentBytes();
// The address space the process uses now, in bytes; 0 when not known (the portable build).
std::uint64_t PlatformAddressSpaceBytes();

// Where the system describes its memory: tests pass a tree of their own.
struct PlatformMemoryFiles {
    // The proc file system: "meminfo" and "self/cgroup" are read from it.
    std::string procRoot = "/proc";
    // Where the control groups are mounted: the cgroup v2 tree itself (or its "unified"
    // folder), and the v1 memory controller's tree in its "memory" folder.
    std::string cgroupRoot = "/sys/fs/cgroup";
};

// Physical memory plus swap, from meminfo's MemTotal and SwapTotal; kPlatformNoLimit when not
// known (always in the portable build).
std::uint64_t PlatformPhysicalMemory(const PlatformMemoryFiles& files);
// The memory limit of the control group the process runs in: the smallest cgroup v2
// memory.max on its path from the root (plus the swap its memory.swap.max and the system allow),
// or the smallest v1 memory.limit_in_bytes (memory.memsw.limit_in_bytes where that is set);
// "max", an absent file or no group mean none: kPlatformNoLimit (always in the portable build).
std::uint64_t PlatformCgroupMemoryLimit(const PlatformMemoryFiles& files);

// Whether the standard error stream is a terminal (never known in the portable build).
bool PlatformErrorIsTerminal();

// The folder the running program's file lies in, with a trailing separator; empty when it is not
// known (always in the portable build).
std::string PlatformProgramFolder();
// Loads the shared module at path and returns the address of its function named symbol, or null
// with what went wrong in problem. Modules stay loaded until the process ends. The portable build
// loads none.
void* PlatformLoadModuleFunction(const std::string& path, const char* symbol, std::string* problem);
