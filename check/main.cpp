#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "check/CheckRun.h"

namespace {

constexpr const char* kUsage = "usage: zelcheck [--json] [--weld | --no-weld] [-j N] FILE...";

int UsageError(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "Error: " << problem << std::endl;
    }
    std::cerr << kUsage << std::endl;
    return kCheckUnreadable;
}

// A whole decimal number from 1 up.
bool ParseJobs(const std::string& text, int* jobs) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > 1024) {
        return false;
    }
    *jobs = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CheckOptions options;
    const unsigned int cores = std::thread::hardware_concurrency();
    options.jobs = cores > 0 ? static_cast<int>(cores) : 1;
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            paths.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--weld") {
            options.weld = MeshWeld::kWeld;
        } else if (argument == "--no-weld") {
            options.weld = MeshWeld::kNoWeld;
        } else if (argument == "-h" || argument == "--help") {
            std::cout << kUsage << std::endl;
            return kCheckClean;
        } else if (argument.compare(0, 2, "-j") == 0) {
            // "-j N" or "-jN"
            std::string value = argument.substr(2);
            if (value.empty() && i + 1 < argc) {
                value = argv[++i];
            }
            if (!ParseJobs(value, &options.jobs)) {
                return UsageError("-j needs a number of files from 1 to 1024");
            }
        } else {
            return UsageError("unknown option \"" + argument + "\"");
        }
    }
    if (paths.empty()) {
        return UsageError("");
    }
    return CheckRunFiles(paths, options, std::cout, std::cerr);
}
