#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The fuzzed bytes as a file with a path, kept in memory (memfd) so runs touch no disk.
class FuzzFile {
public:
    FuzzFile(const uint8_t* data, size_t size) {
        fd_ = memfd_create("fuzz-input", 0);
        if (fd_ < 0) {
            return;
        }
        size_t written = 0;
        while (written < size) {
            ssize_t n = write(fd_, data + written, size - written);
            if (n <= 0) {
                break;
            }
            written += static_cast<size_t>(n);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~FuzzFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    // Path that opens the bytes from the start; empty when the memfd could not be made.
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};
