#include "regex/regex.h"

#include "regex/compiler.h"
#include "regex/matcher.h"
#include "regex/parser.h"
#include "regex/translate.h"

namespace qeld::regex {

namespace {

constexpr const char* too_large = "pattern too large: its compiled form exceeds 10 MiB";

// Faults come in the order: syntax, nesting, translation (a class table past the limit among
// them), size. A pattern whose top-level pieces already pass the size limit while it is parsed is
// not kept whole: its pieces are translated one by one for their faults and dropped.
Result<Hir> checked_hir(std::string_view pattern) {
    PieceChecker pieces;
    auto ast = parse(pattern, &pieces);
    if (!ast) return Error{ast.take_error()};
    if (ast->too_large) {
        auto rest = pieces.finish(*ast);
        if (!rest) return Error{rest.take_error()};
        return Error{too_large};
    }
    auto hir = translate(*ast);
    if (!hir) return Error{hir.take_error()};
    if (program_bytes(*hir) > size_limit) return Error{too_large};
    return hir;
}

std::size_t bytes_of(const Program& program) {
    std::size_t bytes = sizeof(Program) + program.insts.capacity() * sizeof(Inst) +
                        program.classes.capacity() * sizeof(ProgramClass);
    for (const ProgramClass& cls : program.classes) bytes += cls.ranges.capacity() * sizeof(CodeRange);
    // While the DFA's cache lives in the program, what it keeps in proportion to the program counts
    // here: a mark per instruction, and the cut points of every character and class range (two
    // each, before they are merged). Its states are held within a budget of their own.
    if (program.dfa) {
        std::size_t cuts = 0;
        for (const ProgramClass& cls : program.classes) cuts += 2 * cls.ranges.size();
        for (const Inst& inst : program.insts) cuts += inst.op == Op::Char ? 2 : 0;
        bytes += sizeof(LazyDfa) + program.insts.size() * sizeof(std::uint32_t) + cuts * sizeof(char32_t);
    }
    return bytes;
}

}  // namespace

Regex::Regex(std::shared_ptr<const Program> program) : program_(std::move(program)), bytes_(bytes_of(*program_)) {}

Result<void> Regex::check(std::string_view pattern) {
    auto hir = checked_hir(pattern);
    if (!hir) return Error{hir.take_error()};
    return {};
}

Result<Regex> Regex::compile(std::string_view pattern) {
    auto hir = checked_hir(pattern);
    if (!hir) return Error{hir.take_error()};
    return Regex(std::make_shared<const Program>(regex::compile(*hir)));
}

bool Regex::is_match(std::string_view haystack) const { return search(*program_, haystack); }

}  // namespace qeld::regex
