#pragma once

#include <string>

// Writes bytes to a file, replacing it; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
