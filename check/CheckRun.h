#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/MeshFile.h"

// How zelcheck goes over its files.
struct CheckOptions {
    // One JSON object per line instead of the text line.
    bool json = false;
    // Whether equal positions are merged; by default as each file's format suggests.
    MeshWeld weld = MeshWeld::kFormatDefault;
    // Files checked at once; at least 1.
    int jobs = 1;
};

// Exit statuses: every file read and clean, some file with a defective edge, some file unread.
constexpr int kCheckClean = 0;
constexpr int kCheckDefects = 1;
constexpr int kCheckUnreadable = 2;

// Checks every path, up to options.jobs at once, and writes one line per file to out (and an
// error line per unreadable file to err) in the order of paths; returns the exit status.
int CheckRunFiles(const std::vector<std::string>& paths, const CheckOptions& options,
                  std::ostream& out, std::ostream& err);
