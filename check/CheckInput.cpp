#include "check/CheckInput.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>
#include <utility>

#include "check/CheckFormat.h"

namespace fs = std::filesystem;

namespace {

// A walked entry that is no file to check: skipped when the message is empty, else an error.
struct CheckAside {
    std::string path;
    std::string message;
};

// The running expansion: two position counts and where the shard's share goes.
struct CheckExpansion {
    const CheckShard& shard;
    std::istream& standardInput;
    std::ostream& err;
    CheckFileList* list;
    unsigned long long filePosition = 0;
    unsigned long long asidePosition = 0;
};

void CheckExpansionFile(CheckExpansion& expansion, const std::string& path) {
    if (CheckShardTakes(expansion.shard, expansion.filePosition++)) {
        expansion.list->paths.push_back(path);
    }
}

void CheckExpansionAside(CheckExpansion& expansion, const CheckAside& aside) {
    if (!CheckShardTakes(expansion.shard, expansion.asidePosition++)) {
        return;
    }
    if (aside.message.empty()) {
        ++expansion.list->skipped;
    } else {
        expansion.err << aside.message << std::endl;
        ++expansion.list->refused;
    }
}

std::string CheckDirectoryError(const fs::path& directory, const std::error_code& error) {
    return "Error: cannot read directory \"" + directory.string() + "\": " + error.message();
}

// Sorts an entry of a walked directory into the files to check, the directories still to walk
// and the entries set aside. Links are judged by their target, except that a link to a directory
// is not followed: a walk then never meets a directory twice through links, nor loops.
void CheckWalkEntry(const fs::directory_entry& entry, std::vector<std::string>* files,
                    std::vector<fs::path>* pending, std::vector<CheckAside>* asides) {
    std::error_code error;
    const fs::file_type own = entry.symlink_status(error).type();
    fs::file_type target = own;
    if (own == fs::file_type::symlink) {
        target = entry.status(error).type();
    }
    if (own == fs::file_type::directory) {
        pending->push_back(entry.path());
        return;
    }
    const std::string path = entry.path().string();
    // A dangling link to a mesh name is a missing mesh, reported when it is read.
    const bool readable = target == fs::file_type::regular ||
                          (own == fs::file_type::symlink && target == fs::file_type::not_found);
    if (readable && CheckFormatKnown(path)) {
        files->push_back(path);
    } else {
        asides->push_back({path, ""});
    }
}

// Walks the directory without recursion, so depth costs no stack, then hands out its files in
// byte order of their full paths, and the entries set aside in the same order.
void CheckExpansionWalk(CheckExpansion& expansion, const fs::path& root) {
    std::vector<std::string> files;
    std::vector<CheckAside> asides;
    std::vector<fs::path> pending = {root};
    while (!pending.empty()) {
        const fs::path directory = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        fs::directory_iterator entries(directory, error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            CheckWalkEntry(*entries, &files, &pending, &asides);
        }
        if (error) {
            asides.push_back({directory.string(), CheckDirectoryError(directory, error)});
        }
    }
    std::sort(files.begin(), files.end());
    std::stable_sort(asides.begin(), asides.end(),
                     [](const CheckAside& a, const CheckAside& b) { return a.path < b.path; });
    for (const std::string& file : files) {
        CheckExpansionFile(expansion, file);
    }
    for (const CheckAside& aside : asides) {
        CheckExpansionAside(expansion, aside);
    }
}

// A path given on the command line or in a list: a directory is walked (also through a link,
// since it was named), anything else is a file to read, missing or not.
void CheckExpansionPath(CheckExpansion& expansion, const std::string& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        CheckExpansionWalk(expansion, path);
    } else {
        CheckExpansionFile(expansion, path);
    }
}

// A blank line holds nothing but spaces, tabs and a carriage return.
bool CheckLineBlank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

void CheckExpansionLines(CheckExpansion& expansion, const std::string& name, std::istream& stream) {
    std::string line;
    unsigned long long number = 0;
    while (std::getline(stream, line)) {
        ++number;
        if (CheckLineBlank(line)) {
            continue;
        }
        if (line.size() >= PATH_MAX) {
            // The system refuses such a path whole; saying so here names the list and the line.
            CheckExpansionAside(
                expansion,
                {"", "Error: line " + std::to_string(number) + " of file list " + name + " is " +
                         std::to_string(line.size()) + " bytes long, longer than any path can be"});
            continue;
        }
        if (line.find('\0') != std::string::npos) {
            // The system would end the path at the byte and read another file.
            CheckExpansionAside(
                expansion, {"", "Error: line " + std::to_string(number) + " of file list " + name +
                                    " holds a NUL byte, which no path can"});
            continue;
        }
        CheckExpansionPath(expansion, line);
    }
    if (stream.bad()) {
        CheckExpansionAside(expansion, {"", "Error: file list " + name +
                                                " could not be read to "
                                                "its end after line " +
                                                std::to_string(number)});
    }
}

void CheckExpansionList(CheckExpansion& expansion, const std::string& path) {
    if (path == "-") {
        CheckExpansionLines(expansion, "standard input", expansion.standardInput);
        return;
    }
    const std::string name = "\"" + path + "\"";
    std::error_code error;
    if (fs::is_directory(path, error)) {
        CheckExpansionAside(expansion,
                            {"", "Error: cannot read file list " + name + ": it is a directory"});
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        CheckExpansionAside(
            expansion, {"", "Error: cannot read file list " + name + ": " + std::strerror(errno)});
        return;
    }
    CheckExpansionLines(expansion, name, file);
}

}  // namespace

void CheckInputExpand(const std::vector<CheckInput>& inputs, const CheckShard& shard,
                      std::istream& standardInput, std::ostream& err, CheckFileList* list) {
    CheckExpansion expansion{shard, standardInput, err, list};
    for (const CheckInput& input : inputs) {
        if (input.fileList) {
            CheckExpansionList(expansion, input.path);
        } else {
            CheckExpansionPath(expansion, input.path);
        }
    }
}
