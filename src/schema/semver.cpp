#include "schema/semver.h"

#include <cstddef>

namespace qeld::schema {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_identifier_char(char c) { return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-'; }

// `0|[1-9][0-9]*` at the front of the text, taken off it.
std::optional<std::string_view> take_number(std::string_view& text) {
    std::size_t n = 0;
    while (n < text.size() && is_digit(text[n])) ++n;
    if (n == 0 || (n > 1 && text[0] == '0')) return std::nullopt;
    const std::string_view number = text.substr(0, n);
    text.remove_prefix(n);
    return number;
}

// Dot-separated non-empty runs of [0-9A-Za-z-] up to the first other byte, taken off the text;
// with `numeric_rule`, a run of digits alone has no leading zero.
std::optional<std::string_view> take_identifiers(std::string_view& text, bool numeric_rule) {
    std::size_t end = 0;
    for (;;) {
        const std::size_t start = end;
        bool digits_only = true;
        for (; end < text.size() && is_identifier_char(text[end]); ++end) {
            if (!is_digit(text[end])) digits_only = false;
        }
        const std::size_t length = end - start;
        if (length == 0) return std::nullopt;
        if (numeric_rule && digits_only && length > 1 && text[start] == '0') return std::nullopt;
        if (end == text.size() || text[end] != '.') break;
        ++end;
    }
    const std::string_view identifiers = text.substr(0, end);
    text.remove_prefix(end);
    return identifiers;
}

}  // namespace

std::optional<SemVer> parse_semver(std::string_view text) {
    SemVer parts;
    auto major = take_number(text);
    if (!major || text.empty() || text[0] != '.') return std::nullopt;
    text.remove_prefix(1);
    auto minor = take_number(text);
    if (!minor || text.empty() || text[0] != '.') return std::nullopt;
    text.remove_prefix(1);
    auto patch = take_number(text);
    if (!patch) return std::nullopt;
    parts.major = *major;
    parts.minor = *minor;
    parts.patch = *patch;
    if (!text.empty() && text[0] == '-') {
        text.remove_prefix(1);
        auto pre_release = take_identifiers(text, true);
        if (!pre_release) return std::nullopt;
        parts.pre_release = *pre_release;
    }
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        auto build = take_identifiers(text, false);
        if (!build) return std::nullopt;
        parts.build = *build;
    }
    if (!text.empty()) return std::nullopt;
    return parts;
}

}  // namespace qeld::schema
