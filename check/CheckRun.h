#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/MeshFile.h"
#include "check/CheckInput.h"
#include "check/CheckShard.h"
#include "check/CheckSummary.h"

// How zelcheck goes over its files.
struct CheckOptions {
    // One JSON object per line instead of the text line.
    bool json = false;
    // Whether equal positions are merged; by default as each file's format suggests.
    MeshWeld weld = MeshWeld::kFormatDefault;
    // Files checked at once; at least 1.
    int jobs = 1;
    // One last line with the totals.
    bool summary = false;
    // A progress line on the error stream (a terminal), once the files have taken this long.
    bool progress = false;
    double progressDelaySeconds = 1.0;
};

// Exit statuses: every file read and clean, some file with a defective edge, some file unread.
constexpr int kCheckClean = 0;
constexpr int kCheckDefects = 1;
constexpr int kCheckUnreadable = 2;

// Checks every path, up to options.jobs at once, and writes one line per file to out (and an
// error line per unreadable file to err) in the order of paths; adds its counts to summary when
// one is given; returns the exit status. Memory holds the paths and a few dozen results per job,
// however many files there are.
int CheckRunFiles(const std::vector<std::string>& paths, const CheckOptions& options,
                  std::ostream& out, std::ostream& err, CheckSummary* summary = nullptr);

// The whole run: expands the inputs into the shard's files (reading "-" from in), checks them,
// and prints the summary line when asked; returns the exit status over all of it.
int CheckRunInputs(const std::vector<CheckInput>& inputs, const CheckShard& shard,
                   const CheckOptions& options, std::istream& in, std::ostream& out,
                   std::ostream& err);
