#include "regex/regex.h"

#include "regex/compiler.h"
#include "regex/dfa.h"
#include "regex/matcher.h"
#include "regex/parser.h"
#include "regex/translate.h"

namespace qeld::regex {

namespace {

constexpr const char* too_large = "pattern too large: its compiled form exceeds 10 MiB";

// Faults come in the order: syntax, nesting, translation (a class table past the limit among
// them), size. A pattern of which a part (the top level, or one group's content) already passes the
// size limit while it is parsed is not kept whole: its pieces are translated one by one for their
// faults and dropped.
Result<Hir> checked_hir(std::string_view pattern) {
    PieceChecker pieces;
    auto ast = parse(pattern, &pieces);
    if (!ast) return Error{ast.take_error()};
    // What passed the limit was erased: the pieces handed on are needed after all.
    if (ast->incomplete) ast = parse(pattern);
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

}  // namespace

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

Cache::Cache(const Regex& regex) : program_(regex.program_), dfa_(std::make_unique<DfaCache>()) {}
Cache::Cache(Cache&&) noexcept = default;
Cache& Cache::operator=(Cache&&) noexcept = default;
Cache::~Cache() = default;

std::size_t Cache::memory_usage() const { return dfa_->memory_usage(); }

namespace {

// Haystacks up to this size are searched without a DFA when no cache is kept.
constexpr std::size_t short_haystack = 256;

enum class Verdict { Match, NoMatch, Unknown };

// What byte searches alone can tell.
Verdict prefiltered(const Program& program, std::string_view haystack) {
    const Prefilter& prefilter = program.prefilter;
    if (prefilter.is_exact()) {
        return find_literal(haystack, prefilter.literal()) != std::string_view::npos ? Verdict::Match : Verdict::NoMatch;
    }
    if (!prefilter.may_match(haystack)) return Verdict::NoMatch;
    if (program.anchored_start && prefilter.has_prefix() && !prefilter.prefix_at(haystack, 0)) return Verdict::NoMatch;
    return Verdict::Unknown;
}

}  // namespace

bool Regex::is_match(std::string_view haystack, Cache& cache) const {
    const Program& program = *program_;
    Verdict verdict = prefiltered(program, haystack);
    if (verdict != Verdict::Unknown) return verdict == Verdict::Match;
    if (cache.program_ != program_) cache = Cache(*this);
    DfaCache::Outcome outcome = cache.dfa_->is_match(program, haystack);
    if (outcome != DfaCache::Outcome::GaveUp) return outcome == DfaCache::Outcome::Match;
    return search(program, haystack);
}

bool Regex::is_match(std::string_view haystack) const {
    // States built for one search rarely pay for a short haystack: the other matchers need no cache.
    if (haystack.size() <= short_haystack) {
        Verdict verdict = prefiltered(*program_, haystack);
        if (verdict != Verdict::Unknown) return verdict == Verdict::Match;
        return search(*program_, haystack);
    }
    Cache cache(*this);
    return is_match(haystack, cache);
}

std::size_t Regex::memory_usage() const {
    const Program& program = *program_;
    std::size_t bytes = sizeof(Program) + program.insts.capacity() * sizeof(Inst);
    for (const ProgramClass& cls : program.classes) bytes += sizeof(ProgramClass) + cls.ranges.capacity() * sizeof(CodeRange);
    return bytes + program.prefilter.memory_usage();
}


}  // namespace qeld::regex
