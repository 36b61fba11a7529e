#include "app/FormatReaders.h"

#include <algorithm>
#include <cmath>
#include <fstream>

void FormatArraysReserved(const FormatSource& source, int vertexCount, int faceCount) {
    if (source.arraysReserved != nullptr) {
        (*source.arraysReserved)(vertexCount, faceCount);
    }
}

bool FormatBegin(FormatSource& source, MeshFileContent& content, const char* format) {
    source.cursor.countLines = FormatCountsLines(source);
    content.format = format;
    if (!TokenCursorEnsure(source.cursor, 1)) {
        return !FormatReadFailed(source) && FormatFail(source, "is empty");
    }
    return true;
}

bool FormatFail(FormatSource& source, const std::string& problem) {
    *source.messages << "Error: \"" << source.path << "\" " << problem << std::endl;
    return false;
}

std::string FormatLine(FormatSource& source, const char* at) {
    if (source.cursor.countLines) {
        return "line " + std::to_string(TokenCursorLine(source.cursor, at)) + ": ";
    }
    // Lines of a regular file are not counted while it is read, which would cost every byte a
    // look; the few messages that name one count them in the file again.
    const std::uint64_t offset = TokenCursorOffset(source.cursor, at);
    std::ifstream again(source.path, std::ios::binary);
    std::uint64_t line = 1;
    std::uint64_t counted = 0;
    char block[1 << 16];
    while (counted < offset &&
           again.read(block, static_cast<std::streamsize>(
                                 std::min<std::uint64_t>(sizeof block, offset - counted)))
                   .gcount() > 0) {
        const std::size_t got = static_cast<std::size_t>(again.gcount());
        line += static_cast<std::uint64_t>(std::count(block, block + got, '\n'));
        counted += got;
    }
    return "line " + std::to_string(line) + ": ";
}

bool FormatCountsLines(const FormatSource& source) {
    return source.fileSize == kUnknownFileSize;
}

bool FormatReadFailed(FormatSource& source) {
    if (source.cursor.status == ReadStatus::kReadError) {
        return !FormatFail(source, "could not be read");
    }
    if (source.cursor.status == ReadStatus::kOutOfMemory) {
        return !FormatFail(source, "needs more memory than there is to be read");
    }
    return false;
}

std::string FormatHolds(std::uint64_t found, std::uint64_t declared, const std::string& what) {
    return "holds " + std::to_string(found) + " of the " + std::to_string(declared) + " " + what +
           " its header declares";
}

std::size_t FormatReservable(const FormatSource& source, std::uint64_t declared,
                             std::uint64_t leastBytes) {
    // Without a size (a pipe), a modest start; the arrays grow as data arrives.
    constexpr std::uint64_t kUnknownSizeStart = 1 << 16;
    const std::uint64_t fits = source.fileSize == kUnknownFileSize
                                   ? kUnknownSizeStart
                                   : source.fileSize / std::max<std::uint64_t>(leastBytes, 1);
    return static_cast<std::size_t>(
        std::min({declared, fits, static_cast<std::uint64_t>(kMaxMeshElementCount)}));
}

bool FormatTooLarge(FormatSource& source, const MeshArrays& arrays, const char* what) {
    if (arrays.outOfMemory) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    return FormatFail(source, "has more than " + std::to_string(kMaxMeshElementCount) + " " + what +
                                  ", the most a mesh may have");
}

bool FormatCoordinate(FormatSource& source, std::string_view token, const char* notNumber,
                      float& value) {
    const NumberStatus status = ParseFloat(token, value);
    double wide = 0.0;
    // A number beyond the floats is still a number, only out of range.
    if (status == NumberStatus::kNotNumber ||
        (status != NumberStatus::kOk && ParseDouble(token, wide) != NumberStatus::kOk)) {
        return FormatFail(source,
                          FormatLine(source, token.data()) + QuotedToken(token) + " " + notNumber);
    }
    if (status != NumberStatus::kOk || std::fabs(value) > kMaxCoordinate) {
        return FormatFail(source, FormatLine(source, token.data()) + QuotedToken(token) +
                                      " is out of range (-1e9 to 1e9)");
    }
    return true;
}
