#pragma once
// Reads a pattern into its syntax tree, refusing every form the pattern language does not have.

#include <cstdint>
#include <string_view>

#include "common/result.h"
#include "regex/ast.h"

namespace qeld::regex {

// Groups, bracketed classes (and each nested one), class unions and set operations, repetitions,
// alternations and concatenations each open one level.
inline constexpr std::uint32_t nest_limit = 250;

// The message of a fault names what is wrong and, counted in code points from 0, where.
Result<Ast> parse(std::string_view pattern);

}  // namespace qeld::regex
