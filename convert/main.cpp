#include <iostream>
#include <string>
#include <vector>

#include "convert/Converter.h"

namespace {

constexpr const char* kUsage = "usage: zelconvert [--weld | --no-weld] INPUT OUTPUT.zel";

// Exit status for a command line that cannot be used, as distinct from a failed conversion.
constexpr int kUsageStatus = 2;

}  // namespace

int main(int argc, char** argv) {
    MeshWeld weld = MeshWeld::kFormatDefault;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--weld") {
            weld = MeshWeld::kWeld;
        } else if (argument == "--no-weld") {
            weld = MeshWeld::kNoWeld;
        } else if (argument.size() > 1 && argument[0] == '-') {
            std::cerr << "Error: unknown option \"" << argument << "\"; " << kUsage << std::endl;
            return kUsageStatus;
        } else {
            paths.push_back(argument);
        }
    }
    if (paths.size() != 2) {
        std::cerr << kUsage << std::endl;
        return kUsageStatus;
    }

    ConvertSummary summary;
    std::string message;
    if (!ConvertFile(paths[0], paths[1], weld, &summary, &message)) {
        std::cerr << message << std::endl;
        return 1;
    }
    if (!summary.warning.empty()) {
        std::cerr << summary.warning << std::endl;
    }
    std::cerr << ConvertSummaryText(summary) << std::endl;
    return 0;
}
