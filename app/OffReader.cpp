// OFF text files: a header word, vertex, face and edge counts, a line per vertex, a line per
// face with its corner count first. "#" starts a comment anywhere.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "app/FormatReaders.h"

namespace {

// Bytes of a token a message quotes, and one more to show it was longer.
constexpr std::size_t kQuotedLength = 41;

// The header words [ST][C][N]OFF, letter case aside; sets the numbers each vertex line starts
// with (three coordinates, then normal and texture numbers).
bool OffKeyword(std::string_view word, int* vertexNumbers) {
    const struct {
        const char* word;
        int numbers;
    } kKeywords[] = {{"OFF", 3},   {"COFF", 3},  {"NOFF", 6},
                     {"CNOFF", 6}, {"STOFF", 5}, {"STNOFF", 8}};
    for (const auto& keyword : kKeywords) {
        if (TokenIsWord(word, keyword.word)) {
            *vertexNumbers = keyword.numbers;
            return true;
        }
    }
    return false;
}

// Takes the rest of a vertex or face line, which may hold colours and the like: numbers only.
bool OffRestOfLine(FormatSource& source, const char* notNumber) {
    std::string_view token;
    while (NextTokenOnLine(source.cursor, token)) {
        double number = 0.0;
        if (ParseDouble(token, number) != NumberStatus::kOk) {
            return FormatFail(source,
                              FormatLine(source, token.data()) + QuotedToken(token) + notNumber);
        }
    }
    return !FormatReadFailed(source);
}

// Reads the three counts; the first one's token may have been cut already (first not empty).
bool OffReadCounts(FormatSource& source, std::string_view first, long long counts[3]) {
    TokenCursor& cursor = source.cursor;
    std::string_view token = first;
    for (int i = 0; i < 3; ++i) {
        if ((i > 0 || token.empty()) && !NextToken(cursor, token)) {
            return !FormatReadFailed(source) &&
                   FormatFail(source, "ends before its vertex, face and edge counts");
        }
        int count = 0;
        if (ParseInt(token, count) != NumberStatus::kOk || count < 0) {
            return FormatFail(source, FormatLine(source, token.data()) + QuotedToken(token) +
                                          " is not a vertex, face or edge count");
        }
        counts[i] = count;
    }
    if (NextTokenOnLine(cursor, token)) {
        return FormatFail(
            source, FormatLine(source, token.data()) + QuotedToken(token) + " follows the counts");
    }
    for (int i = 0; i < 2; ++i) {
        if (counts[i] > kMaxMeshElementCount) {
            return FormatFail(source, std::string(i == 0 ? "vertex" : "face") + " count " +
                                          std::to_string(counts[i]) + " is too large (at most " +
                                          std::to_string(kMaxMeshElementCount) + ")");
        }
    }
    return !FormatReadFailed(source);
}

bool OffReadVertices(FormatSource& source, MeshArrays& arrays, int vertexCount, int vertexNumbers) {
    TokenCursor& cursor = source.cursor;
    for (int v = 0; v < vertexCount; ++v) {
        // a line of three short decimals, nearly every line of a large file, the fast way
        float values[3];
        TokenCursorSkipSpace(cursor);
        const char* start = cursor.next;
        if (vertexNumbers == 3 && TokenCursorLineOfDecimals(cursor, values)) {
            float* vertex = FormatInRange(values) ? MeshArraysAddVertex(arrays) : nullptr;
            if (vertex != nullptr) {
                vertex[0] = values[0];
                vertex[1] = values[1];
                vertex[2] = values[2];
                continue;
            }
            cursor.next = start;
        }
        if (!TokenCursorSkipToToken(cursor)) {
            return !FormatReadFailed(source) &&
                   FormatFail(source, FormatHolds(std::uint64_t(v), std::uint64_t(vertexCount),
                                                  "vertices"));
        }
        float* vertex = MeshArraysAddVertex(arrays);
        if (vertex == nullptr) {
            return FormatTooLarge(source, arrays, "vertices");
        }
        for (int k = 0; k < vertexNumbers; ++k) {
            if (k > 0 && !TokenCursorSkipToTokenOnLine(cursor)) {
                return !FormatReadFailed(source) &&
                       FormatFail(source, FormatLine(source, cursor.next) + "vertex " +
                                              std::to_string(v) + " needs " +
                                              std::to_string(vertexNumbers) + " numbers");
            }
            if (k < 3) {
                if (!FormatCoordinateHere(source, "is not a finite number", vertex[k])) {
                    return false;
                }
                continue;
            }
            std::string_view token;
            double number = 0.0;
            if (NextTokenOnLine(cursor, token) && ParseDouble(token, number) != NumberStatus::kOk) {
                return FormatFail(source, FormatLine(source, token.data()) + QuotedToken(token) +
                                              " is not a finite number");
            }
        }
        if (!OffRestOfLine(source, " is not a finite number")) {
            return false;
        }
    }
    return true;
}

bool OffReadFaces(FormatSource& source, MeshArrays& arrays, int faceCount, int vertexCount,
                  MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    const std::string range =
        " is not a vertex number (0 to " + std::to_string(vertexCount - 1) + ")";
    for (int f = 0; f < faceCount; ++f) {
        // a line "3 a b c", nearly every line of a large file, the fast way
        int corners[3];
        TokenCursorSkipSpace(cursor);
        const char* start = cursor.next;
        if (TokenCursorLineOfTriangle(cursor, true, corners)) {
            int* triangle =
                FormatCornersIn(corners, 0, vertexCount) ? MeshArraysAddTriangle(arrays) : nullptr;
            if (triangle != nullptr) {
                triangle[0] = corners[0];
                triangle[1] = corners[1];
                triangle[2] = corners[2];
                ++content.polygonsRead;
                continue;
            }
            cursor.next = start;
        }
        if (!TokenCursorSkipToToken(cursor)) {
            return !FormatReadFailed(source) &&
                   FormatFail(source,
                              FormatHolds(std::uint64_t(f), std::uint64_t(faceCount), "faces"));
        }
        std::string_view countToken;
        int cornerCount = 0;
        if (!FormatIntHere(source, countToken, cornerCount) || cornerCount < 0) {
            return FormatFail(source, FormatLine(source, countToken.data()) +
                                          QuotedToken(countToken) +
                                          " is not the corner count of the face on this line");
        }
        // the count token is gone once a later token of a long line needs another block; what
        // a message quotes of it is kept
        char countText[kQuotedLength];
        const std::size_t countLength = std::min(countToken.size(), sizeof countText);
        std::memcpy(countText, countToken.data(), countLength);
        PolygonFan fan;
        for (int k = 0; k < cornerCount; ++k) {
            if (!TokenCursorSkipToTokenOnLine(cursor)) {
                // the line ended, so the cursor is still on it
                return !FormatReadFailed(source) &&
                       FormatFail(source,
                                  FormatLine(source, cursor.next) +
                                      QuotedToken(std::string_view(countText, countLength)) +
                                      " is not the corner count of the face on this line");
            }
            std::string_view token;
            int corner = 0;
            if (!FormatIntHere(source, token, corner) || corner < 0 || corner >= vertexCount) {
                return FormatFail(source, FormatLine(source, token.data()) + "corner " +
                                              QuotedToken(token) + range);
            }
            if (!PolygonFanAdd(fan, arrays, corner)) {
                return FormatTooLarge(source, arrays, "triangles");
            }
        }
        if (cornerCount >= 3) {
            ++content.polygonsRead;
        } else {
            ++content.droppedElements;
        }
        if (!OffRestOfLine(source, " is not a number")) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool OffRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    cursor.comments = true;
    if (!FormatBegin(source, content, "OFF")) {
        return false;
    }

    // The header word may not run into a comment: "OFF#" is no header.
    std::string_view word;
    if (!TokenCursorSkipToToken(cursor)) {
        return !FormatReadFailed(source) && FormatFail(source, "holds no OFF header");
    }
    cursor.comments = false;
    NextToken(cursor, word);
    cursor.comments = true;
    int vertexNumbers = 3;
    if (!OffKeyword(word, &vertexNumbers)) {
        return FormatFail(source, FormatLine(source, word.data()) + "the header word " +
                                      QuotedToken(word) +
                                      " is not OFF, COFF, NOFF, CNOFF, STOFF or STNOFF");
    }
    // the counts may follow on the header word's line
    std::string_view first;
    if (NextTokenOnLine(cursor, first) && TokenIsWord(first, "BINARY")) {
        return FormatFail(source, "is a binary OFF file, which is not read");
    }
    long long counts[3] = {0, 0, 0};
    if (!OffReadCounts(source, first, counts)) {
        return false;
    }
    const int vertexCount = static_cast<int>(counts[0]);
    const int faceCount = static_cast<int>(counts[1]);
    if (source.countsRead != nullptr) {
        (*source.countsRead)(vertexCount, faceCount);
    }
    // at least "0 0 0" and a line feed a vertex, "3 0 0 0" and a line feed a face
    if (!MeshArraysReserve(arrays, FormatReservable(source, std::uint64_t(vertexCount), 6),
                           FormatReservable(source, std::uint64_t(faceCount), 8))) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    FormatArraysReserved(source, vertexCount, faceCount);
    if (!OffReadVertices(source, arrays, vertexCount, vertexNumbers) ||
        !OffReadFaces(source, arrays, faceCount, vertexCount, content)) {
        return false;
    }
    if (TokenCursorSkipToToken(cursor)) {
        content.warning = FormatLine(source, cursor.next) + "holds more than the " +
                          std::to_string(faceCount) +
                          " faces its header declares; the rest is not read";
    }
    return !FormatReadFailed(source);
}
