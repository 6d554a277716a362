#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qeld {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// The length of the strict UTF-8 sequence the bytes start with, or 0 when they start with none.
std::size_t utf8_sequence_length(std::string_view bytes);

// The scalar value of one complete, valid UTF-8 sequence.
char32_t decode_utf8_sequence(std::string_view sequence);

// Appends the UTF-8 form of a scalar value.
void append_utf8(std::string& out, char32_t scalar);

// The bytes with every maximal ill-formed subsequence replaced by U+FFFD.
std::string replace_invalid_utf8(std::string_view bytes);

// Number of Unicode scalar values in valid UTF-8 text.
std::size_t count_scalar_values(std::string_view text);

}  // namespace qeld
