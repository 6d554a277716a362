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

// The most bytes a compiled program may take; class tables count as they are built, so a pattern
// of many large classes stops before it takes much memory. Every pattern is held to this limit;
// the functions that take another one serve tests, which prove the early refusal on short texts.
inline constexpr std::uint64_t size_limit = 10 * (std::uint64_t{1} << 20);

// Takes, in the order of the text, the finished pieces of a pattern of which a part (the top level
// or one group's content) is already counted past the size limit, so that the faults translation
// would find in them (which come before that one) are found without keeping the pieces: the
// memory a pattern takes stays in proportion to the limit, however long its text. Pieces inside
// groups come between the group's enter, with its flags, and its leave.
class PieceSink {
public:
    virtual void take(const Ast& ast, std::u32string_view pattern, NodeId piece) = 0;
    virtual void enter(std::uint8_t set_flags, std::uint8_t clear_flags) = 0;
    virtual void leave() = 0;

protected:
    ~PieceSink() = default;
};

// The message of a fault names what is wrong and, counted in code points from 0, where. Without
// a sink, the whole tree is kept.
Result<Ast> parse(std::string_view pattern, PieceSink* sink = nullptr, std::uint64_t limit = size_limit);

}  // namespace qeld::regex
