#pragma once
// Turns a syntax tree into its meaning: applies the flags, looks up Unicode classes, evaluates
// bracketed classes, and refuses what the flags make impossible (a Unicode class without the u
// flag, anything that could match invalid UTF-8).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "regex/ast.h"
#include "regex/hir.h"
#include "regex/parser.h"

namespace qeld::regex {

// The most bytes a compiled program may take; class tables count as they are built, so a pattern
// of many large classes stops before it takes much memory.
inline constexpr std::uint64_t size_limit = 10 * (std::uint64_t{1} << 20);

// Recursion follows the tree, whose depth the parser bounds (nest_limit).
Result<Hir> translate(const Ast& ast);

class Translator;

// Translates what the parser hands on from a pattern too large already, piece by piece in order,
// and then the rest of its tree, keeping only the first fault: the one a whole translation finds.
class PieceChecker final : public PieceSink {
public:
    PieceChecker();
    ~PieceChecker();
    void take(const Ast& ast, std::u32string_view pattern, NodeId piece) override;
    void enter(std::uint8_t set_flags, std::uint8_t clear_flags) override;
    void leave() override;
    // After the parser is done: the first fault, or none.
    Result<void> finish(const Ast& ast);

private:
    std::unique_ptr<Translator> translator_;
    std::optional<std::string> fault_;
};

}  // namespace qeld::regex
