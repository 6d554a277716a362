#include "regex/unicode.h"

#include <algorithm>
#include <string>

#include "regex/loose_name.h"

namespace qeld::regex::unicode {

namespace {

template <class Entry>
const Entry* find_alias(std::span<const Entry> aliases, std::string_view key) {
    auto it = std::lower_bound(aliases.begin(), aliases.end(), key,
                               [](const Entry& entry, std::string_view value) { return entry.key < value; });
    return it != aliases.end() && it->key == key ? &*it : nullptr;
}

Lookup found(CharSet set) { return Lookup{std::move(set), LookupFault::PropertyNotFound}; }
Lookup missing(LookupFault fault) { return Lookup{std::nullopt, fault}; }

std::optional<CharSet> table_by_alias(std::span<const tables::NamedTable> tables, std::span<const tables::Alias> aliases,
                                      std::string_view key) {
    const tables::Alias* alias = find_alias(aliases, key);
    if (!alias) return std::nullopt;
    return CharSet::from_table(tables[alias->index].table);
}

// The general categories with the three names that are not categories of their own.
std::optional<CharSet> general_category(std::string_view key) {
    if (key == "any") return CharSet(std::vector<CodeRange>{{0, max_code_point}});
    if (key == "ascii") return CharSet(std::vector<CodeRange>{{0, 0x7F}});
    if (key == "assigned") {
        auto unassigned = table_by_alias(tables::general_categories(), tables::general_category_aliases(), "unassigned");
        unassigned->negate();
        return unassigned;
    }
    return table_by_alias(tables::general_categories(), tables::general_category_aliases(), key);
}

// Everything assigned in the given version or before it.
CharSet age_up_to(std::size_t index) {
    CharSet set;
    auto ages = tables::ages();
    for (std::size_t i = 0; i <= index; ++i) set.unite(CharSet::from_table(ages[i].table));
    return set;
}

}  // namespace

Lookup lookup_named(std::string_view name) {
    std::string key = normalize_property_name(name);
    // "cf", "sc" and "lc" are property aliases too (Case_Folding, Script, Lowercase_Mapping), but
    // named alone they mean the categories Format, Currency_Symbol and Cased_Letter.
    if (key != "cf" && key != "sc" && key != "lc") {
        if (const tables::PropertyAlias* property = find_alias(tables::property_aliases(), key)) {
            if (property->kind != tables::PropertyKind::Boolean) return missing(LookupFault::PropertyUnsupported);
            return found(CharSet::from_table(tables::boolean_properties()[property->index].table));
        }
    }
    if (auto set = general_category(key)) return found(std::move(*set));
    if (auto set = table_by_alias(tables::scripts(), tables::script_aliases(), key)) return found(std::move(*set));
    return missing(LookupFault::PropertyNotFound);
}

Lookup lookup_by_value(std::string_view property_name, std::string_view value_name) {
    const tables::PropertyAlias* property = find_alias(tables::property_aliases(), normalize_property_name(property_name));
    if (!property) return missing(LookupFault::PropertyNotFound);
    std::string key = normalize_property_name(value_name);
    std::optional<CharSet> set;
    switch (property->kind) {
        case tables::PropertyKind::GeneralCategory:
            set = general_category(key);
            break;
        case tables::PropertyKind::Script:
            set = table_by_alias(tables::scripts(), tables::script_aliases(), key);
            break;
        case tables::PropertyKind::ScriptExtensions:
            if (const tables::Alias* alias = find_alias(tables::script_aliases(), key)) {
                set = CharSet::from_table(tables::script_extensions()[alias->index]);
            }
            break;
        case tables::PropertyKind::Age:
            if (const tables::Alias* alias = find_alias(tables::age_aliases(), key)) set = age_up_to(alias->index);
            break;
        case tables::PropertyKind::GraphemeClusterBreak:
            set = table_by_alias(tables::grapheme_cluster_breaks(), tables::grapheme_cluster_break_aliases(), key);
            break;
        case tables::PropertyKind::WordBreak:
            set = table_by_alias(tables::word_breaks(), tables::word_break_aliases(), key);
            break;
        case tables::PropertyKind::SentenceBreak:
            set = table_by_alias(tables::sentence_breaks(), tables::sentence_break_aliases(), key);
            break;
        case tables::PropertyKind::Boolean:
            return missing(LookupFault::PropertyTakesNoValue);
        case tables::PropertyKind::Unsupported:
            return missing(LookupFault::PropertyUnsupported);
    }
    if (!set) return missing(LookupFault::ValueNotFound);
    return found(std::move(*set));
}

const CharSet& perl_word() {
    static const CharSet set = CharSet::from_table(tables::perl_word());
    return set;
}

const CharSet& perl_digit() {
    static const CharSet set = CharSet::from_table(tables::perl_digit());
    return set;
}

const CharSet& perl_space() {
    static const CharSet set = CharSet::from_table(tables::perl_space());
    return set;
}

bool is_word_char(char32_t c) {
    if (c < 0x80) return is_ascii_word_char(c);
    return perl_word().contains(c);
}

bool is_white_space(char32_t c) {
    if (c < 0x80) return c == ' ' || (c >= '\t' && c <= '\r');
    return perl_space().contains(c);
}

bool is_alphabetic(char32_t c) {
    static const CharSet set = CharSet::from_table(tables::alphabetic());
    return set.contains(c);
}

bool is_numeric(char32_t c) {
    static const CharSet set = CharSet::from_table(tables::numeric());
    return set.contains(c);
}

}  // namespace qeld::regex::unicode
