#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "app/MeshArrays.h"
#include "app/MeshFile.h"
#include "app/TokenCursor.h"

// What every format reader works with: the file as a cursor at its first byte, and where its
// messages go.
struct FormatSource {
    const char* path = nullptr;
    TokenCursor cursor;
    std::uint64_t fileSize = kUnknownFileSize;
    std::ostream* messages = nullptr;
    const std::function<void(int, int)>* countsRead = nullptr;
    const std::function<void(int, int)>* arraysReserved = nullptr;
};

// Each reads the whole file into arrays (triangles fanned from polygons, nothing welded) and
// sets the content's format name, polygon and dropped counts and warning; on false it has printed
// one "Error: " line. ZelRead is the ZEL reader's, with its own messages.
bool ZelRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content);
bool OffRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content);
bool PlyRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content);
bool ObjRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content);
bool StlRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content);

// Starts a reader: names the format, sets whether lines are counted, and makes sure the file
// holds a first byte; false after the message for an empty or unreadable file.
bool FormatBegin(FormatSource& source, MeshFileContent& content, const char* format);

// Prints "Error: "<path>" <problem>" and returns false.
bool FormatFail(FormatSource& source, const std::string& problem);
// Tells the source's arraysReserved, if any, the counts a header declared, now that the arrays
// have room for them.
void FormatArraysReserved(const FormatSource& source, int vertexCount, int faceCount);

// "line N: " for a byte in the cursor's buffer.
std::string FormatLine(FormatSource& source, const char* at);

// Whether the cursor must count lines as it reads, for FormatLine: only when the file cannot be
// read again (a pipe); a regular file's lines are counted again when a message names one.
bool FormatCountsLines(const FormatSource& source);

// Why no more came when the cursor ran dry: a message for a read error or exhausted memory (and
// true), or false when the file merely ended.
bool FormatReadFailed(FormatSource& source);

// "holds 2 of the 3 faces its header declares"
std::string FormatHolds(std::uint64_t found, std::uint64_t declared, const std::string& what);

// The elements worth reserving room for: the declared count, but no more than a file of this
// size can hold at leastBytes an element, so a short file claiming a huge count reserves
// little.
std::size_t FormatReservable(const FormatSource& source, std::uint64_t declared,
                             std::uint64_t leastBytes);

// Refuses an add that failed: too many elements, or no memory.
bool FormatTooLarge(FormatSource& source, const MeshArrays& arrays, const char* what);

// Converts a coordinate token as ParseFloat does; false after a message naming its line (and
// ending in notNumber, e.g. "is not a finite number") when it is no number a float holds, or
// beyond the geometry's range.
bool FormatCoordinate(FormatSource& source, std::string_view token, const char* notNumber,
                      float& value);

// Reads the coordinate whose token starts at the cursor: short decimals the fast way, anything
// else through FormatCoordinate.
inline bool FormatCoordinateHere(FormatSource& source, const char* notNumber, float& value) {
    std::string_view token;
    if (TokenCursorShortDecimal(source.cursor, token, value)) {
        if (value <= kMaxCoordinate && value >= -kMaxCoordinate) {
            return true;
        }
    } else if (!NextToken(source.cursor, token)) {
        return false;
    }
    return FormatCoordinate(source, token, notNumber, value);
}

// Reads the whole number whose token starts at the cursor, short ones the fast way; the token
// is set for messages. False, with the token, when it is no int.
inline bool FormatIntHere(FormatSource& source, std::string_view& token, int& value) {
    if (TokenCursorShortCorner(source.cursor, token, value)) {
        return true;
    }
    return NextToken(source.cursor, token) && ParseInt(token, value) == NumberStatus::kOk;
}

// Whether three coordinates lie within the geometry's range.
inline bool FormatInRange(const float* values) {
    return std::fabs(values[0]) <= kMaxCoordinate && std::fabs(values[1]) <= kMaxCoordinate &&
           std::fabs(values[2]) <= kMaxCoordinate;
}

// Whether three corners name vertices (first is the number of the first vertex: 0, or 1 in OBJ).
inline bool FormatCornersIn(int* corners, int first, int vertexCount) {
    for (int k = 0; k < 3; ++k) {
        corners[k] -= first;
        if (static_cast<unsigned>(corners[k]) >= static_cast<unsigned>(vertexCount)) {
            return false;
        }
    }
    return true;
}
