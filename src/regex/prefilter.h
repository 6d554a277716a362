#pragma once
// What every match must contain, found by byte search before an automaton runs: the whole pattern
// when it is one string, the bytes every match starts with, and a string every match contains.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regex/hir.h"

namespace qeld::regex {

// The first occurrence of `needle` at or after `from`, or npos: linear in the haystack, however
// the needle repeats itself.
std::size_t find_literal(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// A set of bytes, and its members when there are at most three (the sets a scan can look for).
struct ByteSet {
    std::uint64_t bits[4] = {0, 0, 0, 0};
    std::uint8_t members[3] = {0, 0, 0};
    int count = 0;

    void add(std::uint8_t b);
    bool has(std::uint8_t b) const { return (bits[b >> 6] >> (b & 63)) & 1; }
};

class Prefilter {
public:
    static Prefilter of(const Hir& hir);

    // The whole pattern is this one string, without any assertion: finding it is the answer.
    bool is_exact() const { return exact_; }
    const std::string& literal() const { return literal_; }
    bool has_prefix() const { return !prefix_.empty(); }

    // False when the text cannot hold a match (too short, or without a required string); true
    // says nothing.
    bool may_match(std::string_view haystack) const;
    // The first position at or after `from` where a match could start, or npos.
    std::size_t next_candidate(std::string_view haystack, std::size_t from) const;
    // The bytes it holds beyond its own size.
    std::size_t memory_usage() const {
        return literal_.capacity() + required_.capacity() + prefix_.capacity() * sizeof(ByteSet);
    }
    // Whether a match could start at `at`.
    bool prefix_at(std::string_view haystack, std::size_t at) const;

private:
    bool exact_ = false;
    std::string literal_;               // the exact string, or the prefix when every set has one byte
    std::vector<ByteSet> prefix_;       // every match starts with a byte of each set in turn
    std::size_t rare_[2] = {0, 0};      // the positions in prefix_ a scan looks for (maybe the same)
    bool scan_literal_ = false;         // candidates come from a search for literal_
    std::string required_;              // every match contains it; empty when none is known
    std::uint64_t min_bytes_ = 0;       // the fewest bytes a match takes
};

}  // namespace qeld::regex
