#include "tests/support/TempDirectory.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

TempDirectory::TempDirectory(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        path = pattern;
    }
}

TempDirectory::~TempDirectory() {
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

TempWorkingDirectory::TempWorkingDirectory(const std::string& prefix) : TempDirectory(prefix) {
    if (!Path().empty()) {
        previous = std::filesystem::current_path().string();
        std::filesystem::current_path(Path());
    }
}

TempWorkingDirectory::~TempWorkingDirectory() {
    if (!previous.empty()) {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
    }
}
