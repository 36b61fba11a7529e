#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Redirects std::cerr into a string for the lifetime of the object.
class CerrCapture {
public:
    CerrCapture() : saved(std::cerr.rdbuf(stream.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(saved); }
    CerrCapture(const CerrCapture&) = delete;
    CerrCapture& operator=(const CerrCapture&) = delete;

    // Everything written to std::cerr so far.
    std::string Text() const { return stream.str(); }

private:
    std::ostringstream stream;
    std::streambuf* saved;
};
