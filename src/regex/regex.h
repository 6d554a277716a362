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

// A compiled pattern. Immutable: copies share the program.
class Regex {
public:
    // Finds every fault of syntax or size that compile() would, without building the program.
    static Result<void> check(std::string_view pattern);
    // Compiles with the default flags: Unicode on, everything else off.
    static Result<Regex> compile(std::string_view pattern);

    // True when the pattern matches anywhere in the haystack.
    bool is_match(std::string_view haystack) const;
    // The bytes the program holds: its instructions and class tables, and the parts of the lazy
    // DFA that grow with the program.
    std::size_t memory_usage() const { return bytes_; }

private:
    explicit Regex(std::shared_ptr<const Program> program);
    std::shared_ptr<const Program> program_;
    std::size_t bytes_ = 0;
};

}  // namespace qeld::regex
