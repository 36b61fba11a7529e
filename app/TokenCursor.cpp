#include "app/TokenCursor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <system_error>
#include <type_traits>

namespace {

// A byte that ends a token: white space, or the start of a comment where the format has them.
bool EndsToken(const TokenCursor& cursor, char c) {
    return IsSpace(c) || (cursor.comments && c == '#');
}

// Takes the rest of a comment, up to its line feed (not taken) or the end of the file.
void SkipComment(TokenCursor& cursor) {
    for (;;) {
        const char* feed = static_cast<const char*>(
            std::memchr(cursor.next, '\n', static_cast<std::size_t>(cursor.end - cursor.next)));
        if (feed != nullptr) {
            cursor.next = feed;
            return;
        }
        cursor.next = cursor.end;
        if (cursor.streamEnded || !TokenCursorRefill(cursor, cursor.end)) {
            return;
        }
    }
}

// Takes the rest of a token cut at kMaxTokenLength, without keeping it.
void SkipLongTokenRest(TokenCursor& cursor) {
    if (!cursor.inLongToken) {
        return;
    }
    cursor.inLongToken = false;
    for (;;) {
        const char* p = cursor.next;
        while (p != cursor.end && !EndsToken(cursor, *p)) {
            ++p;
        }
        cursor.next = p;
        if (p != cursor.end || cursor.streamEnded || !TokenCursorRefill(cursor, cursor.end)) {
            return;
        }
    }
}

// Cuts the token that starts at next; at most kMaxTokenLength + 1 bytes of it are kept.
bool CutToken(TokenCursor& cursor, std::string_view& token) {
    const char* start = cursor.next;
    const char* p = start;
    for (;;) {
        while (p != cursor.end && !EndsToken(cursor, *p) &&
               static_cast<std::size_t>(p - start) <= kMaxTokenLength) {
            ++p;
        }
        if (static_cast<std::size_t>(p - start) > kMaxTokenLength) {
            cursor.inLongToken = true;
            break;
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

}  // namespace

bool TokenCursorStart(TokenCursor& cursor, std::istream& stream, std::size_t blockSize) {
    cursor = TokenCursor();
    cursor.stream = &stream;
    cursor.buffer.reset(new (std::nothrow) char[blockSize]);
    if (!cursor.buffer) {
        return false;
    }
    cursor.capacity = blockSize;
    cursor.next = cursor.end = cursor.buffer.get();
    return true;
}

bool TokenCursorRefill(TokenCursor& cursor, const char* keep) {
    char* start = cursor.buffer.get();
    if (cursor.countLines) {
        cursor.linesBefore +=
            static_cast<std::uint64_t>(std::count(static_cast<const char*>(start), keep, '\n'));
    }
    cursor.offsetBefore += static_cast<std::uint64_t>(keep - start);
    cursor.lineMark = nullptr;
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
        start = cursor.buffer.get();
    } else if (kept > 0) {
        std::memmove(start, keep, kept);
    }
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

bool TokenCursorEnsure(TokenCursor& cursor, std::size_t bytes) {
    while (static_cast<std::size_t>(cursor.end - cursor.next) < bytes) {
        if (cursor.streamEnded) {
            return false;
        }
        // Kept bytes that fill the buffer make it grow; fewer leave room for more.
        if (!TokenCursorRefill(cursor, cursor.next)) {
            return false;
        }
    }
    return true;
}

namespace {

// Skips white space and comments up to the next token, refilling as it goes; with
// stopAtLineEnd, a line feed ends the search too (the cursor then stands on it).
template <bool stopAtLineEnd>
bool SkipToToken(TokenCursor& cursor) {
    SkipLongTokenRest(cursor);
    const char* p = cursor.next;
    for (;;) {
        while (p != cursor.end && IsSpace(*p) && !(stopAtLineEnd && *p == '\n')) {
            ++p;
        }
        cursor.next = p;
        if (p != cursor.end) {
            if (stopAtLineEnd && *p == '\n') {
                return false;
            }
            if (!(cursor.comments && *p == '#')) {
                return true;
            }
            SkipComment(cursor);
            p = cursor.next;
            continue;
        }
        if (cursor.streamEnded || !TokenCursorRefill(cursor, p)) {
            cursor.next = cursor.end;
            return false;
        }
        p = cursor.next;
    }
}

}  // namespace

bool TokenCursorSkipToToken(TokenCursor& cursor) {
    return SkipToToken<false>(cursor);
}

bool TokenCursorSkipToTokenOnLine(TokenCursor& cursor) {
    return SkipToToken<true>(cursor);
}

bool TokenCursorSkipLine(TokenCursor& cursor) {
    cursor.inLongToken = false;
    for (;;) {
        const char* feed = static_cast<const char*>(
            std::memchr(cursor.next, '\n', static_cast<std::size_t>(cursor.end - cursor.next)));
        if (feed != nullptr) {
            cursor.next = feed + 1;
            return true;
        }
        cursor.next = cursor.end;
        if (cursor.streamEnded || !TokenCursorRefill(cursor, cursor.end)) {
            return false;
        }
    }
}

bool NextToken(TokenCursor& cursor, std::string_view& token) {
    return TokenCursorSkipToToken(cursor) && CutToken(cursor, token);
}

bool NextTokenOnLine(TokenCursor& cursor, std::string_view& token) {
    return TokenCursorSkipToTokenOnLine(cursor) && CutToken(cursor, token);
}

std::uint64_t TokenCursorLine(TokenCursor& cursor, const char* at) {
    if (cursor.lineMark == nullptr || at < cursor.lineMark) {
        cursor.lineMark = cursor.buffer.get();
        cursor.lineAtMark = cursor.linesBefore + 1;
    }
    cursor.lineAtMark += static_cast<std::uint64_t>(std::count(cursor.lineMark, at, '\n'));
    cursor.lineMark = at;
    return cursor.lineAtMark;
}

std::uint64_t TokenCursorOffset(const TokenCursor& cursor, const char* at) {
    return cursor.offsetBefore + static_cast<std::uint64_t>(at - cursor.buffer.get());
}

NumberStatus ParseInt(std::string_view token, int& value) {
    const char* p = token.data();
    const char* end = p + token.size();
    // Nearly every token of a large file is a corner index of at most nine plain digits, which
    // cannot overflow an int; summing them here is faster than the general conversion below.
    int sum = 0;
    if (token.size() <= 9 && ShortDigitsScan(p, end, sum) == end && !token.empty()) {
        value = sum;
        return NumberStatus::kOk;
    }
    long long parsed = 0;
    NumberStatus status = ParseLong(token, parsed);
    if (status == NumberStatus::kOk && (parsed < INT32_MIN || parsed > INT32_MAX)) {
        status = NumberStatus::kOutOfRange;
    }
    if (status == NumberStatus::kOk) {
        value = static_cast<int>(parsed);
    }
    return status;
}

NumberStatus ParseLong(std::string_view token, long long& value) {
    // a token cut at the longest a reader takes is no number, whatever it begins with
    if (token.size() > kMaxTokenLength) {
        return NumberStatus::kNotNumber;
    }
    const char* p = token.data();
    const char* end = p + token.size();
    // from_chars takes no plus sign; "+-1" must stay refused after the plus is skipped.
    if (p != end && *p == '+') {
        ++p;
        if (p == end || !IsDigit(*p)) {
            return NumberStatus::kNotNumber;
        }
    }
    long long parsed = 0;
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

namespace {

// Skips a plus sign that stream extraction accepts and from_chars does not; false when what
// follows cannot begin a number ("+-1" stays refused).
bool SkipPlusSign(const char*& p, const char* end) {
    if (p != end && *p == '+') {
        ++p;
        return p != end && (IsDigit(*p) || *p == '.');
    }
    return true;
}

// The general conversion of a whole token as stream extraction reads it, for float or double.
template <typename Number>
NumberStatus ParseGeneral(std::string_view token, const char* p, const char* end, Number& value) {
    Number parsed = 0;
    std::from_chars_result result = std::from_chars(p, end, parsed, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument || result.ptr != end) {
        return NumberStatus::kNotNumber;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Stream extraction takes an underflow as zero or a denormal but refuses an overflow;
        // strtof and strtod tell the two apart. This path is rare, so the copy does not matter.
        std::string copy(token);
        char* stop = nullptr;
        if constexpr (std::is_same_v<Number, float>) {
            parsed = std::strtof(copy.c_str(), &stop);
        } else {
            parsed = std::strtod(copy.c_str(), &stop);
        }
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

}  // namespace

NumberStatus ParseFloat(std::string_view token, float& value) {
    // a token cut at the longest a reader takes is no number, whatever it begins with
    if (token.size() > kMaxTokenLength) {
        return NumberStatus::kNotNumber;
    }
    const char* p = token.data();
    const char* end = p + token.size();
    if (!SkipPlusSign(p, end)) {
        return NumberStatus::kNotNumber;
    }
    ShortDecimal decimal;
    if (ShortDecimalScan(p, end, decimal) == end && ShortDecimalValue(decimal, value)) {
        return NumberStatus::kOk;
    }
    return ParseGeneral(token, p, end, value);
}

NumberStatus ParseDouble(std::string_view token, double& value) {
    if (token.size() > kMaxTokenLength) {
        return NumberStatus::kNotNumber;
    }
    const char* p = token.data();
    const char* end = p + token.size();
    if (!SkipPlusSign(p, end)) {
        return NumberStatus::kNotNumber;
    }
    return ParseGeneral(token, p, end, value);
}

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

bool TokenIsWord(std::string_view token, std::string_view word) {
    if (token.size() != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char a = token[i] >= 'A' && token[i] <= 'Z' ? char(token[i] - 'A' + 'a') : token[i];
        const char b = word[i] >= 'A' && word[i] <= 'Z' ? char(word[i] - 'A' + 'a') : word[i];
        if (a != b) {
            return false;
        }
    }
    return true;
}
