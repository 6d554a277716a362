#pragma once
// Turns a syntax tree into its meaning: applies the flags, looks up Unicode classes, evaluates
// bracketed classes, and refuses what the flags make impossible (a Unicode class without the u
// flag, anything that could match invalid UTF-8).

#include <cstdint>

#include "common/result.h"
#include "regex/ast.h"
#include "regex/hir.h"

namespace qeld::regex {

// The most bytes a compiled program may take; class tables count as they are built, so a pattern
// of many large classes stops before it takes much memory.
inline constexpr std::uint64_t size_limit = 10 * (std::uint64_t{1} << 20);

// Recursion follows the tree, whose depth the parser bounds (nest_limit).
Result<Hir> translate(const Ast& ast);

}  // namespace qeld::regex
