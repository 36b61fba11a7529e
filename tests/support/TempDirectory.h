#pragma once

#include <string>

// A fresh directory under /tmp, removed with everything in it when the object goes.
class TempDirectory {
public:
    // prefix names the directory, e.g. "zel-snapshot" gives /tmp/zel-snapshot-XXXXXX.
    explicit TempDirectory(const std::string& prefix = "zel-test");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // The directory; empty when it could not be made.
    const std::string& Path() const { return path; }
    // Path of a file with the given name inside the directory.
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

// A TempDirectory that is the working directory for the object's life, so tests of files the
// program writes there ("cam_record0.dat", "snap100.ppm") start from nothing. On destruction the
// old working directory comes back before the fresh one goes.
class TempWorkingDirectory : public TempDirectory {
public:
    explicit TempWorkingDirectory(const std::string& prefix);
    ~TempWorkingDirectory();

private:
    std::string previous;
};
