#pragma once
// toml++ as an independent TOML parser for tests: the same interface and tree as doc::parse.

#include <string_view>
#include <vector>

#include "common/result.h"
#include "document/parse.h"
#include "document/value.h"

namespace qeld::doc::testing {

// Parses with toml++ 3.3 (TOML 1.1 features switched on) and converts its tree. Besides toml++
// itself it refuses non-ASCII and '+' in bare keys and hexadecimal floats, which toml++ accepts
// beyond TOML 1.1.0, and keys of more than max_key_segments segments, which overflow its
// recursion.
Result<Table> parse_with_tomlpp(std::string_view text, std::vector<KeyPath>* inline_tables = nullptr);

}  // namespace qeld::doc::testing
