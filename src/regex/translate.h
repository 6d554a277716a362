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

// "pattern too large: its compiled form exceeds 10 MiB", for the limit given.
std::string too_large_message(std::uint64_t limit);

// Recursion follows the tree, whose depth the parser bounds (nest_limit).
Result<Hir> translate(const Ast& ast, std::uint64_t limit = size_limit);

// Every check of a pattern, its faults in the order: syntax, nesting, translation (a class table
// past the limit among them), size. A pattern of which a part (the top level, or one group's
// content) already passes the size limit while it is parsed is not kept whole: its pieces are
// translated one by one for their faults and dropped.
Result<Hir> checked_hir(std::string_view pattern, std::uint64_t limit = size_limit);

class Translator;

// Translates what the parser hands on from a pattern too large already, piece by piece in order,
// and then the rest of its tree, keeping only the first fault: the one a whole translation finds.
class PieceChecker final : public PieceSink {
public:
    explicit PieceChecker(std::uint64_t limit = size_limit);
    ~PieceChecker();
    void take(const Ast& ast, std::u32string_view pattern, NodeId piece) override;
    void enter(std::uint8_t set_flags, std::uint8_t clear_flags) override;
    void leave() override;
    // After the parser is done: the first fault, or none.
    Result<void> finish(const Ast& ast);

private:
    std::uint64_t limit_;
    std::unique_ptr<Translator> translator_;
    std::optional<std::string> fault_;
};

}  // namespace qeld::regex
