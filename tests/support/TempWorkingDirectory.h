#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

// A fresh directory under /tmp that is the working directory for the object's life, so tests of
// files the program writes there ("cam_record0.dat", "snap100.ppm") start from nothing. On
// destruction the old working directory comes back and the fresh one goes with its contents.
class TempWorkingDirectory {
public:
    // prefix names the directory, e.g. "zel-snapshot" gives /tmp/zel-snapshot-XXXXXX.
    explicit TempWorkingDirectory(const std::string& prefix) {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        path = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(path);
    }
    ~TempWorkingDirectory() {
        if (path.empty()) {
            return;
        }
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TempWorkingDirectory(const TempWorkingDirectory&) = delete;
    TempWorkingDirectory& operator=(const TempWorkingDirectory&) = delete;

    // The fresh directory; empty when it could not be made (and the working directory is kept).
    const std::filesystem::path& Path() const { return path; }

private:
    std::filesystem::path path;
    std::filesystem::path previous;
};
