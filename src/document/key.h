#pragma once
// How a key is written in TOML text: bare when it may be, else as a basic string.

#include <string>
#include <string_view>

namespace qeld::doc {

// The bare-key alphabet: ASCII letters, digits, '_' and '-'.
constexpr bool is_bare_key_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// A non-empty key made only of the bare-key alphabet.
bool is_bare_key(std::string_view key);

// The key as a TOML basic string: quotes around it, short escapes for backspace, tab, line feed,
// form feed, carriage return, '"' and '\', \u00XX (upper-case) for the other characters below
// U+0020 and for U+007F (which TOML forbids raw in a basic string), and every other byte
// unchanged.
std::string quote_basic_string(std::string_view key);

}  // namespace qeld::doc
