#pragma once
// Unicode classes by name (\p{...}) and the code point tests the parser and the matchers need.

#include <optional>
#include <string_view>

#include "regex/classes.h"

namespace qeld::regex::unicode {

enum class LookupFault {
    PropertyNotFound,
    ValueNotFound,
    PropertyUnsupported,   // a Unicode property that patterns cannot name
    PropertyTakesNoValue,  // a boolean property written as name=value
};

struct Lookup {
    std::optional<CharSet> set;
    LookupFault fault = LookupFault::PropertyNotFound;
};

// \pX or \p{name}: a boolean property, a general category (with Any, ASCII and Assigned) or a
// script, tried in that order, every name matched loosely.
Lookup lookup_named(std::string_view name);
// \p{property=value} (also with ':' or '!='; the caller negates for '!=').
Lookup lookup_by_value(std::string_view property, std::string_view value);

// \w, \d and \s in Unicode mode.
const CharSet& perl_word();
const CharSet& perl_digit();
const CharSet& perl_space();

bool is_word_char(char32_t c);
inline bool is_ascii_word_char(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool is_white_space(char32_t c);
bool is_alphabetic(char32_t c);
bool is_numeric(char32_t c);

}  // namespace qeld::regex::unicode
