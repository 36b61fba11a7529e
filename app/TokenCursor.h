#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

// Bytes a reader takes from a file at a time.
constexpr std::size_t kMeshReadBlockSize = std::size_t(1) << 20;

// Longest token a reader takes whole. Far longer than any number a writer prints (a double
// printed in full with %f has some 320 characters) and than any keyword; a longer token is cut
// to its first kMaxTokenLength + 1 bytes, which no number or keyword matches, so no file makes
// the buffer grow beyond a block.
constexpr std::size_t kMaxTokenLength = 1024;

enum class NumberStatus { kOk, kNotNumber, kOutOfRange, kNotFinite };

enum class ReadStatus { kOk, kReadError, kOutOfMemory };

// A file read one block at a time through one reused buffer and cut into tokens, or taken as
// binary records, from there. The buffer holds no more of the file than a block (or the longest
// token or record asked for), and stays in cache instead of faulting in pages for the whole file.
struct TokenCursor {
    std::istream* stream = nullptr;
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
    // The bytes read but not yet taken.
    const char* next = nullptr;
    const char* end = nullptr;
    // Nothing more will come: the stream ended, failed, or the buffer could not grow.
    bool streamEnded = false;
    ReadStatus status = ReadStatus::kOk;
    // '#' starts a comment that runs to the end of its line (OFF, OBJ).
    bool comments = false;
    // Line feeds are counted, for messages that name a line.
    bool countLines = false;
    // Line feeds and bytes of the file before the buffer's start.
    std::uint64_t linesBefore = 0;
    std::uint64_t offsetBefore = 0;
    // The last token was cut at kMaxTokenLength; its rest is skipped before the next one.
    bool inLongToken = false;
    // A byte of the buffer up to which lines were last counted, and the line there, so that
    // asking for lines further and further on counts each byte once.
    const char* lineMark = nullptr;
    std::uint64_t lineAtMark = 0;
};

// Sets the cursor up on the stream with a buffer of blockSize bytes; false without memory.
bool TokenCursorStart(TokenCursor& cursor, std::istream& stream, std::size_t blockSize);

// Moves the bytes from keep on to the buffer start, growing the buffer when they fill it, and
// reads more of the stream behind them. False on a read error or when the buffer cannot grow.
bool TokenCursorRefill(TokenCursor& cursor, const char* keep);

// Makes at least bytes bytes available from next on, reading as needed; false when the file
// ends (or reading fails) first.
bool TokenCursorEnsure(TokenCursor& cursor, std::size_t bytes);

// Skips white space and comments up to the next token; false when the file holds no more.
bool TokenCursorSkipToToken(TokenCursor& cursor);

// Skips blanks and a comment within the current line; true when a token starts at next, false
// at the line feed (not taken) or the end of the file.
bool TokenCursorSkipToTokenOnLine(TokenCursor& cursor);

// Takes everything up to and including the next line feed; false when the file ends first.
bool TokenCursorSkipLine(TokenCursor& cursor);

// Cuts the next token off the cursor, reading more as needed, so a token is never split at a
// block end; false when only white space is left or reading failed (see status).
bool NextToken(TokenCursor& cursor, std::string_view& token);

// The same within the current line: false at its line feed (not taken) or the end of the file.
bool NextTokenOnLine(TokenCursor& cursor, std::string_view& token);

// The line (from 1) of a byte in the buffer; lines before the buffer are counted only with
// countLines.
std::uint64_t TokenCursorLine(TokenCursor& cursor, const char* at);

// The file offset of a byte in the buffer.
std::uint64_t TokenCursorOffset(const TokenCursor& cursor, const char* at);

// Parses a whole token as a decimal int with optional sign, as stream extraction accepts one.
NumberStatus ParseInt(std::string_view token, int& value);

// The same for a 64-bit integer.
NumberStatus ParseLong(std::string_view token, long long& value);

// Parses a whole token as a finite float in the decimal syntax stream extraction accepts.
NumberStatus ParseFloat(std::string_view token, float& value);

// The same for a double.
NumberStatus ParseDouble(std::string_view token, double& value);

// A token as quoted in a message: shortened, and with control bytes masked, since it comes from
// a file that may hold anything.
std::string QuotedToken(std::string_view token);

// Whether the token is the word, letter case aside.
bool TokenIsWord(std::string_view token, std::string_view word);

// ---- the fast paths, inline: a call for each token costs more than their bodies ----

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

inline bool IsSpace(char c) {
    return kSpaceTable.isSpace[static_cast<unsigned char>(c)];
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Sums the plain digits from p on, stopping at stop (at most nine digits later, so the sum cannot
// overflow) or at the first other byte, and returns where it stopped.
inline const char* ShortDigitsScan(const char* p, const char* stop, int& sum) {
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
inline const char* EightBytesDigitsScan(const char* p, int& sum) {
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

// Exact in a double up to 1e22; the short path needs no more than 1e15.
inline constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
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

// Skips the white space before the next token within the bytes already read, and returns where
// the token starts (the end of those bytes when the block holds only white space).
inline const char* TokenCursorSkipSpace(TokenCursor& cursor) {
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
inline bool TokenCursorTokenEndsAt(const TokenCursor& cursor, const char* p) {
    return p != cursor.end ? IsSpace(*p) : cursor.streamEnded;
}

// The fast way to a corner, which nearly every token of a large file is: white space skipped and
// up to nine plain digits (never an int overflow) summed in the one pass that finds the token's
// end, instead of NextToken scanning it and ParseInt again. False, with the cursor at the token's
// start, for anything else: the caller then takes NextToken and ParseInt, which read it exactly
// as before and word every message.
inline bool TokenCursorShortCorner(TokenCursor& cursor, std::string_view& token, int& value) {
    if (cursor.inLongToken) {
        return false;
    }
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
inline bool TokenCursorShortDecimal(TokenCursor& cursor, std::string_view& token, float& value) {
    if (cursor.inLongToken) {
        return false;
    }
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

// ---- whole lines of the common forms, for the line-structured formats ----

// Whether c is a blank within a line: white space other than the line feed.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Reads three short decimals separated by blanks and the line end after them, where the whole
// line lies in the bytes read, from next on (white space before it already skipped). False,
// with the cursor where it was, for anything else: the caller's general path then reads the
// line token by token and words every message.
inline bool TokenCursorLineOfDecimals(TokenCursor& cursor, float* values) {
    const char* p = cursor.next;
    const char* end = cursor.end;
    for (int k = 0; k < 3; ++k) {
        while (p != end && IsBlank(*p)) {
            ++p;
        }
        ShortDecimal decimal;
        const char* q = ShortDecimalScan(p, end, decimal);
        if (q == end || !IsSpace(*q) || !ShortDecimalValue(decimal, values[k])) {
            return false;
        }
        p = q;
    }
    while (p != end && IsBlank(*p)) {
        ++p;
    }
    if (p == end || *p != '\n') {
        return false;
    }
    cursor.next = p + 1;
    return true;
}

// The same for a triangle: "3 a b c" when counted (OFF and PLY faces), "a b c" otherwise (after
// OBJ's "f"), corners of up to nine plain digits, then the line end.
inline bool TokenCursorLineOfTriangle(TokenCursor& cursor, bool counted, int* corners) {
    const char* p = cursor.next;
    const char* end = cursor.end;
    if (counted) {
        if (end - p < 2 || p[0] != '3' || !IsBlank(p[1])) {
            return false;
        }
        p += 2;
    }
    for (int k = 0; k < 3; ++k) {
        while (p != end && IsBlank(*p)) {
            ++p;
        }
        const char* q = end - p >= 8 ? EightBytesDigitsScan(p, corners[k]) : p;
        if (q == p) {
            q = ShortDigitsScan(p, end - p > 9 ? p + 9 : end, corners[k]);
        }
        if (q == p || q == end || !IsSpace(*q)) {
            return false;
        }
        p = q;
    }
    while (p != end && IsBlank(*p)) {
        ++p;
    }
    if (p == end || *p != '\n') {
        return false;
    }
    cursor.next = p + 1;
    return true;
}
