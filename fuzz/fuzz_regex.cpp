// Compiles arbitrary bytes as a pattern: every input ends in a matcher or one message, and a
// matcher must search without trouble. The text after the first newline is the haystack (its
// first 32 bytes: a program of the largest size takes a while per byte under the sanitizers),
// made valid UTF-8 as every text the program matches is. Every way to search must agree: is_match
// (prefilters, then the lazy DFA), the DFA alone with its cache cleared at every new state, and
// the Pike VM (which never takes the DFA).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/utf8.h"
#include "regex/compiler.h"
#include "regex/dfa.h"
#include "regex/matcher.h"
#include "regex/parser.h"
#include "regex/regex.h"
#include "regex/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string_view pattern = input.substr(0, newline);
    const std::string haystack =
        qeld::replace_invalid_utf8(newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1, 32));
    auto regex = qeld::regex::Regex::compile(pattern);
    if (!regex) {
        if (regex.error().empty() || regex.error().find('\n') != std::string::npos) std::abort();
        return 0;
    }
    auto cache = regex->create_cache();
    bool found = regex->is_match(haystack, cache);
    const qeld::regex::Program program = qeld::regex::compile(*qeld::regex::translate(*qeld::regex::parse(pattern)));
    qeld::regex::DfaCache cleared(qeld::regex::DfaOptions{0, false});
    if ((cleared.is_match(program, haystack) == qeld::regex::DfaCache::Outcome::Match) != found) std::abort();
    if (qeld::regex::detail::pike_vm(program, haystack) != found) std::abort();
    return 0;
}
