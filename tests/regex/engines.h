#pragma once
// The matchers below Regex one by one, so that a test can hold the lazy DFA's verdict against
// the Pike VM's, which reads every program and haystack the same way.

#include <string>
#include <string_view>

#include "regex/compiler.h"
#include "regex/matcher.h"
#include "regex/parser.h"
#include "regex/translate.h"

namespace qeld::regex {

// The program of a pattern that compiles.
inline Program program_of(std::string_view pattern) { return compile(*translate(*parse(pattern))); }

// The verdict of parsing and translating the whole tree before the size is looked at: the
// message, or empty when the pattern compiles. Checking must give the same, however early it
// refuses a pattern.
inline std::string whole_tree_verdict(std::string_view pattern, std::uint64_t limit = size_limit) {
    auto ast = parse(pattern, nullptr, limit);
    if (!ast) return ast.error();
    auto hir = translate(*ast, limit);
    if (!hir) return hir.error();
    return program_bytes(*hir) > limit ? too_large_message(limit) : "";
}

inline bool pike_vm_matches(std::string_view pattern, std::string_view haystack) {
    return detail::pike_vm(program_of(pattern), haystack);
}

}  // namespace qeld::regex
