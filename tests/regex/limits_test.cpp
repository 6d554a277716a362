// The nesting and size limits at their edges, hostile sizes, and haystacks long enough that only
// linear matching finishes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regex.h"
#include "engines.h"

namespace qeld::regex {
namespace {

std::string repeat(std::string_view text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

const std::string too_large = "pattern too large: its compiled form exceeds 10 MiB";

// The early refusal works alike under any limit: the cases below hold it to this one, so that
// texts a little past it are short, and the real limit is met once (FirstPassesTheRealLimit).
constexpr std::uint64_t small_limit = 64 * 1024;
constexpr std::size_t past_small_limit = small_limit / bytes_per_instruction + 64;  // letters of a text past it

// The verdict of the early checks under the small limit, or empty when the pattern compiles.
std::string early_verdict(const std::string& pattern) {
    auto checked = checked_hir(pattern, small_limit);
    return checked.ok() ? "" : checked.error();
}

TEST(NestLimit, GroupsNestUpTo250Levels) {
    EXPECT_TRUE(Regex::compile(repeat("(", 250) + "a" + repeat(")", 250)).ok());
    auto deeper = Regex::compile(repeat("(", 251) + "a" + repeat(")", 251));
    ASSERT_FALSE(deeper.ok());
    EXPECT_EQ(deeper.error(), "nesting deeper than 250 levels at offset 250");
}

// A group holding a concatenation takes two levels.
TEST(NestLimit, ConcatenationsCountAsLevels) {
    auto nested = [](int levels) { return repeat("(a", levels) + repeat(")", levels); };
    EXPECT_TRUE(Regex::compile(nested(125)).ok());
    auto deeper = Regex::compile(nested(126));
    ASSERT_FALSE(deeper.ok());
    EXPECT_EQ(deeper.error(), "nesting deeper than 250 levels at offset 250");
}

TEST(NestLimit, ClassesNestUpTo250Levels) {
    auto matched = Regex::compile(repeat("[", 250) + "a" + repeat("]", 250));
    ASSERT_TRUE(matched.ok());
    EXPECT_TRUE(matched->is_match("a"));
    auto deeper = Regex::compile(repeat("[", 251) + "a" + repeat("]", 251));
    ASSERT_FALSE(deeper.ok());
    EXPECT_EQ(deeper.error(), "nesting deeper than 250 levels at offset 250");
}

TEST(NestLimit, StackedRepetitionsAreLevels) {
    EXPECT_TRUE(Regex::compile("a" + repeat("*", 250)).ok());
    EXPECT_FALSE(Regex::compile("a" + repeat("*", 251)).ok());
}

TEST(NestLimit, OtherFaultsAreReportedFirst) {
    auto unclosed = Regex::compile(repeat("(", 300));
    ASSERT_FALSE(unclosed.ok());
    EXPECT_EQ(unclosed.error(), "unclosed group at offset 299");
}

// Far deeper than the limit: the parser keeps its own stacks, so this is refused, not a crash.
TEST(NestLimit, VeryDeepPatternsAreRefusedWithoutRecursion) {
    auto deep = Regex::compile(repeat("(", 200000) + repeat(")", 200000));
    ASSERT_FALSE(deep.ok());
    EXPECT_EQ(deep.error(), "nesting deeper than 250 levels at offset 250");
    EXPECT_FALSE(Regex::compile(repeat("[", 200000) + repeat("]", 200000)).ok());
    EXPECT_FALSE(Regex::compile("a" + repeat("*", 200000)).ok());
}

// 16 bytes per instruction: a{n} takes n + 3 instructions (the match and its two slots).
TEST(SizeLimit, CountsInstructions) {
    EXPECT_TRUE(Regex::compile("a{655357}").ok());
    auto over = Regex::compile("a{655358}");
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error(), too_large);
}

TEST(SizeLimit, RefusesMultipliedRepetitions) {
    for (const char* pattern : {"(?:a{1000}){1000}", "a{4294967295}", "((a{100}){100}){100}", "(?:a{5}){5}{5}{5}{5}{5}{5}{5}{5}",
                                "(?:a|b){1000}{1000}", "[a-z]{100000}{100}"}) {
        auto compiled = Regex::compile(pattern);
        ASSERT_FALSE(compiled.ok()) << pattern;
        EXPECT_EQ(compiled.error(), too_large);
    }
}

TEST(SizeLimit, SharesClassesAcrossCopies) {
    auto word = Regex::compile("^\\w{1,1000}$");
    ASSERT_TRUE(word.ok());
    EXPECT_TRUE(word->is_match(repeat("é", 1000)));
    EXPECT_FALSE(word->is_match(repeat("é", 1001)));
    EXPECT_TRUE(Regex::compile("(\\pL|\\pN){400}").ok());
    EXPECT_TRUE(Regex::compile(repeat("\\pL", 5000)).ok());
}

TEST(SizeLimit, CountsDistinctClassTables) {
    // Each distinct bracket is a table of its own: 3000 of the letters with one more code point
    // each outgrow the limit, while one bracket written 3000 times is one table.
    std::string distinct;
    for (int i = 0; i < 3000; ++i) distinct += "[\\pL\\x{" + std::to_string(0xE000 + i) + "}]";
    auto compiled = Regex::compile(distinct);
    ASSERT_FALSE(compiled.ok());
    EXPECT_EQ(compiled.error(), too_large);
    EXPECT_TRUE(Regex::compile(repeat("[\\pL]", 3000)).ok());
    EXPECT_TRUE(Regex::compile(repeat("(?i)[\\pL\\d]", 3000)).ok());
}

TEST(SizeLimit, RefusesNestedMultipliedRepetitionsOfShortTexts) {
    for (const char* pattern : {"((?:a{100}){100}){100}", "(?:(?:a{1000}){1000}){1000}{1000}", "\\w{5}{5}{5}{5}{5}{5}{5}{5}{5}",
                                "(?:a|b){4294967295}"}) {
        auto checked = Regex::check(pattern);
        ASSERT_FALSE(checked.ok()) << pattern;
        EXPECT_EQ(checked.error(), too_large) << pattern;
    }
}

// A long text whose pieces pass the limit while it is read is not kept whole, and the message is
// the one the whole tree gives: a fault of syntax, nesting or translation anywhere comes first.
TEST(SizeLimit, RefusesLongTextsEarlyWithTheSameMessages) {
    const std::string as = repeat("a", past_small_limit);
    const std::string deep = repeat("(", 249) + "b" + repeat(")", 249);
    const std::string ab_branches = repeat("ab|", past_small_limit / 2);
    for (const std::string& pattern :
         {as, as + ")", as + "(", as + "(?-u)\\xFF", "(?-u)" + as + ".", "(?i)" + as + "\\p{Foo}", as + "\\p{Greek}",
          ab_branches + "\\p{Foo}", ab_branches, "\\p{Foo}|" + ab_branches, repeat("(", 250) + "a" + repeat(")", 250) + "|" + ab_branches,
          as + deep + "|c", as + deep, as + deep + "c|d", as + deep + "c", as + repeat("(", 251) + repeat(")", 251), as + repeat("(", 100000) + repeat(")", 100000) + "b",
          "(?:" + as + "){0}", repeat("\\w", past_small_limit) + "\\p{Foo}", repeat("(a)", past_small_limit / 2) + "[",
          repeat("[a-z]", past_small_limit) + "(?-u:[^a])", as + "(?x) # comment\n" + "b"}) {
        EXPECT_EQ(early_verdict(pattern), whole_tree_verdict(pattern, small_limit))
            << pattern.substr(pattern.size() > 60 ? pattern.size() - 60 : 0);
    }
}

// So is a long text inside groups, nested or alternated, unless a later zero repetition erases it:
// flags stay inside their group, and depth counts the levels the group gains after it closes.
TEST(SizeLimit, RefusesLongTextsInGroupsEarlyWithTheSameMessages) {
    const std::string as = repeat("a", past_small_limit);
    const std::string ab_branches = repeat("ab|", past_small_limit / 2);
    const std::string deep = repeat("(", 247) + "b" + repeat(")", 247);
    std::vector<std::string> patterns = {
        "^(?:" + as + ")$", "(" + as + ")", "(?:" + as, "(?:" + as + "))", "(?:" + as + "|b)", "(?:" + ab_branches + "c)",
        "(?:" + ab_branches + "\\p{Foo})", "\\p{Foo}(?:" + as + ")", "(?:" + as + ")\\p{Foo}", "(?i)(?:" + as + "\\p{Greek})",
        "(?-u:" + as + "\\xFF)", "(?-u:(?u:" + as + ")\\xFF)", "(?:(?-u)" + as + ")\\xFF", "(?:(?-u)" + as + "\\xFF)",
        "(?:(?-u)" + as + "|\\xFF)", "(?:(?x)" + as + " # c\n b) c", "(?:" + as + "(?:" + as + ")b)", "(" + as + "(" + as + "(" + as + ")))",
        "(?:" + as + "){0}", "(?:" + as + "){0,0}b", "(?:(?:" + as + "){0})", "(?:" + as + "\\p{Foo}){0}", "(?:" + as + ")?",
        "(?:" + as + "){0}" + repeat("(", 251) + repeat(")", 251), "(?:(?:" + as + ")*){0}[", "(?:" + ab_branches + deep + ")",
        "(?:" + as + repeat("(", 251) + repeat(")", 251) + ")\\p{Foo}", "(?:" + as + "b)" + repeat("(", 300) + "[",
    };
    // A piece just short of the nesting limit until the repetitions after its group push it past.
    for (int stacked = 0; stacked <= 3; ++stacked) {
        patterns.push_back("(?:" + as + deep + ")" + repeat("{1}", stacked));
        patterns.push_back("(?:(?:" + as + "|" + deep + "c)" + repeat("+", stacked) + ")");
        patterns.push_back(repeat("(?:", 3) + as + repeat("(", 246 - stacked) + "b" + repeat(")", 246 - stacked) + repeat(")", 3) + "x");
    }
    for (const std::string& pattern : patterns) {
        EXPECT_EQ(early_verdict(pattern), whole_tree_verdict(pattern, small_limit))
            << pattern.substr(pattern.size() > 60 ? pattern.size() - 60 : 0);
    }
}

// The real limit is met as the small one: early, after the faults that come before it.
TEST(SizeLimit, RefusesTextsPastTheRealLimitEarly) {
    const std::string as = repeat("a", 660000);
    struct Case {
        std::string pattern, message;
    };
    for (const Case& c : std::vector<Case>{
             {as, too_large},
             {"^(?:" + as + ")$", too_large},
             {"(?:" + as + "|b)" + repeat("(", 300), "unclosed group at offset " + std::to_string(as.size() + 6 + 299)},
             {"(?:" + as + ")\\p{Foo}", "unknown Unicode property Foo at offset " + std::to_string(as.size() + 4)},
         }) {
        auto checked = Regex::check(c.pattern);
        ASSERT_FALSE(checked.ok());
        EXPECT_EQ(checked.error(), c.message);
    }
    EXPECT_EQ(too_large_message(small_limit), "pattern too large: its compiled form exceeds 64 KiB");
    EXPECT_EQ(too_large_message(1000), "pattern too large: its compiled form exceeds 1000 bytes");
}

// What stays of a long text in a group is a few nodes too, fifty times past the limit.
TEST(SizeLimit, KeepsLittleOfALongTextInAGroup) {
    PieceChecker pieces(small_limit);
    auto ast = parse("^(?:" + repeat("a", 50 * past_small_limit) + ")$", &pieces, small_limit);
    ASSERT_TRUE(ast.ok());
    EXPECT_TRUE(ast->too_large);
    EXPECT_LT(ast->nodes.size(), 16u);
    EXPECT_TRUE(pieces.finish(*ast).ok());
}

// What stays of the tree is a few nodes, however long the text.
TEST(SizeLimit, KeepsLittleOfALongText) {
    PieceChecker pieces(small_limit);
    auto ast = parse(repeat("a", 50 * past_small_limit) + "b*", &pieces, small_limit);
    ASSERT_TRUE(ast.ok());
    EXPECT_TRUE(ast->too_large);
    EXPECT_LT(ast->nodes.size(), 10u);
    EXPECT_TRUE(pieces.finish(*ast).ok());
}

TEST(SizeLimit, StackedFivesMatchExactly) {
    auto compiled = Regex::compile("^a{5}{5}{5}{5}{5}{5}$");
    ASSERT_TRUE(compiled.ok());
    EXPECT_TRUE(compiled->is_match(repeat("a", 15625)));
    EXPECT_FALSE(compiled->is_match(repeat("a", 15624)));
    EXPECT_FALSE(compiled->is_match(repeat("a", 15626)));
}

TEST(SizeLimit, EmptyOperandsAreNotMultiplied) {
    for (const char* pattern : {"(?:){4294967295}", "(?:\\b){1000}{1000}{1000}", "(){100000}{100000}", "(?:^$){4294967295}"}) {
        EXPECT_TRUE(Regex::compile(pattern).ok()) << pattern;
    }
    auto group = Regex::compile("(){100000}{100000}");
    ASSERT_TRUE(group.ok());
    EXPECT_TRUE(group->is_match("x"));
}

// Patterns that take exponential time in a backtracking engine without memory.
TEST(LongHaystacks, MatchInLinearTime) {
    std::string as = repeat("a", 1 << 20);
    struct Case {
        const char* pattern;
        std::string haystack;
        bool matches;
    };
    for (const Case& c : {Case{"(a|aa)*b", as, false}, Case{"(?:a+)+$", as + "!", false}, Case{"^(a*)*$", as, true},
                          Case{"\\w+@\\w+\\.com", as, false}, Case{"(?:a|a)*x", as, false}, Case{"(.*)(.*)(.*)(.*)z", as, false},
                          Case{"a{100}b", as.substr(0, 1 << 16), false}, Case{"\\ba", as, true},
                          Case{"(?i)A{1000}$", as.substr(0, 1 << 12), true}}) {
        auto compiled = Regex::compile(c.pattern);
        ASSERT_TRUE(compiled.ok()) << c.pattern;
        EXPECT_EQ(compiled->is_match(c.haystack), c.matches) << c.pattern;
        EXPECT_EQ(pike_vm_matches(c.pattern, c.haystack), c.matches) << c.pattern;
    }
}

TEST(LongHaystacks, GroupsAroundALongMatch) {
    auto compiled = Regex::compile("(a+)(b+)?(é*)$");
    ASSERT_TRUE(compiled.ok());
    std::string text = "x" + repeat("a", 300000) + repeat("é", 1000);
    EXPECT_TRUE(compiled->is_match(text));
    EXPECT_FALSE(compiled->is_match(text + "b"));
}

// Groups take no room in a large program: 3,600 of them match as their letters do.
TEST(LongHaystacks, ManyGroupsInALargeProgram) {
    std::string pattern = "(?:" + repeat("(a)", 300) + "){12}";
    auto compiled = Regex::compile(pattern);
    ASSERT_TRUE(compiled.ok()) << compiled.error();
    EXPECT_TRUE(compiled->is_match("b" + repeat("a", 300 * 12) + "b"));
    EXPECT_FALSE(compiled->is_match("b" + repeat("a", 300 * 12 - 1) + "b"));
    EXPECT_EQ(program_of(pattern).insts.size(), 300u * 12 + 1);
}

TEST(Haystacks, InvalidUtf8IsNeverReadOutOfBounds) {
    auto compiled = Regex::compile("\\w\\b.");
    ASSERT_TRUE(compiled.ok());
    for (std::string text : {std::string("a\xC3"), std::string("\xF0\x9F"), std::string("\xFF\xFE"), std::string("\x80")}) {
        EXPECT_EQ(compiled->is_match(text), pike_vm_matches("\\w\\b.", text));
    }
}

}  // namespace
}  // namespace qeld::regex
