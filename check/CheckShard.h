#pragma once

#include <string>

// One worker's share of the input: the files at positions i with i mod count = index.
struct CheckShard {
    unsigned long long index = 0;
    unsigned long long count = 1;
};

// Parses "K/N", two whole decimal numbers with 0 <= K < N; on failure sets a one-line message.
bool CheckShardParse(const std::string& text, CheckShard* shard, std::string* message);

// Whether the item at this position falls to the shard.
bool CheckShardTakes(const CheckShard& shard, unsigned long long position);
