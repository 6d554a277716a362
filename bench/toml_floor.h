#pragma once
#include <string_view>

namespace qeld::bench {

// Parses with toml++ alone and drops the tree: the floor no validation can go below.
bool parse_with_tomlpp(std::string_view text);

}  // namespace qeld::bench
