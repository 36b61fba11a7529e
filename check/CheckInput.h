#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "check/CheckShard.h"

// One input as the command line gives it: a path (a file or a directory), or a file list.
struct CheckInput {
    std::string path;
    // The path names a file list (--files-from), "-" for standard input.
    bool fileList = false;
};

// The files one shard checks, and what it met on the way that is not a file to check.
struct CheckFileList {
    // In input order: each directory's files in byte order of their paths.
    std::vector<std::string> paths;
    // Entries of walked directories that are not checked: other formats, links to directories,
    // FIFOs, sockets and devices.
    long long skipped = 0;
    // Directories and file lists that could not be read, and list lines that cannot be paths;
    // each wrote one error line.
    long long refused = 0;
};

// Expands the inputs in order into the shard's files. A directory is walked recursively, links
// to directories not followed, and gives its files in a format zelcheck reads; any other path is
// a file, read whatever its name. A file list gives its non-blank lines, each taken as a path
// exactly as written. The files count positions for the shard; skipped entries and errors are
// dealt out in a count of their own, so each falls to one shard. The shard's error lines go to
// err at once; "-" is read from standardInput.
void CheckInputExpand(const std::vector<CheckInput>& inputs, const CheckShard& shard,
                      std::istream& standardInput, std::ostream& err, CheckFileList* list);
