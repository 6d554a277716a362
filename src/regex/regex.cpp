#include "regex/regex.h"

#include "regex/compiler.h"
#include "regex/dfa.h"
#include "regex/matcher.h"
#include "regex/translate.h"

namespace qeld::regex {

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
