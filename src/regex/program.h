#pragma once
// A compiled pattern: a Thompson automaton over code points. A class instruction tests a whole
// set of code points at once (\w is one instruction), and the set tables are shared by every copy
// a counted repetition makes.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "regex/classes.h"
#include "regex/hir.h"
#include "regex/prefilter.h"

namespace qeld::regex {

enum class Op : std::uint8_t {
    Char,   // consumes arg, goes to out
    Class,  // consumes a member of classes[arg], goes to out
    Split,  // goes to out, and with lower priority to out1
    Look,   // goes to out when the assertion holds here
    Match,
    Fail,
};

struct Inst {
    Op op = Op::Fail;
    Look look = Look::Start;
    std::uint32_t arg = 0;
    std::uint32_t out = 0;
    std::uint32_t out1 = 0;
};

struct ProgramClass {
    std::vector<CodeRange> ranges;
    std::uint64_t ascii[2] = {0, 0};  // the members below U+0080, one bit each

    bool contains(char32_t c) const {
        if (c < 0x80) return (ascii[c >> 6] >> (c & 63)) & 1;
        return contains_above_ascii(c);
    }
    bool contains_above_ascii(char32_t c) const {
        auto it = std::upper_bound(ranges.begin(), ranges.end(), c,
                                   [](char32_t value, const CodeRange& r) { return value < r.first; });
        return it != ranges.begin() && (it - 1)->last >= c;
    }
};

struct Program {
    std::vector<Inst> insts;
    std::vector<ProgramClass> classes;
    std::uint32_t start = 0;
    // Every match starts at the start of the haystack.
    bool anchored_start = false;
    // What a byte search can rule out before an automaton runs.
    Prefilter prefilter;
};

}  // namespace qeld::regex
