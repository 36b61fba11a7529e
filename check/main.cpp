#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "check/CheckProgress.h"
#include "check/CheckRun.h"

namespace {

constexpr const char* kUsage =
    "usage: zelcheck [--json] [--weld | --no-weld] [-j N] [--summary] [--shard K/N] "
    "[--files-from LIST] [PATH...]";

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

// The value of a long option given as "--name VALUE" or "--name=VALUE"; false when the argument
// is not that option. A missing value leaves *missing set.
bool OptionValue(const std::string& name, int argc, char** argv, int* i, std::string* value,
                 bool* missing) {
    const std::string argument = argv[*i];
    if (argument.compare(0, name.size() + 1, name + "=") == 0) {
        *value = argument.substr(name.size() + 1);
        return true;
    }
    if (argument != name) {
        return false;
    }
    if (*i + 1 >= argc) {
        *missing = true;
    } else {
        *value = argv[++*i];
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CheckOptions options;
    const unsigned int cores = std::thread::hardware_concurrency();
    options.jobs = cores > 0 ? static_cast<int>(cores) : 1;
    options.progress = CheckProgressWanted();
    CheckShard shard;
    std::vector<CheckInput> inputs;
    bool optionsEnded = false;
    bool standardInputListed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        bool missing = false;
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            inputs.push_back({argument, false});
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--weld") {
            options.weld = MeshWeld::kWeld;
        } else if (argument == "--no-weld") {
            options.weld = MeshWeld::kNoWeld;
        } else if (argument == "--summary") {
            options.summary = true;
        } else if (argument == "-h" || argument == "--help") {
            std::cout << kUsage << std::endl;
            return kCheckClean;
        } else if (OptionValue("--shard", argc, argv, &i, &value, &missing)) {
            std::string problem;
            if (missing) {
                return UsageError("--shard needs K/N");
            }
            if (!CheckShardParse(value, &shard, &problem)) {
                return UsageError(problem);
            }
        } else if (OptionValue("--files-from", argc, argv, &i, &value, &missing)) {
            if (missing || value.empty()) {
                return UsageError("--files-from needs a file list, or - for standard input");
            }
            // A second "-" would find standard input already read to its end.
            if (value == "-" && standardInputListed) {
                return UsageError("--files-from - can be given once");
            }
            standardInputListed = standardInputListed || value == "-";
            inputs.push_back({value, true});
        } else if (argument.compare(0, 2, "-j") == 0) {
            // "-j N" or "-jN"
            value = argument.substr(2);
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
    if (inputs.empty()) {
        return UsageError("");
    }
    return CheckRunInputs(inputs, shard, options, std::cin, std::cout, std::cerr);
}
