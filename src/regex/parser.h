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

// Takes, in order, the top-level pieces of a pattern whose program the parser already counts past
// the size limit, so that the faults translation would find in them (which come before that one)
// are found without keeping the pieces: the memory a pattern takes stays in proportion to the
// limit, however long its text.
class PieceSink {
public:
    virtual void take(const Ast& ast, std::u32string_view pattern, NodeId piece) = 0;

protected:
    ~PieceSink() = default;
};

// The message of a fault names what is wrong and, counted in code points from 0, where. Without
// a sink, the whole tree is kept.
Result<Ast> parse(std::string_view pattern, PieceSink* sink = nullptr);

}  // namespace qeld::regex
