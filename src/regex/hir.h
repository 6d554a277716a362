#pragma once
// The meaning of a pattern with every flag applied: code points, sets of code points, empty-width
// assertions, repetitions, capture groups, concatenations and alternations. A capture group
// matches as its body does; it is kept only because the size limit counts it. Nodes live in an
// arena; sets live once in a table, however often a repetition copies them.

#include <cstdint>
#include <optional>
#include <vector>

#include "regex/classes.h"

namespace qeld::regex {

enum class Look : std::uint8_t {
    Start,      // at the start of the haystack
    End,        // at its end
    StartLF,    // at the start or after \n
    EndLF,      // at the end or before \n
    StartCRLF,  // at the start, after \n, or after \r not followed by \n
    EndCRLF,    // at the end, before \r, or before \n not preceded by \r
    WordAscii,
    WordAsciiNegate,
    WordUnicode,
    WordUnicodeNegate,
    WordStartAscii,
    WordEndAscii,
    WordStartUnicode,
    WordEndUnicode,
    WordStartHalfAscii,
    WordEndHalfAscii,
    WordStartHalfUnicode,
    WordEndHalfUnicode,
};

enum class HirKind : std::uint8_t { Empty, Char, Class, Look, Repetition, Capture, Concat, Alternation };

using HirId = std::uint32_t;

struct HirNode {
    HirKind kind = HirKind::Empty;
    Look look = Look::Start;
    bool greedy = true;
    bool has_max = true;
    char32_t c = 0;
    std::uint32_t index = 0;  // Class: into Hir::classes
    std::uint32_t min = 0;
    std::uint32_t max = 0;
    // The fewest and most code points a match can take: none for the fewest when nothing can
    // match, none for the most when unbounded or when nothing can match.
    std::optional<std::uint64_t> min_length;
    std::optional<std::uint64_t> max_length;
    std::vector<HirId> children;
};

struct Hir {
    std::vector<HirNode> nodes;
    std::vector<CharSet> classes;
    HirId root = 0;

    const HirNode& operator[](HirId id) const { return nodes[id]; }
};

}  // namespace qeld::regex
