#pragma once
#include <cstddef>
#include <string_view>

namespace qeld {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// Number of Unicode scalar values in valid UTF-8 text.
std::size_t count_scalar_values(std::string_view text);

}  // namespace qeld
