#include "regex/regex.h"

#include "regex/compiler.h"
#include "regex/dfa.h"
#include "regex/matcher.h"
#include "regex/parser.h"
#include "regex/translate.h"

namespace qeld::regex {

std::optional<Span> Captures::group(std::size_t index) const {
    if (2 * index + 1 >= slots_.size()) return std::nullopt;
    std::size_t start = slots_[2 * index];
    std::size_t end = slots_[2 * index + 1];
    if (start == no_position || end == no_position) return std::nullopt;
    return Span{start, end};
}

Result<CheckedPattern> CheckedPattern::check(std::string_view pattern) {
    auto ast = parse(pattern);
    if (!ast) return Error{ast.take_error()};
    auto hir = translate(*ast);
    if (!hir) return Error{hir.take_error()};
    hir->program_bytes = program_bytes(*hir);
    if (hir->program_bytes > size_limit) return Error{"pattern too large: its compiled form exceeds 10 MiB"};
    return CheckedPattern(std::make_shared<const Hir>(std::move(*hir)));
}

Regex CheckedPattern::build() const { return Regex(std::make_shared<const Program>(compile(*hir_))); }

std::size_t CheckedPattern::capture_count() const { return hir_->capture_count; }

Result<Regex> Regex::compile(std::string_view pattern) {
    auto checked = CheckedPattern::check(pattern);
    if (!checked) return Error{checked.take_error()};
    return checked->build();
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
    return search(program, haystack, nullptr);
}

bool Regex::is_match(std::string_view haystack) const {
    // States built for one search rarely pay for a short haystack: the other matchers need no cache.
    if (haystack.size() <= short_haystack) {
        Verdict verdict = prefiltered(*program_, haystack);
        if (verdict != Verdict::Unknown) return verdict == Verdict::Match;
        return search(*program_, haystack, nullptr);
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

std::optional<Captures> Regex::captures(std::string_view haystack) const {
    std::vector<std::size_t> slots;
    if (!search(*program_, haystack, &slots)) return std::nullopt;
    return Captures(std::move(slots));
}

std::size_t Regex::capture_count() const { return program_->slot_count / 2 - 1; }

}  // namespace qeld::regex
