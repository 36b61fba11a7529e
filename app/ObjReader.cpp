// Wavefront OBJ: "v x y z" lines give vertices, "f" lines polygons of vertex numbers from 1
// (negative ones count back from the last vertex so far; texture and normal numbers after
// slashes are not read), "p" and "l" lines points and lines. "#" starts a comment.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/FormatReaders.h"

namespace {

// Checks one corner ("7", "7/1", "7//2", "-1/3/4") and gives its vertex number from 0, which
// may lie beyond the vertices so far (a file may name vertices before giving them).
bool ObjCorner(std::string_view token, int verticesSoFar, long long* vertex) {
    const std::size_t slash = token.find('/');
    int number = 0;
    if (ParseInt(token.substr(0, slash), number) != NumberStatus::kOk || number == 0) {
        return false;
    }
    // the texture and normal numbers are not read, but must be numbers or empty
    std::string_view rest = slash == std::string_view::npos ? "" : token.substr(slash + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find('/');
        const std::string_view part = rest.substr(0, next);
        int ignored = 0;
        if (!part.empty() && ParseInt(part, ignored) != NumberStatus::kOk) {
            return false;
        }
        rest = next == std::string_view::npos ? "" : rest.substr(next + 1);
    }
    *vertex = number > 0 ? number - 1LL : static_cast<long long>(verticesSoFar) + number;
    return *vertex >= 0;
}

// The highest corner that named a vertex not given yet, and where, for the message should it
// never be given.
struct ObjForward {
    long long highest = -1;
    std::string at;
};

bool ObjVertex(FormatSource& source, MeshArrays& arrays) {
    TokenCursor& cursor = source.cursor;
    float* vertex = MeshArraysAddVertex(arrays);
    if (vertex == nullptr) {
        return FormatTooLarge(source, arrays, "vertices");
    }
    for (int k = 0; k < 3; ++k) {
        if (!TokenCursorSkipToTokenOnLine(cursor)) {
            return !FormatReadFailed(source) &&
                   FormatFail(source,
                              FormatLine(source, cursor.next) + "a vertex needs three coordinates");
        }
        if (!FormatCoordinateHere(source, "is not a finite number", vertex[k])) {
            return false;
        }
    }
    // a weight or a colour may follow: numbers only
    std::string_view token;
    while (NextTokenOnLine(cursor, token)) {
        double number = 0.0;
        if (ParseDouble(token, number) != NumberStatus::kOk) {
            return FormatFail(source, FormatLine(source, token.data()) + QuotedToken(token) +
                                          " is not a finite number");
        }
    }
    return true;
}

bool ObjFace(FormatSource& source, MeshArrays& arrays, ObjForward& forward,
             MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    PolygonFan fan;
    std::string_view token;
    while (TokenCursorSkipToTokenOnLine(cursor)) {
        long long vertex = 0;
        int number = 0;
        if (TokenCursorShortCorner(cursor, token, number) && number > 0) {
            vertex = number - 1;
        } else if (!(token.empty() ? NextTokenOnLine(cursor, token) : true) ||
                   !ObjCorner(token, arrays.vertexCount, &vertex)) {
            return FormatFail(source, FormatLine(source, token.data()) + "corner " +
                                          QuotedToken(token) + " is not a vertex number");
        }
        if (vertex >= arrays.vertexCount && vertex > forward.highest) {
            forward.highest = vertex;
            forward.at = FormatLine(source, token.data());
        }
        if (!PolygonFanAdd(fan, arrays, static_cast<int>(vertex))) {
            return FormatTooLarge(source, arrays, "triangles");
        }
        token = std::string_view();
    }
    if (fan.corners >= 3) {
        ++content.polygonsRead;
    } else {
        ++content.droppedElements;
    }
    return true;
}

}  // namespace

bool ObjRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    cursor.comments = true;
    if (!FormatBegin(source, content, "Wavefront OBJ")) {
        return false;
    }
    // Nothing tells the counts; a vertex line takes at least "v 0 0 0" and a line feed.
    const std::size_t guess = FormatReservable(source, kUnknownFileSize, 8 * 4);
    if (!MeshArraysReserve(arrays, guess, guess)) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    ObjForward forward;
    std::string_view word;
    for (;;) {
        // "v x y z" and "f a b c" lines of short numbers, nearly every line of a large file, the
        // fast way
        const char* start = TokenCursorSkipSpace(cursor);
        if (cursor.end - start > 2 && IsBlank(start[1]) && (start[0] == 'v' || start[0] == 'f')) {
            cursor.next = start + 1;
            float values[3];
            int corners[3];
            if (start[0] == 'v' && TokenCursorLineOfDecimals(cursor, values) &&
                FormatInRange(values)) {
                float* vertex = MeshArraysAddVertex(arrays);
                if (vertex != nullptr) {
                    vertex[0] = values[0];
                    vertex[1] = values[1];
                    vertex[2] = values[2];
                    continue;
                }
            } else if (start[0] == 'f' && TokenCursorLineOfTriangle(cursor, false, corners) &&
                       FormatCornersIn(corners, 1, arrays.vertexCount)) {
                int* triangle = MeshArraysAddTriangle(arrays);
                if (triangle != nullptr) {
                    triangle[0] = corners[0];
                    triangle[1] = corners[1];
                    triangle[2] = corners[2];
                    ++content.polygonsRead;
                    continue;
                }
            }
            cursor.next = start;
        }
        if (!TokenCursorSkipToToken(cursor)) {
            break;
        }
        NextTokenOnLine(cursor, word);
        bool read = true;
        if (word == "v") {
            read = ObjVertex(source, arrays);
        } else if (word == "f") {
            read = ObjFace(source, arrays, forward, content);
        } else if (word == "p") {
            std::string_view point;
            while (NextTokenOnLine(cursor, point)) {
                ++content.droppedElements;
            }
        } else if (word == "l") {
            ++content.droppedElements;
            TokenCursorSkipLine(cursor);
        } else {
            TokenCursorSkipLine(cursor);
        }
        if (!read) {
            return false;
        }
    }
    if (FormatReadFailed(source)) {
        return false;
    }
    if (forward.highest >= arrays.vertexCount) {
        return FormatFail(source, forward.at + "corner " + std::to_string(forward.highest + 1) +
                                      " is beyond the file's " +
                                      std::to_string(arrays.vertexCount) + " vertices");
    }
    return true;
}
