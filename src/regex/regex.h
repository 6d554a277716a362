#pragma once
// The pattern engine: Perl-style syntax with Unicode classes, no look-around and no
// back-references, matching in time linear in the haystack. Haystacks are UTF-8 text and are
// matched one code point at a time; positions are byte offsets.
//
// Capture groups are syntax only: nothing reads what they matched, so they cost nothing to match.

#include <cstddef>
#include <memory>
#include <string_view>

#include "common/result.h"

namespace qeld::regex {

struct Program;

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
    // Finds every fault of syntax or size that compile() would, without building the program.
    static Result<void> check(std::string_view pattern);
    // Compiles with the default flags: Unicode on, everything else off.
    static Result<Regex> compile(std::string_view pattern);

    Cache create_cache() const { return Cache(*this); }
    // True when the pattern matches anywhere in the haystack.
    bool is_match(std::string_view haystack, Cache& cache) const;
    // The same with a cache made for this search alone.
    bool is_match(std::string_view haystack) const;
    // The bytes of the compiled program (instructions, class tables, prefilter).
    std::size_t memory_usage() const;

private:
    friend class Cache;
    explicit Regex(std::shared_ptr<const Program> program) : program_(std::move(program)) {}
    std::shared_ptr<const Program> program_;
};

}  // namespace qeld::regex
