#pragma once
// One key of a diagnostic path or of an extracted schema header.

#include <string>
#include <string_view>

namespace qeld::schema {

// Bare when made only of ASCII letters, digits, "_" and "-" (and not empty); otherwise a
// quoted TOML basic string.
std::string encode_path_key(std::string_view key);

}  // namespace qeld::schema
