#include "check/CheckShard.h"

#include <cstddef>

namespace {

// Up to 18 decimal digits, nothing else, so no sign, space or overflow slips through.
bool CheckShardNumber(const std::string& text, unsigned long long* value) {
    constexpr std::size_t kMaxDigits = 18;
    if (text.empty() || text.size() > kMaxDigits) {
        return false;
    }
    *value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        *value = *value * 10 + static_cast<unsigned long long>(c - '0');
    }
    return true;
}

}  // namespace

bool CheckShardParse(const std::string& text, CheckShard* shard, std::string* message) {
    const std::size_t slash = text.find('/');
    CheckShard parsed;
    if (slash == std::string::npos || !CheckShardNumber(text.substr(0, slash), &parsed.index) ||
        !CheckShardNumber(text.substr(slash + 1), &parsed.count)) {
        *message = "--shard needs K/N, two whole numbers with 0 <= K < N, not \"" + text + "\"";
        return false;
    }
    if (parsed.count == 0) {
        *message = "--shard " + text + ": the number of shards N must be at least 1";
        return false;
    }
    if (parsed.index >= parsed.count) {
        *message = "--shard " + text + ": the shard K must be less than N (shards count from 0)";
        return false;
    }
    *shard = parsed;
    return true;
}

bool CheckShardTakes(const CheckShard& shard, unsigned long long position) {
    return position % shard.count == shard.index;
}
