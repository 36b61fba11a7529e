// STL files: binary (an 80-byte header, a facet count, 50 bytes a facet: normal, three corners,
// attribute) when the file's size says so, else ASCII ("solid" ... "facet" ... three "vertex"
// lines ... "endfacet" ... "endsolid", keywords in any letter case). Every facet gets its own
// three vertices; welding them is the caller's.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "app/FormatReaders.h"

namespace {

constexpr std::size_t kStlHeaderSize = 84;
constexpr std::size_t kStlFacetSize = 50;
// The three corners follow the normal's three floats.
constexpr std::size_t kStlCornersOffset = 12;

bool StlReadBinary(FormatSource& source, std::uint32_t declared, MeshArrays& arrays,
                   MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    content.format = "STL (binary)";
    if (3 * std::uint64_t(declared) > static_cast<std::uint64_t>(kMaxMeshElementCount)) {
        return FormatFail(source, "has more than " + std::to_string(kMaxMeshElementCount) +
                                      " vertices, the most a mesh may have");
    }
    if (source.countsRead != nullptr) {
        (*source.countsRead)(3 * static_cast<int>(declared), static_cast<int>(declared));
    }
    const std::size_t reservable = FormatReservable(source, declared, kStlFacetSize);
    if (!MeshArraysReserve(arrays, 3 * reservable, reservable)) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    FormatArraysReserved(source, 3 * static_cast<int>(declared), static_cast<int>(declared));
    std::uint32_t facet = 0;
    while (facet < declared) {
        if (!TokenCursorEnsure(cursor, kStlFacetSize)) {
            return !FormatReadFailed(source) &&
                   FormatFail(source, FormatHolds(facet, declared, "triangles"));
        }
        const std::size_t held = static_cast<std::size_t>(cursor.end - cursor.next) / kStlFacetSize;
        const std::uint32_t last = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(declared, facet + std::uint64_t(held)));
        const char* record = cursor.next;
        for (; facet < last; ++facet, record += kStlFacetSize) {
            int* triangle = MeshArraysAddTriangle(arrays);
            if (triangle == nullptr) {
                return FormatTooLarge(source, arrays, "triangles");
            }
            for (int c = 0; c < 3; ++c) {
                float* vertex = MeshArraysAddVertex(arrays);
                if (vertex == nullptr) {
                    return FormatTooLarge(source, arrays, "vertices");
                }
                std::memcpy(vertex, record + kStlCornersOffset + 12 * c, 3 * sizeof(float));
                for (int k = 0; k < 3; ++k) {
                    if (!(std::fabs(vertex[k]) <= kMaxCoordinate)) {
                        return FormatFail(source,
                                          "facet " + std::to_string(facet) +
                                              (std::isfinite(vertex[k])
                                                   ? " has a vertex coordinate out of range "
                                                     "(-1e9 to 1e9)"
                                                   : " has a vertex coordinate that is not a "
                                                     "finite number"));
                    }
                }
                triangle[c] = arrays.vertexCount - 1;
            }
        }
        cursor.next = record;
    }
    content.polygonsRead = static_cast<int>(declared);
    return true;
}

// The same walk as the format's writers make: "solid" ... "facet" ... "vertex" x y z ...
// "endfacet" ... "endsolid"; other words (normals, "outer loop", names) are passed over.
bool StlReadAscii(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    content.format = "STL (ASCII)";
    // a facet takes well over a hundred bytes; three vertices and a triangle each
    const std::size_t reservable = FormatReservable(source, kUnknownFileSize, 128);
    if (!MeshArraysReserve(arrays, 3 * reservable, reservable)) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    std::string_view token;
    bool inSolid = true;
    bool solidEnded = false;
    int facets = 0;
    while (NextToken(cursor, token)) {
        if (TokenIsWord(token, "solid")) {
            if (inSolid) {
                return FormatFail(
                    source, FormatLine(source, token.data()) + "\"solid\" before \"endsolid\"");
            }
            inSolid = true;
        } else if (TokenIsWord(token, "endsolid")) {
            inSolid = false;
            solidEnded = true;
        } else if (TokenIsWord(token, "facet")) {
            int corners = 0;
            bool ended = false;
            const int first = arrays.vertexCount;
            while (!ended && NextToken(cursor, token)) {
                if (TokenIsWord(token, "endfacet")) {
                    ended = true;
                } else if (TokenIsWord(token, "vertex")) {
                    float* vertex = MeshArraysAddVertex(arrays);
                    if (vertex == nullptr) {
                        return FormatTooLarge(source, arrays, "vertices");
                    }
                    for (int k = 0; k < 3; ++k) {
                        if (!TokenCursorSkipToToken(cursor)) {
                            break;
                        }
                        if (!FormatCoordinateHere(source, "is not a finite number", vertex[k])) {
                            return false;
                        }
                    }
                    ++corners;
                }
            }
            if (!ended) {
                return !FormatReadFailed(source) &&
                       FormatFail(source, "ends inside facet " + std::to_string(facets));
            }
            if (corners != 3) {
                return FormatFail(source, FormatLine(source, token.data()) + "facet " +
                                              std::to_string(facets) + " has " +
                                              std::to_string(corners) +
                                              " vertices; STL facets are triangles");
            }
            int* triangle = MeshArraysAddTriangle(arrays);
            if (triangle == nullptr) {
                return FormatTooLarge(source, arrays, "triangles");
            }
            for (int c = 0; c < 3; ++c) {
                triangle[c] = first + c;
            }
            ++facets;
        }
    }
    if (FormatReadFailed(source)) {
        return false;
    }
    if (inSolid || !solidEnded) {
        return FormatFail(source, "ends before \"endsolid\"");
    }
    content.polygonsRead = facets;
    return true;
}

}  // namespace

bool StlRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    if (!FormatBegin(source, content, "STL")) {
        return false;
    }
    // The size rule first: a binary file's header may begin with "solid" too.
    TokenCursorEnsure(cursor, kStlHeaderSize);
    const bool headerHeld = static_cast<std::size_t>(cursor.end - cursor.next) >= kStlHeaderSize;
    std::uint32_t declared = 0;
    if (headerHeld) {
        std::memcpy(&declared, cursor.next + 80, sizeof declared);
    }
    const std::uint64_t binarySize = kStlHeaderSize + kStlFacetSize * std::uint64_t(declared);
    if (headerHeld && source.fileSize == binarySize) {
        cursor.countLines = false;
        cursor.next += kStlHeaderSize;
        return StlReadBinary(source, declared, arrays, content);
    }
    // The first word, looked at in the bytes already read, which hold the header's length.
    std::string_view head(cursor.next, static_cast<std::size_t>(cursor.end - cursor.next));
    std::size_t first = 0;
    while (first < head.size() && IsSpace(head[first])) {
        ++first;
    }
    std::size_t last = first;
    while (last < head.size() && !IsSpace(head[last])) {
        ++last;
    }
    if (TokenIsWord(head.substr(first, last - first), "solid")) {
        std::string_view word;
        NextToken(cursor, word);
        return StlReadAscii(source, arrays, content);
    }
    if (!headerHeld) {
        return !FormatReadFailed(source) &&
               FormatFail(source, "is too short for a binary STL file");
    }
    // A binary file whose size does not match its count: short, or with bytes after the last
    // facet, which are not read.
    if (source.fileSize != kUnknownFileSize && source.fileSize < binarySize) {
        const std::uint64_t held = (source.fileSize - kStlHeaderSize) / kStlFacetSize;
        return FormatFail(source, FormatHolds(held, declared, "triangles"));
    }
    cursor.countLines = false;
    cursor.next += kStlHeaderSize;
    if (!StlReadBinary(source, declared, arrays, content)) {
        return false;
    }
    if (source.fileSize != kUnknownFileSize) {
        content.warning = "has " + std::to_string(source.fileSize - binarySize) +
                          " bytes after the " + std::to_string(declared) +
                          " triangles its header declares; they are not read";
    } else if (TokenCursorEnsure(cursor, 1)) {
        content.warning = "has data after the " + std::to_string(declared) +
                          " triangles its header declares; it is not read";
    }
    return true;
}
