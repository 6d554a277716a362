// is_match goes through the lazy DFA where the program suits it; the Pike VM never does. The two
// must agree, also when the DFA's cache overflows and it leaves the search to the other matchers.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engines.h"
#include "regex/regex.h"

namespace qeld::regex {
namespace {

std::string random_text(std::mt19937& random, const std::string& alphabet, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out.push_back(alphabet[random() % alphabet.size()]);
    return out;
}

// The n-th symbol from the end is an a: a DFA needs 2^n states for that.
TEST(LazyDfa, AgreesWhenItsCacheOverflows) {
    auto regex = Regex::compile("(?:a|b)*a(?:a|b){14}$");
    ASSERT_TRUE(regex.ok());
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        std::string text = random_text(random, "ab", 3000 + round);
        EXPECT_EQ(regex->is_match(text), pike_vm_matches("(?:a|b)*a(?:a|b){14}$", text)) << round;
        EXPECT_EQ(regex->is_match(text), text[text.size() - 15] == 'a') << round;
    }
}

TEST(LazyDfa, StepsOverCodePointsAboveAscii) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    for (const Case& c : {Case{"^\\p{Greek}+$", "αβγ", true}, Case{"^\\p{Greek}+$", "αβγa", false},
                          Case{"é$", "café", true}, Case{"^.{3}$", "😀é1", true}, Case{"^.{3}$", "😀é", false},
                          Case{"[^a]$", "aé", true}, Case{"^\\w+$", "日本語", true}, Case{"(?i)ǅ", "ǆ", true},
                          Case{"^$", "\u00A0", false}, Case{"a|^é", "é", true}, Case{"\\x{10FFFF}$", "a\U0010FFFF", true}}) {
        auto regex = Regex::compile(c.pattern);
        ASSERT_TRUE(regex.ok()) << c.pattern;
        EXPECT_EQ(regex->is_match(c.text), c.matches) << c.pattern << " on " << c.text;
        EXPECT_EQ(pike_vm_matches(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
    }
}

TEST(LazyDfa, KeepsStatesAcrossSearchesAndCopies) {
    auto regex = Regex::compile("^[a-z]+(?:-[a-z]+)*$");
    ASSERT_TRUE(regex.ok());
    Regex copy = *regex;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(regex->is_match("kebab-case-name"));
        EXPECT_FALSE(copy.is_match("kebab--case"));
        EXPECT_FALSE(copy.is_match("Kebab"));
    }
}

}  // namespace
}  // namespace qeld::regex
