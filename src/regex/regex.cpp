#include "regex/regex.h"

#include "regex/compiler.h"
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

bool Regex::is_match(std::string_view haystack) const { return search(*program_, haystack, nullptr); }

std::optional<Captures> Regex::captures(std::string_view haystack) const {
    std::vector<std::size_t> slots;
    if (!search(*program_, haystack, &slots)) return std::nullopt;
    return Captures(std::move(slots));
}

std::size_t Regex::capture_count() const { return program_->slot_count / 2 - 1; }

}  // namespace qeld::regex
