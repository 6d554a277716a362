#pragma once
// Unicode property data as sorted code-point range tables. The definitions (unicode_tables.cpp,
// whose first line names the Unicode version) are generated from the Unicode Character Database by
// tools/tablegen.mjs and committed; nothing there is typed by hand and nothing is computed at
// start-up.

#include <cstdint>
#include <span>
#include <string_view>

namespace qeld::regex::tables {

struct Range {
    char32_t first;
    char32_t last;
};

// A set of code points: `count` sorted, disjoint and non-adjacent ranges stored from byte
// `offset` of the range pool, each as two LEB128 numbers: its distance from the end of the range
// before (from 0 for the first), then its length less one.
struct RangeTable {
    std::uint32_t offset;
    std::uint32_t count;
};

struct NamedTable {
    std::string_view name;  // the canonical (long) name
    RangeTable table;
};

// A loosely normalized alias (normalize_property_name) and the index of what it names.
struct Alias {
    std::string_view key;
    std::uint16_t index;
};

enum class PropertyKind : std::uint8_t {
    GeneralCategory,
    Script,
    ScriptExtensions,
    Age,
    GraphemeClusterBreak,
    WordBreak,
    SentenceBreak,
    Boolean,      // index into boolean_properties()
    Unsupported,  // a Unicode property that patterns cannot name
};

struct PropertyAlias {
    std::string_view key;
    PropertyKind kind;
    std::uint16_t index;
};

// One link of a simple case folding orbit: the orbits are cycles, so following `next` from any
// member visits every code point that folds like it. Sorted by `from`.
struct FoldLink {
    char32_t from;
    char32_t next;
    std::uint32_t next_link;  // the index of the link from `next`
};

const std::uint8_t* range_pool();

// Calls `visit(Range)` for every range of the table, in order.
template <class Visit>
void for_each_range(RangeTable table, Visit&& visit) {
    const std::uint8_t* at = range_pool() + table.offset;
    auto number = [&at] {
        std::uint32_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            std::uint8_t byte = *at++;
            value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
            if (byte < 0x80) return value;
        }
    };
    char32_t next = 0;
    for (std::uint32_t i = 0; i < table.count; ++i) {
        char32_t first = next + number();
        char32_t last = first + number();
        visit(Range{first, last});
        next = last + 1;
    }
}

// Each alias list is sorted by key; each index refers to the list of tables named beside it.
std::span<const NamedTable> general_categories();  // the two-letter categories and their groups
std::span<const Alias> general_category_aliases();
std::span<const NamedTable> scripts();             // "Unknown" included
std::span<const Alias> script_aliases();
std::span<const RangeTable> script_extensions();   // parallel to scripts()
std::span<const NamedTable> ages();                // in version order; each holds what it assigned
std::span<const Alias> age_aliases();
std::span<const NamedTable> boolean_properties();
std::span<const NamedTable> grapheme_cluster_breaks();
std::span<const Alias> grapheme_cluster_break_aliases();
std::span<const NamedTable> word_breaks();
std::span<const Alias> word_break_aliases();
std::span<const NamedTable> sentence_breaks();
std::span<const Alias> sentence_break_aliases();
std::span<const PropertyAlias> property_aliases();

RangeTable perl_word();   // Alphabetic, Mark, Decimal_Number, Connector_Punctuation, Join_Control
RangeTable perl_digit();  // Decimal_Number
RangeTable perl_space();  // White_Space
RangeTable alphabetic();
RangeTable numeric();     // Decimal_Number, Letter_Number, Other_Number

std::span<const FoldLink> case_fold_links();

}  // namespace qeld::regex::tables
