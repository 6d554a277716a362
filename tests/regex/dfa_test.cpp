// is_match goes through the prefilters and the lazy DFA, which must agree with the Pike VM and
// the backtracker on every pattern and haystack: also when its cache is cleared at every new
// state, at word boundaries and line anchors (decided from one character of look-behind), and
// when a prefilter makes it skip ahead.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "engines.h"
#include "hir_of.h"
#include "regex/dfa.h"
#include "regex/program.h"
#include "regex/regex.h"

namespace qeld::regex {
namespace {


std::string random_text(std::mt19937& random, const std::string& alphabet, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out.push_back(alphabet[random() % alphabet.size()]);
    return out;
}

// The n-th symbol from the end is an a: a DFA needs 2^n states for that, so the cache fills and
// is cleared while the search goes on (never giving up here, so that the DFA answers each time).
TEST(LazyDfa, KeepsSearchingWhenItsCacheOverflows) {
    Program program = program_of("(?:a|b)*a(?:a|b){14}$");
    DfaCache cache(DfaOptions{64 * 1024, false});
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        std::string text = random_text(random, "ab", 3000 + round);
        DfaCache::Outcome outcome = cache.is_match(program, text);
        ASSERT_NE(outcome, DfaCache::Outcome::GaveUp) << round;
        EXPECT_EQ(outcome == DfaCache::Outcome::Match, text[text.size() - 15] == 'a') << round;
        EXPECT_LE(cache.memory_usage(), 64 * 1024 + 4096) << round;
    }
    EXPECT_GT(cache.clears(), 3u);
}

// Every byte of `.{3000}x` builds a state of thousands of instructions: after three clears with
// fewer than 10 bytes per state the DFA leaves the search to the other matchers, which agree.
TEST(LazyDfa, GivesUpOnlyWhenItsStatesStopPaying) {
    Program program = program_of("(?s).{3000}x");
    std::string text = std::string(50, 'y') + "x" + std::string(20000, 'y');
    DfaCache cache;
    EXPECT_EQ(cache.is_match(program, text), DfaCache::Outcome::GaveUp);
    EXPECT_GE(cache.clears(), 3u);
    auto regex = Regex::compile("(?s).{3000}x");
    EXPECT_FALSE(regex->is_match(text));
    EXPECT_TRUE(regex->is_match(text + "x"));

    Program paying = program_of("(?s).{300}x");
    DfaCache small(DfaOptions{100 * 1024, true});
    EXPECT_EQ(small.is_match(paying, text), DfaCache::Outcome::NoMatch);
    EXPECT_GT(small.clears(), 0u);
    EXPECT_EQ(small.is_match(paying, text + "x"), DfaCache::Outcome::Match);
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
                          Case{"^$", "\u00A0", false}, Case{"a|^é", "é", true}, Case{"\\x{10FFFF}$", "a\U0010FFFF", true},
                          Case{"\\bé", "café", false}, Case{"\\Bé", "café", true}, Case{"(?-u:\\b)é", "café", true},
                          Case{"é\\b", "café", true}, Case{"é\\b", "caféa", false}, Case{"\\b{start}日", "。日本", true}}) {
        auto regex = Regex::compile(c.pattern);
        ASSERT_TRUE(regex.ok()) << c.pattern;
        auto cache = regex->create_cache();
        EXPECT_EQ(regex->is_match(c.text, cache), c.matches) << c.pattern << " on " << c.text;
        EXPECT_EQ(pike_vm_matches(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
    }
}

TEST(LazyDfa, KeepsStatesAcrossSearchesAndCopies) {
    auto regex = Regex::compile("^[a-z]+(?:-[a-z]+)*$");
    ASSERT_TRUE(regex.ok());
    Regex copy = *regex;
    auto cache = regex->create_cache();
    std::size_t held = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(regex->is_match("kebab-case-name", cache));
        EXPECT_FALSE(copy.is_match("kebab--case", cache));
        EXPECT_FALSE(copy.is_match("Kebab", cache));
        if (i == 0) held = cache.memory_usage();
        EXPECT_EQ(cache.memory_usage(), held) << "the second pass built states again";
    }
    EXPECT_GT(held, 0u);
    EXPECT_LT(held, default_dfa_capacity);
}

// A cache handed to another pattern starts over instead of reusing states of the first, also
// once the first is gone and the second may have taken its place in memory.
TEST(LazyDfa, CacheOfAnotherPatternStartsOver) {
    std::optional<Cache> cache;
    for (const char* pattern : {"^[0-9]+$", "^[a-z]+$", "^[0-9]+$"}) {
        auto regex = Regex::compile(pattern);
        if (!cache) cache.emplace(*regex);
        bool digits = pattern[2] == '0';
        EXPECT_EQ(regex->is_match("123", *cache), digits) << pattern;
        EXPECT_EQ(regex->is_match("abc", *cache), !digits) << pattern;
    }
}

// Random patterns of literals, classes, every assertion the DFA decides, groups, alternations
// and repetitions, over haystacks of the same few characters.
class PatternMaker {
public:
    explicit PatternMaker(unsigned seed) : random_(seed) {}

    std::string pattern(int depth = 0) {
        std::string out;
        int items = 1 + pick(4);
        for (int i = 0; i < items; ++i) out += item(depth);
        if (depth < 2 && pick(4) == 0) out += "|" + pattern(depth + 1);
        return out;
    }

    std::string haystack() {
        static const char* pieces[] = {"a", "b", "c", "ab", "abc", " ", "_", "\n", "\r", "\r\n", "é", "-", "A", "1"};
        std::string out;
        int length = pick(14);
        for (int i = 0; i < length; ++i) out += pieces[pick(14)];
        return out;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::string item(int depth) {
        static const char* atoms[] = {"a", "b", "c", "abc", "ab", "é", "[ab]", "[^a]", ".", "\\w", "\\W", "(?i)ab", "\\s",
                                      "_", "\\d", "(?s:.)", "(?-u:\\w)", "(?i:ABC)", " "};
        static const char* looks[] = {"\\b", "\\B", "\\b{start}", "\\b{end}", "\\b{start-half}", "\\b{end-half}",
                                      "(?-u:\\b)", "(?-u:\\B)", "(?-u:\\b{start})", "(?-u:\\b{end-half})", "^", "$",
                                      "(?m:^)", "(?m:$)", "(?Rm:^)", "(?Rm:$)", "\\A", "\\z"};
        int kind = pick(depth < 2 ? 10 : 8);
        if (kind < 3) return looks[pick(18)];
        std::string atom = kind < 8 ? std::string(atoms[pick(19)]) : "(?:" + pattern(depth + 1) + ")";
        const char* reps[] = {"", "", "", "?", "*", "+", "{2}", "{1,3}", "*?", "{2,}"};
        return atom + reps[pick(10)];
    }

    std::mt19937 random_;
};

TEST(LazyDfa, AgreesWithThePikeVmWhenClearedAtEveryState) {
    PatternMaker maker(20250611);
    int matched = 0;
    std::size_t clears = 0;
    for (int round = 0; round < 2500; ++round) {
        std::string pattern = maker.pattern();
        Program program = program_of(pattern);
        DfaCache cleared(DfaOptions{0, false});
        DfaCache kept;
        for (int h = 0; h < 8; ++h) {
            std::string text = maker.haystack();
            bool expected = detail::pike_vm(program, text);
            ASSERT_EQ(detail::backtrack(program, text), expected) << pattern << " on '" << text << "'";
            DfaCache::Outcome outcome = cleared.is_match(program, text);
            ASSERT_NE(outcome, DfaCache::Outcome::GaveUp);
            ASSERT_EQ(outcome == DfaCache::Outcome::Match, expected) << pattern << " on '" << text << "' (cleared)";
            ASSERT_EQ(kept.is_match(program, text) == DfaCache::Outcome::Match, expected) << pattern << " on '" << text << "'";
            auto regex = Regex::compile(pattern);
            ASSERT_EQ(regex->is_match(text), expected) << pattern << " on '" << text << "' (with prefilters)";
            matched += expected;
        }
        clears += cleared.clears();
    }
    EXPECT_GT(clears, 20000u);
    EXPECT_GT(matched, 4000);
    EXPECT_LT(matched, 16000);
}

// Long haystacks, so that a prefilter skips ahead and a candidate's look-behind is the character
// before it.
TEST(LazyDfa, AgreesAtPrefilterCandidates) {
    const char* patterns[] = {"\\berror\\b", "error\\b", "\\Berror", "(?i)warning", "(?i)\\bwarning\\b", "#[0-9a-f]{3}\\b",
                              "abc", "(?m)^abc$", "(?-u:\\b)abc", "abc\\b{end}", "\\b{start}ab[a-z]", "(?i)ab\\B",
                              "\\b(?:abc|abd)\\b", "é\\bx"};
    std::mt19937 random(5);
    for (const char* pattern : patterns) {
        Program program = program_of(pattern);
        auto regex = Regex::compile(pattern);
        auto cache = regex->create_cache();
        DfaCache cleared(DfaOptions{0, false});
        for (int round = 0; round < 60; ++round) {
            std::string text;
            while (text.size() < 400) {
                static const char* pieces[] = {"error", "Error", "errors", "terror", " ", "\n", "warning", "WARNING", "warn",
                                               "#abc", "#abcd", "abc", "abd", "_abc", "é", "éx", "abca", "x", "ab-"};
                text += pieces[random() % 19];
            }
            bool expected = detail::pike_vm(program, text);
            EXPECT_EQ(regex->is_match(text, cache), expected) << pattern << " on '" << text << "'";
            EXPECT_EQ(cleared.is_match(program, text) == DfaCache::Outcome::Match, expected) << pattern << " on '" << text << "'";
        }
    }
}

}  // namespace
}  // namespace qeld::regex
