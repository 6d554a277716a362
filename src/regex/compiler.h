#pragma once
// Builds the program of a pattern's meaning, and tells beforehand how large it will be.

#include <cstdint>

#include "regex/hir.h"
#include "regex/program.h"

namespace qeld::regex {

inline constexpr std::uint64_t bytes_per_instruction = sizeof(Inst);
inline constexpr std::uint64_t bytes_per_class = 32;
inline constexpr std::uint64_t bytes_per_class_range = sizeof(CodeRange);

// The bytes the tree's program counts as against the size limit: its instructions (a counted
// repetition copies its operand's) and its class tables (one per distinct class, shared by the
// copies). A capture group counts two instructions and the whole pattern three, the positions a
// capturing engine records, although the program holds no such instructions. Saturates far
// above any limit.
std::uint64_t program_bytes(const Hir& hir);

// Recursion follows the tree, whose depth the parser bounds (nest_limit).
Program compile(const Hir& hir);

}  // namespace qeld::regex
