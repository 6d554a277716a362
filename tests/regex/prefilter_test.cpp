// What the prefilters take from a pattern, and that a literal search answers exactly.
#include <gtest/gtest.h>

#include <string>

#include "hir_of.h"
#include "regex/prefilter.h"
#include "regex/regex.h"

namespace qeld::regex {
namespace {

Prefilter prefilter_of(const std::string& pattern) { return Prefilter::of(hir_of(pattern)); }

TEST(Prefilter, TakesTheWholePatternWhenItIsOneString) {
    struct Case {
        const char* pattern;
        bool exact;
        const char* literal;
    };
    for (const Case& c : {Case{"abc", true, "abc"}, Case{"(?:ab)(c)", true, "abc"}, Case{"a{3}é", true, "aaaé"},
                          Case{"", true, ""}, Case{"\\babc", false, ""}, Case{"^abc", false, ""}, Case{"ab?", false, ""},
                          Case{"(?i)abc", false, ""}, Case{"a|b", false, ""}}) {
        Prefilter filter = prefilter_of(c.pattern);
        EXPECT_EQ(filter.is_exact(), c.exact) << c.pattern;
        if (c.exact) {
            EXPECT_EQ(filter.literal(), c.literal) << c.pattern;
        }
    }
}

TEST(Prefilter, FindsWhereAMatchCouldStart) {
    struct Case {
        const char* pattern;
        const char* text;
        std::size_t from;
        std::size_t candidate;
    };
    constexpr std::size_t none = std::string_view::npos;
    for (const Case& c : {Case{"\\berror\\b", "terror error", 0, 1}, Case{"\\berror\\b", "terror error", 2, 7},
                          Case{"(?i)warning", "a WaRnInG here", 0, 2}, Case{"(?i)warning", "warnin", 0, none},
                          Case{"#[0-9a-f]{3}\\b", "x #ab #abc", 0, 6}, Case{"(?i)ab[0-9]x", "ab1y AB2X", 0, 5},
                          Case{"é\\b", "caféé", 0, 3}, Case{"(?:abc){2,}", "abcab abcabc", 0, 6}}) {
        Prefilter filter = prefilter_of(c.pattern);
        ASSERT_TRUE(filter.has_prefix()) << c.pattern;
        EXPECT_EQ(filter.next_candidate(c.text, c.from), c.candidate) << c.pattern << " in " << c.text;
    }
    for (const char* pattern : {"[a-z]+x", "a|b", "\\w+", "(?i)k", "e\\w"}) EXPECT_FALSE(prefilter_of(pattern).has_prefix()) << pattern;
}

TEST(Prefilter, RulesOutTextsTooShortOrWithoutARequiredString) {
    std::string letters(1000, 'y');
    Prefilter filter = prefilter_of("[a-z]{250}x");
    EXPECT_FALSE(filter.may_match(letters));
    EXPECT_TRUE(filter.may_match(letters + "x"));
    EXPECT_FALSE(prefilter_of("\\w+@\\w+\\.com").may_match(letters + "@example.org"));
    EXPECT_FALSE(prefilter_of("\\d{10}").may_match("123456789"));
    EXPECT_FALSE(prefilter_of("(?:ab|cd)+e").may_match(letters));
    EXPECT_TRUE(prefilter_of("(?:ab|cd)+e").may_match(letters + "e"));
}

// Counts of empty-width pieces multiply to billions of copies that take no instruction.
TEST(Prefilter, TakesNestedCountsOfEmptyPiecesAtOnce) {
    Prefilter filter = prefilter_of("(?:(?:(?:\\b){1000}){1000}){1000}ab");
    EXPECT_EQ(filter.next_candidate("x ab", 0), 2u);
    EXPECT_TRUE(prefilter_of("(?:(?:(?:){1000}){1000}){1000}").is_exact());
    auto regex = Regex::compile("(?:(?:(?:\\b){1000}){1000}){1000}ab");
    ASSERT_TRUE(regex.ok());
    EXPECT_TRUE(regex->is_match("x ab"));
    EXPECT_FALSE(regex->is_match("xab"));
}

// The search is linear even for a literal that repeats itself, and one longer than the text is
// answered without looking.
TEST(Prefilter, SearchesLongLiterals) {
    std::string needle = std::string(20000, 'a') + "b";
    auto regex = Regex::compile(needle);
    ASSERT_TRUE(regex.ok());
    EXPECT_FALSE(regex->is_match(std::string(200000, 'a')));
    EXPECT_TRUE(regex->is_match(std::string(200000, 'a') + "b"));
    EXPECT_FALSE(regex->is_match(std::string(20000, 'a')));
    EXPECT_EQ(find_literal("abcabd", "abd"), 3u);
    EXPECT_EQ(find_literal("abcabd", "abd", 4), std::string_view::npos);
    EXPECT_EQ(find_literal("abc", ""), 0u);
    EXPECT_EQ(find_literal("ab", "abc"), std::string_view::npos);
}

}  // namespace
}  // namespace qeld::regex
