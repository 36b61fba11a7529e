#include "app/MeshReader.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

namespace {

enum class NumberStatus { kOk, kNotNumber, kOutOfRange, kNotFinite };

enum class ReadStatus { kOk, kReadError, kOutOfMemory };

// The file cut into tokens one block at a time. One buffer is reused for every block, so the
// reader holds no more of the file than a block (or the longest token) however large it is, and
// the buffer stays in cache instead of faulting in fresh pages for the whole file.
struct TokenCursor {
    std::istream* stream;
    std::unique_ptr<char[]> buffer;
    std::size_t capacity;
    // The bytes read but not yet cut into tokens.
    const char* next;
    const char* end;
    // Nothing more will come: the stream ended, failed, or the buffer could not grow.
    bool streamEnded;
    ReadStatus status;
};

// The white space formatted stream extraction skips in the classic locale, as a table: every
// byte of the file is tested once, and one load is cheaper than six comparisons.
struct SpaceTable {
    bool isSpace[256];
};

constexpr SpaceTable SpaceTableMake() {
    SpaceTable table{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        table.isSpace[c] = true;
    }
    return table;
}

constexpr SpaceTable kSpaceTable = SpaceTableMake();

bool IsSpace(char c) {
    return kSpaceTable.isSpace[static_cast<unsigned char>(c)];
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Moves the unfinished token from keep on to the buffer start, growing the buffer when that
// token fills it, and reads more of the stream behind it. False on a read error or when the
// buffer cannot grow; the status says which.
bool TokenCursorRefill(TokenCursor& cursor, const char* keep) {
    std::size_t kept = static_cast<std::size_t>(cursor.end - keep);
    if (kept == cursor.capacity) {
        std::size_t grown = cursor.capacity * 2;
        std::unique_ptr<char[]> larger(grown > cursor.capacity ? new (std::nothrow) char[grown]
                                                               : nullptr);
        if (!larger) {
            cursor.status = ReadStatus::kOutOfMemory;
            cursor.streamEnded = true;
            return false;
        }
        std::memcpy(larger.get(), keep, kept);
        cursor.buffer = std::move(larger);
        cursor.capacity = grown;
    } else if (kept > 0) {
        std::memmove(cursor.buffer.get(), keep, kept);
    }
    char* start = cursor.buffer.get();
    cursor.stream->read(start + kept, static_cast<std::streamsize>(cursor.capacity - kept));
    cursor.next = start;
    cursor.end = start + kept + static_cast<std::size_t>(cursor.stream->gcount());
    if (cursor.stream->bad()) {
        cursor.status = ReadStatus::kReadError;
        cursor.streamEnded = true;
        return false;
    }
    cursor.streamEnded = !*cursor.stream;
    return true;
}

// Cuts the next token off the cursor, reading more of the stream as needed, so a token is never
// split at a block end; false when only white space is left or reading failed (see status).
bool NextToken(TokenCursor& cursor, std::string_view& token) {
    const char* p = cursor.next;
    for (;;) {
        while (p != cursor.end && IsSpace(*p)) {
            ++p;
        }
        if (p != cursor.end) {
            break;
        }
        if (cursor.streamEnded || !TokenCursorRefill(cursor, p)) {
            cursor.next = cursor.end;
            return false;
        }
        p = cursor.next;
    }
    const char* start = p;
    for (;;) {
        while (p != cursor.end && !IsSpace(*p)) {
            ++p;
        }
        if (p != cursor.end || cursor.streamEnded) {
            break;
        }
        std::size_t scanned = static_cast<std::size_t>(p - start);
        if (!TokenCursorRefill(cursor, start)) {
            return false;
        }
        start = cursor.next;
        p = start + scanned;
    }
    cursor.next = p;
    token = std::string_view(start, static_cast<std::size_t>(p - start));
    return true;
}

// Sums the plain digits from p on, stopping at stop (at most nine digits later, so the sum cannot
// overflow) or at the first other byte, and returns where it stopped.
const char* ShortDigitsScan(const char* p, const char* stop, int& sum) {
    int digits = 0;
    for (; p != stop && IsDigit(*p); ++p) {
        digits = digits * 10 + (*p - '0');
    }
    sum = digits;
    return p;
}

// Sums the digits that begin the eight bytes from p with a few word operations instead of one
// multiplication after another, and returns where they end; p itself when there are none or all
// eight are digits (more may follow), which ShortDigitsScan then takes.
const char* EightBytesDigitsScan(const char* p, int& sum) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte must be the lowest");
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    // A byte is a digit when its high half is 3 and adding 6 keeps it so. A carry out of a byte
    // can only come from a byte that is no digit, so the first byte that is none is found.
    constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0;
    std::uint64_t halves =
        (word & kHighHalves) | (((word + 0x0606060606060606) & kHighHalves) >> 4);
    std::uint64_t notDigits = halves ^ 0x3333333333333333;
    if (notDigits == 0 || (notDigits & 0xFF) != 0) {
        return p;
    }
    int count = __builtin_ctzll(notDigits) / 8;
    // Digits moved to the top bytes, with zeros below them that read as leading zeros; then pairs,
    // quadruples and the two halves are combined.
    std::uint64_t digits = (word << (64 - 8 * count)) & 0x0F0F0F0F0F0F0F0F;
    digits = (digits * (1 + (10 << 8))) >> 8;
    digits = ((digits & 0x00FF00FF00FF00FF) * (1 + (100 << 16))) >> 16;
    digits = ((digits & 0x0000FFFF0000FFFF) * (1 + (std::uint64_t(10000) << 32))) >> 32;
    sum = static_cast<int>(digits);
    return p + count;
}

// Parses a whole token as a decimal int with optional sign, as stream extraction accepts one.
NumberStatus ParseInt(std::string_view token, int& value) {
    const char* p = token.data();
    const char* end = p + token.size();
    // Nearly every token of a large file is a corner index of at most nine plain digits, which
    // cannot overflow an int; summing them here is faster than the general conversion below.
    int sum = 0;
    if (token.size() <= 9 && ShortDigitsScan(p, end, sum) == end) {
        value = sum;
        return NumberStatus::kOk;
    }
    // from_chars takes no plus sign; "+-1" must stay refused after the plus is skipped.
    if (*p == '+') {
        ++p;
        if (p == end || !IsDigit(*p)) {
            return NumberStatus::kNotNumber;
        }
    }
    int parsed = 0;
    std::from_chars_result result = std::from_chars(p, end, parsed, 10);
    if (result.ec == std::errc::invalid_argument || result.ptr != end) {
        return NumberStatus::kNotNumber;
    }
    if (result.ec == std::errc::result_out_of_range) {
        return NumberStatus::kOutOfRange;
    }
    value = parsed;
    return NumberStatus::kOk;
}

// Exact in a double up to 1e22; the short path needs no more than 1e15.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// "-?digits(.digits)?" of at most 15 digits, the form writers print coordinates in, as scanned.
struct ShortDecimal {
    std::int64_t digits;
    int digitCount;
    int fractionCount;
    bool negative;
    bool hasPoint;
};

// Scans the longest start of [p, end) that can begin a short decimal and returns where it
// stops. At most 16 digits are taken, so the sum cannot overflow and a longer number is seen to
// be one. Inline, like ShortDecimalValue, because a call for each coordinate costs more than
// either body on a large file.
inline const char* ShortDecimalScan(const char* p, const char* end, ShortDecimal& decimal) {
    decimal.negative = p != end && *p == '-';
    if (decimal.negative) {
        ++p;
    }
    std::int64_t digits = 0;
    int digitCount = 0;
    for (; p != end && IsDigit(*p) && digitCount <= 15; ++p, ++digitCount) {
        digits = digits * 10 + (*p - '0');
    }
    const int integerCount = digitCount;
    decimal.hasPoint = p != end && *p == '.' && integerCount > 0;
    if (decimal.hasPoint) {
        ++p;
        for (; p != end && IsDigit(*p) && digitCount <= 15; ++p, ++digitCount) {
            digits = digits * 10 + (*p - '0');
        }
    }
    decimal.digits = digits;
    decimal.digitCount = digitCount;
    decimal.fractionCount = digitCount - integerCount;
    return p;
}

// The float a scanned short decimal stands for, without the general conversion. The digits and
// the power of ten are exact doubles, so their quotient is the correctly rounded double; rounding
// that to a float is the correctly rounded float unless the double lands exactly halfway between
// two floats, which is refused here and left to the general conversion. False too when the scan
// did not give the whole form ("1.", ".5" and numbers of 16 digits go the general way).
inline bool ShortDecimalValue(const ShortDecimal& decimal, float& value) {
    if (decimal.digitCount == 0 || decimal.digitCount > 15 ||
        (decimal.hasPoint && decimal.fractionCount == 0)) {
        return false;
    }
    double quotient = static_cast<double>(decimal.digits) / kPowersOfTen[decimal.fractionCount];
    std::uint64_t bits = 0;
    std::memcpy(&bits, &quotient, sizeof bits);
    // The 29 low mantissa bits are those a float drops; 1 and 28 zeros is exactly halfway.
    // Every nonzero quotient here lies within the normal floats, where this holds.
    if ((bits & ((std::uint64_t(1) << 29) - 1)) == (std::uint64_t(1) << 28)) {
        return false;
    }
    float rounded = static_cast<float>(quotient);
    value = decimal.negative ? -rounded : rounded;
    return true;
}

// Converts [p, end) when it is a short decimal; false otherwise.
bool ParseShortDecimal(const char* p, const char* end, float& value) {
    ShortDecimal decimal;
    return ShortDecimalScan(p, end, decimal) == end && ShortDecimalValue(decimal, value);
}

// Parses a whole token as a finite float in the decimal syntax stream extraction accepts.
NumberStatus ParseFloat(std::string_view token, float& value) {
    const char* p = token.data();
    const char* end = p + token.size();
    if (*p == '+') {
        ++p;
        if (p == end || !(IsDigit(*p) || *p == '.')) {
            return NumberStatus::kNotNumber;
        }
    }
    if (ParseShortDecimal(p, end, value)) {
        return NumberStatus::kOk;
    }
    float parsed = 0.0f;
    std::from_chars_result result = std::from_chars(p, end, parsed, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument || result.ptr != end) {
        return NumberStatus::kNotNumber;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Stream extraction takes an underflow as zero or a denormal but refuses an overflow;
        // strtof tells the two apart. This path is rare, so the copy does not matter.
        std::string copy(token);
        char* stop = nullptr;
        parsed = std::strtof(copy.c_str(), &stop);
        if (stop != copy.c_str() + copy.size()) {
            return NumberStatus::kNotNumber;
        }
    }
    if (!std::isfinite(parsed)) {
        return NumberStatus::kNotFinite;
    }
    value = parsed;
    return NumberStatus::kOk;
}

// Skips the white space before the next token within the bytes already read, and returns where
// the token starts (the end of those bytes when the block holds only white space).
const char* TokenCursorSkipSpace(TokenCursor& cursor) {
    const char* p = cursor.next;
    while (p != cursor.end && IsSpace(*p)) {
        ++p;
    }
    cursor.next = p;
    return p;
}

// Whether a token scanned up to p ends there: at a white-space byte, or at the end of a stream
// that has nothing more to give. At the end of the bytes read so far it may go on in the next
// block.
bool TokenCursorTokenEndsAt(const TokenCursor& cursor, const char* p) {
    return p != cursor.end ? IsSpace(*p) : cursor.streamEnded;
}

// The fast way to a corner, which nearly every token of a large file is: white space skipped and
// up to nine plain digits (never an int overflow) summed in the one pass that finds the token's
// end, instead of NextToken scanning it and ParseInt again. False, with the cursor at the token's
// start, for anything else: the caller then takes NextToken and ParseInt, which read it exactly
// as before and word every message.
bool TokenCursorShortCorner(TokenCursor& cursor, std::string_view& token, int& value) {
    const char* start = TokenCursorSkipSpace(cursor);
    int sum = 0;
    // Up to seven digits and the byte after them are one word wherever the block holds eight
    // bytes; longer tokens and those near the block end go byte by byte.
    const char* p = cursor.end - start >= 8 ? EightBytesDigitsScan(start, sum) : start;
    if (p == start) {
        p = ShortDigitsScan(start, cursor.end - start > 9 ? start + 9 : cursor.end, sum);
    }
    // A tenth digit is no white space, so it too leaves the token to the general path.
    if (p == start || !TokenCursorTokenEndsAt(cursor, p)) {
        return false;
    }
    cursor.next = p;
    token = std::string_view(start, static_cast<std::size_t>(p - start));
    value = sum;
    return true;
}

// The same for a coordinate written as a short decimal, converted as ParseFloat converts it.
bool TokenCursorShortDecimal(TokenCursor& cursor, std::string_view& token, float& value) {
    const char* start = TokenCursorSkipSpace(cursor);
    ShortDecimal decimal;
    const char* p = ShortDecimalScan(start, cursor.end, decimal);
    if (!TokenCursorTokenEndsAt(cursor, p) || !ShortDecimalValue(decimal, value)) {
        return false;
    }
    cursor.next = p;
    token = std::string_view(start, static_cast<std::size_t>(p - start));
    return true;
}

// A token as quoted in a message: shortened, and with control bytes masked, since it comes from
// a file that may hold anything.
std::string QuotedToken(std::string_view token) {
    constexpr std::size_t kShownLength = 40;
    std::string quoted = "\"";
    for (char c : token.substr(0, kShownLength)) {
        unsigned char byte = static_cast<unsigned char>(c);
        quoted += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    quoted += token.size() > kShownLength ? "...\"" : "\"";
    return quoted;
}

// Starts an error line that names the file.
std::ostream& FileError(std::ostream& messages, const char* path) {
    return messages << "Error: \"" << path << "\": ";
}

// Prints why no token came when reading failed; false when the file merely ended.
bool ReportReadFailure(std::ostream& messages, const char* path, const TokenCursor& cursor) {
    if (cursor.status == ReadStatus::kReadError) {
        FileError(messages, path) << "could not be read" << std::endl;
        return true;
    }
    if (cursor.status == ReadStatus::kOutOfMemory) {
        FileError(messages, path) << "not enough memory to hold the file" << std::endl;
        return true;
    }
    return false;
}

// Reads one of the two counts, refusing what cannot be allocated.
bool ReadCount(std::ostream& messages, const char* path, TokenCursor& cursor, const char* name,
               int& count) {
    std::string_view token;
    if (!NextToken(cursor, token)) {
        if (!ReportReadFailure(messages, path, cursor)) {
            FileError(messages, path) << "file ends before the " << name << std::endl;
        }
        return false;
    }
    NumberStatus status = ParseInt(token, count);
    if (status == NumberStatus::kNotNumber) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is not a number"
                                  << std::endl;
        return false;
    }
    bool negative = token.front() == '-';
    if (negative && (status == NumberStatus::kOutOfRange || count < 0)) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is negative"
                                  << std::endl;
        return false;
    }
    if (status == NumberStatus::kOutOfRange || count > kMaxMeshElementCount) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is too large (at most "
                                  << kMaxMeshElementCount << ")" << std::endl;
        return false;
    }
    return true;
}

// Reads the three coordinates of every vertex.
bool ReadCoordinates(std::ostream& messages, const char* path, TokenCursor& cursor, int vertexCount,
                     float* coordinates) {
    std::string_view token;
    for (int v = 0; v < vertexCount; ++v) {
        for (int c = 0; c < 3; ++c) {
            float& coordinate = coordinates[3 * std::size_t(v) + c];
            NumberStatus status = NumberStatus::kOk;
            if (!TokenCursorShortDecimal(cursor, token, coordinate)) {
                if (!NextToken(cursor, token)) {
                    if (!ReportReadFailure(messages, path, cursor)) {
                        FileError(messages, path) << "file ends before the coordinates of vertex "
                                                  << v << " are complete" << std::endl;
                    }
                    return false;
                }
                status = ParseFloat(token, coordinate);
            }
            if (status == NumberStatus::kNotNumber) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is not a number" << std::endl;
                return false;
            }
            if (status != NumberStatus::kOk) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is not finite" << std::endl;
                return false;
            }
            if (std::fabs(coordinate) > kMaxCoordinate) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is out of range (-1e9 to 1e9)" << std::endl;
                return false;
            }
        }
    }
    return true;
}

// Reads the three corners of every face; a corner must name one of the file's vertices, since
// the mesh looks vertices up by these numbers without checking them.
bool ReadCorners(std::ostream& messages, const char* path, TokenCursor& cursor, int faceCount,
                 int vertexCount, int* indices) {
    std::string_view token;
    for (int f = 0; f < faceCount; ++f) {
        for (int c = 0; c < 3; ++c) {
            int corner = 0;
            NumberStatus status = NumberStatus::kOk;
            if (!TokenCursorShortCorner(cursor, token, corner)) {
                if (!NextToken(cursor, token)) {
                    if (!ReportReadFailure(messages, path, cursor)) {
                        FileError(messages, path) << "file ends before the corners of face " << f
                                                  << " are complete" << std::endl;
                    }
                    return false;
                }
                status = ParseInt(token, corner);
            }
            if (status == NumberStatus::kNotNumber) {
                FileError(messages, path) << "corner " << QuotedToken(token) << " of face " << f
                                          << " is not a number" << std::endl;
                return false;
            }
            if (status != NumberStatus::kOk || corner < 0 || corner >= vertexCount) {
                if (vertexCount == 0) {
                    FileError(messages, path)
                        << "corner " << QuotedToken(token) << " of face " << f
                        << " names a vertex, but the file has no vertices" << std::endl;
                } else {
                    FileError(messages, path)
                        << "corner " << QuotedToken(token) << " of face " << f
                        << " is outside the vertex numbers 0 to " << vertexCount - 1 << std::endl;
                }
                return false;
            }
            indices[3 * std::size_t(f) + c] = corner;
        }
    }
    return true;
}

}  // namespace

bool ReadMeshFile(const char* path, float** coordinates, int** indices, int* vertexCount,
                  int* faceCount, std::ostream& messages, std::size_t blockSize,
                  const std::function<void(int, int)>& countsRead) {
    assert(coordinates != nullptr && indices != nullptr);
    assert(blockSize > 0);
    assert(vertexCount != nullptr && faceCount != nullptr);

    std::ifstream stream;
    if (!OpenMeshFile(path, stream, messages)) {
        return false;
    }

    // An ifstream opens a directory on Linux and only fails on the first read.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        FileError(messages, path) << "is a directory, not a mesh file" << std::endl;
        return false;
    }

    // Header word, extracted with a bounded width so no word overflows the buffer; a word that
    // fills it is longer than "ZEL" anyway. Checking it before the rest is read keeps an endless
    // stream such as /dev/zero from being pulled into memory.
    char header[256] = {};
    stream >> std::setw(sizeof header) >> header;
    if (stream.bad()) {
        FileError(messages, path) << "could not be read" << std::endl;
        return false;
    }
    if (stream.fail() || std::strcmp(header, "ZEL") != 0) {
        messages << "Error: Do not recognize file type. File data should have ZEL header"
                 << std::endl;
        return false;
    }

    TokenCursor cursor{&stream,        std::unique_ptr<char[]>(new (std::nothrow) char[blockSize]),
                       blockSize,      nullptr,
                       nullptr,        false,
                       ReadStatus::kOk};
    if (!cursor.buffer) {
        FileError(messages, path) << "not enough memory to hold the file" << std::endl;
        return false;
    }
    cursor.next = cursor.end = cursor.buffer.get();

    int vertices = 0;
    int faces = 0;
    if (!ReadCount(messages, path, cursor, "vertex count", vertices) ||
        !ReadCount(messages, path, cursor, "face count", faces)) {
        return false;
    }
    if (countsRead) {
        countsRead(vertices, faces);
    }

    // Counts are at most kMaxMeshElementCount, so three times either fits a size_t.
    std::unique_ptr<float[]> coordinateArray(new (std::nothrow) float[3 * std::size_t(vertices)]);
    std::unique_ptr<int[]> indexArray(new (std::nothrow) int[3 * std::size_t(faces)]);
    if (!coordinateArray || !indexArray) {
        FileError(messages, path) << "not enough memory for " << vertices << " vertices and "
                                  << faces << " faces" << std::endl;
        return false;
    }

    if (!ReadCoordinates(messages, path, cursor, vertices, coordinateArray.get()) ||
        !ReadCorners(messages, path, cursor, faces, vertices, indexArray.get())) {
        return false;
    }

    // Reading stops with the block that holds the last face; nothing after it is read, so a mesh
    // followed by endless data (a pipe, a device) loads. The file and the buffer are released
    // before the arrays are handed out.
    stream.close();
    cursor.buffer.reset();
    *coordinates = coordinateArray.release();
    *indices = indexArray.release();
    *vertexCount = vertices;
    *faceCount = faces;
    return true;
}

bool OpenMeshFile(const char* path, std::ifstream& stream, std::ostream& messages) {
    if (path == nullptr) {
        messages << "Error: Invalid filename given to read file" << std::endl;
        return false;
    }
    if (!stream.is_open()) {
        stream.open(path, std::ios::in);
    }
    if (!stream.is_open()) {
        messages << "Error: file could not be opened for reading \"" << path << "\"" << std::endl;
        return false;
    }
    return true;
}

bool ZelMeshRead(const char* path, ZelMesh* mesh) {
    float* coordinates = nullptr;
    int* indices = nullptr;
    int vertexCount = 0;
    int faceCount = 0;
    if (!ReadMeshFile(path, &coordinates, &indices, &vertexCount, &faceCount)) {
        return false;
    }
    mesh->coordinates.assign(coordinates, coordinates + 3 * std::size_t(vertexCount));
    mesh->indices.assign(indices, indices + 3 * std::size_t(faceCount));
    delete[] coordinates;
    delete[] indices;
    return true;
}
