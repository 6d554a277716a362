#pragma once
// The pattern engine: Perl-style syntax with Unicode classes, no look-around and no
// back-references, matching in time linear in the haystack. Haystacks are UTF-8 text and are
// matched one code point at a time; positions are byte offsets.
//
// Checking a pattern (every fault of syntax or size) and building its matcher are separate steps,
// both cheap: CheckedPattern::check finds every fault, build() cannot fail. Regex::compile does
// both at once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qeld::regex {

struct Hir;
struct Program;

struct Span {
    std::size_t start;
    std::size_t end;
    bool operator==(const Span&) const = default;
};

// The groups of one match: group 0 is the whole match, groups 1 and up are numbered by their
// opening parenthesis. A group that took no part in the match has no span.
class Captures {
public:
    std::optional<Span> group(std::size_t index) const;
    // The number of groups, group 0 included.
    std::size_t size() const { return slots_.size() / 2; }

private:
    friend class Regex;
    explicit Captures(std::vector<std::size_t> slots) : slots_(std::move(slots)) {}
    std::vector<std::size_t> slots_;
};

class DfaCache;
class Regex;

// What searches with one Regex change as they go: the lazy DFA's states and its scratch. It
// belongs to whoever searches (it is not thread-safe) and is bounded by its capacity (2 MiB);
// keeping it from search to search is what makes repeated searches fast. Made for one Regex (or
// its copies), it starts over when it searches with another.
class Cache {
public:
    explicit Cache(const Regex& regex);
    Cache(Cache&&) noexcept;
    Cache& operator=(Cache&&) noexcept;
    ~Cache();

    // The bytes it holds now.
    std::size_t memory_usage() const;

private:
    friend class Regex;
    std::shared_ptr<const Program> program_;  // the program its states belong to
    std::unique_ptr<DfaCache> dfa_;
};

// A compiled pattern. Immutable: copies share the program, and any number of caches may search
// with it.
class Regex {
public:
    // Compiles with the default flags: Unicode on, everything else off.
    static Result<Regex> compile(std::string_view pattern);

    Cache create_cache() const { return Cache(*this); }
    // True when the pattern matches anywhere in the haystack.
    bool is_match(std::string_view haystack, Cache& cache) const;
    // The same with a cache made for this search alone.
    bool is_match(std::string_view haystack) const;
    // The groups of the leftmost-first match (the one a backtracking engine would find first).
    std::optional<Captures> captures(std::string_view haystack) const;
    // The number of capture groups, not counting group 0.
    std::size_t capture_count() const;
    // The bytes of the compiled program (instructions, class tables, prefilter).
    std::size_t memory_usage() const;

private:
    friend class CheckedPattern;
    friend class Cache;
    explicit Regex(std::shared_ptr<const Program> program) : program_(std::move(program)) {}
    std::shared_ptr<const Program> program_;
};

// A pattern whose syntax and size have been checked, not yet built into a matcher.
class CheckedPattern {
public:
    static Result<CheckedPattern> check(std::string_view pattern);
    Regex build() const;
    std::size_t capture_count() const;

private:
    explicit CheckedPattern(std::shared_ptr<const Hir> hir) : hir_(std::move(hir)) {}
    std::shared_ptr<const Hir> hir_;
};

}  // namespace qeld::regex
