#pragma once
// Sets of code points as sorted range lists, with the set operations of bracketed classes and
// simple case folding.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "regex/unicode_tables.h"

namespace qeld::regex {

inline constexpr char32_t max_code_point = 0x10FFFF;

struct CodeRange {
    char32_t first;
    char32_t last;
    bool operator==(const CodeRange&) const = default;
};

// Always canonical: sorted, disjoint and non-adjacent ranges.
class CharSet {
public:
    CharSet() = default;
    explicit CharSet(std::vector<CodeRange> ranges);  // any order, overlaps allowed
    static CharSet single(char32_t c) { return CharSet(std::vector<CodeRange>{{c, c}}); }
    static CharSet from_table(tables::RangeTable table);

    const std::vector<CodeRange>& ranges() const { return ranges_; }
    bool empty() const { return ranges_.empty(); }
    bool contains(char32_t c) const;
    // Every member below U+0080.
    bool is_ascii() const { return ranges_.empty() || ranges_.back().last < 0x80; }

    void add(char32_t first, char32_t last);
    void unite(const CharSet& other);
    void intersect(const CharSet& other);
    void subtract(const CharSet& other);
    void symmetric_difference(const CharSet& other);
    // Complement within [0, universe_last]: U+10FFFF for code points, 0xFF for bytes.
    void negate(char32_t universe_last = max_code_point);
    // Adds every code point that simple case folding makes equivalent to a member.
    void fold_case_simple();
    // Adds the other case of every ASCII letter.
    void fold_case_ascii();

    bool operator==(const CharSet&) const = default;

private:
    void canonicalize();

    std::vector<CodeRange> ranges_;
};

}  // namespace qeld::regex
