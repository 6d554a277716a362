// Whether each construct matches. The cases name where the leftmost-first match lies (byte
// offsets), which the verdict alone no longer shows.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "regex/regex.h"
#include "engines.h"

namespace qeld::regex {
namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);

struct MatchCase {
    const char* name;
    const char* pattern;
    const char* haystack;
    std::size_t start;  // none when nothing matches
    std::size_t end;
};

class Matching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Matching, FindsTheLeftmostFirstMatch) {
    const MatchCase& c = GetParam();
    auto compiled = Regex::compile(c.pattern);
    ASSERT_TRUE(compiled.ok()) << c.pattern << ": " << compiled.error();
    EXPECT_EQ(compiled->is_match(c.haystack), c.start != none);
    EXPECT_EQ(pike_vm_matches(c.pattern, c.haystack), c.start != none);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Matching,
    ::testing::Values(
        // Empty patterns and empty matches.
        MatchCase{"EmptyPattern", "", "abc", 0, 0}, MatchCase{"EmptyPatternEmptyText", "", "", 0, 0},
        MatchCase{"EmptyClassNeverMatches", "[a&&b]", "ab", none, 0},
        MatchCase{"EmptyClassRepeated", "[a&&b]*", "ab", 0, 0}, MatchCase{"EmptyBranchLast", "a|", "b", 0, 0},
        MatchCase{"EmptyBranchFirstIsPreferred", "|a", "a", 0, 0},
        // Preference: the first alternative wins, greedy takes most, lazy least.
        MatchCase{"FirstAlternativeLong", "samwise|sam", "samwise", 0, 7},
        MatchCase{"FirstAlternativeShort", "sam|samwise", "samwise", 0, 3}, MatchCase{"Leftmost", "b+", "abbb", 1, 4},
        MatchCase{"Greedy", "a+", "aaa", 0, 3}, MatchCase{"LazyStar", "a*?", "aaa", 0, 0},
        MatchCase{"LazyQuestion", "a??", "a", 0, 0}, MatchCase{"LazyBounded", "a{2,3}?", "aaaa", 0, 2},
        MatchCase{"LazyAtLeast", "a{2,}?", "aaaa", 0, 2}, MatchCase{"SwapGreed", "(?U)a+", "aaa", 0, 1},
        MatchCase{"SwapGreedLazy", "(?U)a+?", "aaa", 0, 3},
        // Counted repetitions.
        MatchCase{"Exactly", "^a{3}$", "aaa", 0, 3}, MatchCase{"ExactlyTooFew", "^a{3}$", "aa", none, 0},
        MatchCase{"Stacked", "^a{2}{3}$", "aaaaaa", 0, 6}, MatchCase{"StackedTooFew", "^a{2}{3}$", "aaaaa", none, 0},
        MatchCase{"Bounded", "^a{2,3}$", "aaaa", none, 0}, MatchCase{"AtLeast", "^a{2,}$", "aaaaaa", 0, 6},
        MatchCase{"ZeroTimes", "^a{0}$", "", 0, 0}, MatchCase{"OneTime", "^(?:ab){1}$", "ab", 0, 2},
        // Anchors: $ only at the very end without m.
        MatchCase{"DollarAtEnd", "a$", "a", 0, 1}, MatchCase{"DollarNotBeforeTrailingNewLine", "a$", "a\n", none, 0},
        MatchCase{"DollarMultiLine", "(?m)a$", "a\nb", 0, 1}, MatchCase{"CaretNotAfterNewLine", "^b", "a\nb", none, 0},
        MatchCase{"CaretMultiLine", "(?m)^b", "a\nb", 2, 3}, MatchCase{"CaretAtEndAfterNewLine", "(?m)^\\z", "test\n", 5, 5},
        MatchCase{"TextStartInMultiLine", "(?m)\\Ab", "a\nb", none, 0},
        MatchCase{"TextEndInMultiLine", "(?m)a\\z", "a\nb", none, 0}, MatchCase{"LineNumber", "(?m)^line \\d+", "line one\nline 2\n", 9, 15},
        // CRLF mode.
        MatchCase{"CrlfLine", "(?mR)^foo$", "\r\nfoo\r\n", 2, 5}, MatchCase{"LfOnlyLineBeforeCr", "(?m)^foo$", "\r\nfoo\r\n", none, 0},
        MatchCase{"CrlfEndBeforeLoneCr", "(?mR)a$", "a\rb", 0, 1}, MatchCase{"CrlfStartAfterLoneCr", "(?mR)^b", "a\rb", 2, 3},
        MatchCase{"CrlfNeverInsidePair", "(?mR)\\r^", "\r\n", none, 0}, MatchCase{"CrlfNeverInsidePairEnd", "(?mR)$\\n", "\r\n", none, 0},
        MatchCase{"LfEndInsidePair", "(?m)\\r$\\n", "\r\n", 0, 2}, MatchCase{"CrlfDotSkipsCr", "(?R).", "\r", none, 0},
        MatchCase{"DotTakesCr", ".", "\r", 0, 1}, MatchCase{"DotSkipsNewLine", ".", "\n", none, 0},
        MatchCase{"DotAllTakesNewLine", "(?s).", "\n", 0, 1}, MatchCase{"DotTakesWholeCodePoint", "^.$", "💩", 0, 4},
        // Flags and their scope.
        MatchCase{"FlagsToggle", "(?i)a+(?-i)b+", "AaAaAbbBBBb", 0, 7}, MatchCase{"GroupRestoresFlags", "(a(?i)b)c", "aBC", none, 0},
        MatchCase{"GroupFlagsInside", "(a(?i)b)c", "aBc", 0, 3}, MatchCase{"FlagsReachLaterBranches", "a(?i)b|c", "C", 0, 1},
        MatchCase{"ScopedFlags", "(?i:a)a", "AA", none, 0}, MatchCase{"Verbose", "(?x) a b # comment\n c", "abc", 0, 3},
        MatchCase{"VerboseEscapedSpace", "(?x)a\\ b", "a b", 0, 3}, MatchCase{"VerboseSpaceInClassIgnored", "(?x)[a b]", " ", none, 0},
        MatchCase{"SameBracketOtherVerbose", "(?x:[a b])[a b]", "a ", 0, 2},
        MatchCase{"SameBracketOtherCase", "[k](?i)[k]", "KkK", 1, 3},
        MatchCase{"VerboseOff", "(?x)(?-x) a", " a", 0, 2}, MatchCase{"VerboseInHexEscape", "(?x)\\x{ 4 1 }", "A", 0, 1},
        // Escapes.
        MatchCase{"HexByteIsCodePoint", "\\xFF", "ÿ", 0, 2}, MatchCase{"HexBraceEmoji", "\\x{1F600}", "😀", 0, 4},
        MatchCase{"HexShortAndLong", "\\u0041\\U0001F600\\u{42}\\U{43}", "A😀BC", 0, 7},
        MatchCase{"SpecialLetters", "\\a\\f\\t\\n\\r\\v", "\x07\x0C\t\n\r\x0B", 0, 6},
        MatchCase{"NonAsciiLiteralWithoutU", "(?-u)☃", "☃", 0, 3},
        // Classes.
        MatchCase{"Intersection", "[a-y&&xyz]+", "axyzb", 1, 3}, MatchCase{"Difference", "[0-9--4]+", "01234", 0, 4},
        MatchCase{"SubtractionByIntersection", "[0-9&&[^4]]+", "01234", 0, 4}, MatchCase{"Symmetric", "[a-g~~b-h]+", "bah", 1, 3},
        MatchCase{"NestedNegation", "[x[^xyz]]+", "xay", 0, 2}, MatchCase{"EscapedBrackets", "[\\[\\]]+", "a[]", 1, 3},
        MatchCase{"BracketFirst", "[]a]+", "]a", 0, 2}, MatchCase{"NegatedBracketFirst", "[^]a]", "]ab", 2, 3},
        MatchCase{"DashFirst", "[-a]+", "-a", 0, 2}, MatchCase{"DashLast", "[a-]+", "a-", 0, 2},
        MatchCase{"DashBetweenRanges", "[a-b-c]+", "-c", 0, 2}, MatchCase{"NegationBindsLast", "[^a-z&&b]", "b", none, 0},
        MatchCase{"NegationBindsLastOther", "[^a-z&&b]", "a", 0, 1},
        MatchCase{"OperatorsLeftToRight", "[\\pL--\\p{Greek}&&\\p{Uppercase}]", "aΔA", 3, 4},
        MatchCase{"NonAsciiLetters", "[\\p{Letter}--\\p{Ascii}]", "aé", 1, 3},
        MatchCase{"NonAsciiLettersByNegation", "[\\p{Letter}&&[^\\p{Ascii}]]", "aé", 1, 3},
        MatchCase{"AsciiClass", "[[:alpha:]]+", "ab1", 0, 2}, MatchCase{"AsciiNegated", "[[:^alpha:]]+", "ab12", 2, 4},
        MatchCase{"AsciiPunct", "[[:punct:]]+", "a!/:@[`{~b", 1, 9}, MatchCase{"UnknownAsciiName", "[[:foo:]]", ":", 0, 1},
        MatchCase{"NotAnAsciiClassOutside", "[:alpha:]", "h", 0, 1},
        MatchCase{"Doc", "[\\pN\\p{Greek}\\p{Cherokee}]+", "abcΔᎠβⅠᏴγδⅡxyz", 3, 23},
        MatchCase{"GreekLetters", "[\\p{Greek}&&\\pL]+", "ΔδΔ𐅌ΔδΔ", 0, 6}, MatchCase{"GreekAll", "\\p{Greek}+", "ΔδΔ𐅌ΔδΔ", 0, 16},
        // Perl classes are Unicode, also inside brackets.
        MatchCase{"WordAccented", "^\\w+$", "café", 0, 5}, MatchCase{"WordMark", "^\\w$", "\u0345", 0, 2},
        MatchCase{"WordJoinControl", "^\\w$", "\u200D", 0, 3}, MatchCase{"WordConnector", "^\\w$", "\u203F", 0, 3},
        MatchCase{"WordNotSuperscript", "\\w", "\u00B2", none, 0}, MatchCase{"WordLetterNumber", "\\w", "\u2161", 0, 3},
        MatchCase{"DigitArabicIndic", "\\d", "\u0663", 0, 2}, MatchCase{"DigitNotRoman", "\\d", "\u2161", none, 0},
        MatchCase{"SpaceNoBreak", "\\s", "\u00A0", 0, 2}, MatchCase{"SpaceNotZeroWidth", "\\s", "\u200B", none, 0},
        MatchCase{"NotWordInBrackets", "[\\W]", "é!", 2, 3}, MatchCase{"NotSpaceInBrackets", "[\\S]", "\u00A0x", 2, 3},
        MatchCase{"NotDigitInBrackets", "[\\D]", "\u0663x", 2, 3}, MatchCase{"AsciiWordWithoutU", "(?-u)\\w", "éa", 2, 3},
        // Word boundaries.
        MatchCase{"UnicodeBoundaryNotInsideWord", "caf\\b", "café", none, 0},
        MatchCase{"UnicodeBoundaryAtEnd", "caf\\b", "caf!", 0, 3}, MatchCase{"UnicodeBoundaryBeforeAccent", "\\bé", "aé é", 4, 6},
        MatchCase{"UnicodeNotBoundary", "a\\Bé", "aé", 0, 3}, MatchCase{"AsciiBoundaryBeforeAccent", "(?-u:\\b)é", "aé", 1, 3},
        MatchCase{"AsciiNotBoundary", "(?-u)\\B", "é", 0, 0}, MatchCase{"AsciiBoundaries", "(?-u:\\b).+(?-u:\\b)", "$$abc$$", 2, 5},
        MatchCase{"WordStart", "\\b{start}a", "ba a", 3, 4}, MatchCase{"WordStartAngle", "\\<a", "ba a", 3, 4},
        MatchCase{"WordEnd", "a\\b{end}", "ab a", 3, 4}, MatchCase{"WordEndAngle", "a\\>", "ab a", 3, 4},
        MatchCase{"WordStartNeedsWordAfter", "\\b{start}", "!", none, 0}, MatchCase{"WordEndNeedsWordBefore", "\\>", "!", none, 0},
        MatchCase{"WordStartHalf", "\\b{start-half}x", "ax x", 3, 4}, MatchCase{"WordStartHalfAtText", "\\b{start-half}", "!", 0, 0},
        MatchCase{"WordEndHalf", "x\\b{end-half}", "xa x", 3, 4}, MatchCase{"WordStartUnicode", "\\b{start}é", "aé é", 4, 6},
        MatchCase{"WordStartAscii", "(?-u:\\b{start})x", "éx", 2, 3},
        MatchCase{"WordEndHalfAscii", "(?-u:x\\b{end-half})", "xé", 0, 1},
        // Case folding: simple folding orbits.
        MatchCase{"KelvinFromK", "(?i)k", "\u212A", 0, 3}, MatchCase{"KFromKelvin", "(?i)\u212A", "k", 0, 1},
        MatchCase{"KelvinInClass", "(?i)[k]", "\u212A", 0, 3}, MatchCase{"KelvinInRange", "(?i)[a-z]", "\u212A", 0, 3},
        MatchCase{"LongS", "(?i)s", "\u017F", 0, 2}, MatchCase{"SharpSCapital", "(?i)ß", "ẞ", 0, 3},
        MatchCase{"CapitalSharpS", "(?i)ẞ", "ß", 0, 2}, MatchCase{"SharpSIsNotSs", "(?i)ß", "ss", none, 0},
        MatchCase{"FinalSigma", "(?i)σ", "ς", 0, 2}, MatchCase{"SigmaCapital", "(?i)ς", "Σ", 0, 2},
        MatchCase{"Delta", "(?i)Δ+", "ΔδΔ", 0, 6}, MatchCase{"FoldBeforeNegation", "(?i)[^k]", "K\u212Ak", none, 0},
        MatchCase{"FoldOfProperty", "(?i)\\p{Lu}", "a", 0, 1}, MatchCase{"FoldedOperands", "(?i)[a-z&&K]", "k", 0, 1},
        MatchCase{"AsciiFoldWithoutU", "(?i-u)k", "\u212AK", 3, 4}, MatchCase{"AsciiFoldClassWithoutU", "(?i-u)[k]", "K", 0, 1},
        MatchCase{"CaseSensitiveByDefault", "k", "K", none, 0},
        // Properties: aliases, loose matching, values.
        MatchCase{"ScriptByValue", "\\p{sc=Greek}", "aΔ", 1, 3}, MatchCase{"ScriptColon", "\\p{Script:greek}", "Δ", 0, 2},
        MatchCase{"ScriptNotEqual", "\\p{sc!=Greek}", "Δa", 2, 3}, MatchCase{"NegatedNotEqual", "\\P{sc!=Greek}", "aΔ", 1, 3},
        MatchCase{"ScriptShortName", "\\p{Grek}", "Δ", 0, 2}, MatchCase{"LooseCaseAndSpaces", "\\p{ G R E E K }", "Δ", 0, 2},
        MatchCase{"LooseIsPrefix", "\\p{Is_Greek}", "Δ", 0, 2}, MatchCase{"LooseHyphen", "\\p{gc=uppercase-letter}", "aA", 1, 2},
        MatchCase{"CategoryShort", "\\p{Lu}", "aA", 1, 2}, MatchCase{"CategoryOneLetter", "\\pN", "aⅡ", 1, 4},
        MatchCase{"CategoryOneLetterNegated", "\\PN", "1a", 1, 2}, MatchCase{"CategoryLowerCaseLetter", "\\pl", "1a", 1, 2},
        MatchCase{"CategoryGroup", "\\p{Punctuation}", "a-", 1, 2}, MatchCase{"CategoryAlias", "\\p{digit}", "a5", 1, 2},
        MatchCase{"CasedLetter", "\\p{LC}", "ªa", 2, 3}, MatchCase{"CasedLetterAmpersand", "\\p{L&}", "ªa", 2, 3},
        MatchCase{"CasedLetterAlone", "\\p{lc}", "ªa", 2, 3}, MatchCase{"CurrencyNotScript", "\\p{sc}", "a$", 1, 2},
        MatchCase{"FormatNotCaseFolding", "\\p{cf}", "a\u00AD", 1, 3}, MatchCase{"Any", "\\p{Any}", "\U0010FFFF", 0, 4},
        MatchCase{"NotAny", "\\P{Any}", "abc", none, 0}, MatchCase{"Ascii", "\\p{ASCII}+", "é\x7F", 2, 3},
        MatchCase{"Assigned", "\\p{Assigned}", "\u0378a", 2, 3}, MatchCase{"Unassigned", "\\p{Cn}", "a\u0378", 1, 3},
        MatchCase{"UnknownScript", "\\p{Unknown}", "a\u0378", 1, 3}, MatchCase{"CommonScript", "\\p{Zyyy}", "a ", 1, 2},
        MatchCase{"InheritedScript", "\\p{Qaai}", "a\u0300", 1, 3},
        MatchCase{"ScriptIsNotExtension", "\\p{sc=Deva}", "\u1CD1", none, 0},
        MatchCase{"ScriptExtension", "\\p{scx=Deva}", "\u1CD1", 0, 3},
        MatchCase{"ScriptExtensionOfInherited", "\\p{scx:Greek}", "\u0342", 0, 2},
        MatchCase{"ScriptExtensionIncludesScript", "\\p{Script_Extensions=Greek}", "Δ", 0, 2},
        MatchCase{"AgeIsCumulative", "\\p{age:3.2}", "A", 0, 1}, MatchCase{"AgeOlderVersion", "\\p{age:3.2}", "€", 0, 3},
        MatchCase{"AgeTooNew", "\\p{age:3.2}", "😀", none, 0}, MatchCase{"AgeLongName", "\\p{Age=V6_1}", "😀", 0, 4},
        MatchCase{"Alphabetic", "\\p{Alphabetic}", "1a", 1, 2}, MatchCase{"AlphabeticShort", "\\p{Alpha}", "1a", 1, 2},
        MatchCase{"WhiteSpaceAlias", "\\p{space}", "a\u2003", 1, 4}, MatchCase{"WhiteSpaceShort", "\\p{WSpace}", "a ", 1, 2},
        MatchCase{"HexDigit", "\\p{Hex}", "gF", 1, 2}, MatchCase{"Dash", "\\p{Dash}", "a\u2014", 1, 4},
        MatchCase{"QuotationMark", "\\p{QMark}", "a\"", 1, 2}, MatchCase{"Emoji", "\\p{Emoji}", "a😀", 1, 5},
        MatchCase{"EmojiPresentation", "\\p{EPres}", "#😀", 1, 5}, MatchCase{"ExtendedPictographic", "\\p{ExtPict}", "a©", 1, 3},
        MatchCase{"RegionalIndicator", "\\p{RI}", "a🇦", 1, 5}, MatchCase{"Uppercase", "\\p{Upper}", "aA", 1, 2},
        MatchCase{"Noncharacter", "\\p{NChar}", "a\uFDD0", 1, 4}, MatchCase{"IdStart", "\\p{XIDS}", "1a", 1, 2},
        MatchCase{"GraphemeBreak", "\\p{GCB=RI}", "a🇦", 1, 5},
        MatchCase{"GraphemeBreakLong", "\\p{Grapheme_Cluster_Break=CR}", "a\r", 1, 2},
        MatchCase{"WordBreak", "\\p{WB=Numeric}", "a5", 1, 2}, MatchCase{"WordBreakLetter", "\\p{wb:ALetter}", "1a", 1, 2},
        MatchCase{"SentenceBreak", "\\p{SB=Upper}", "aA", 1, 2}, MatchCase{"SentenceBreakTerm", "\\p{SB=ATerm}", "a.", 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The SemVer pattern with its five groups: major, minor, patch, pre-release, build.
constexpr const char* semver =
    R"re(^(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)(?:-((?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*)(?:\.(?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*))*))?(?:\+([0-9A-Za-z-]+(?:\.[0-9A-Za-z-]+)*))?$)re";

TEST(SemVer, AcceptsWholeVersions) {
    auto regex = Regex::compile(semver);
    ASSERT_TRUE(regex.ok()) << regex.error();
    for (const char* text : {"1.0.0-alpha.1+build.5", "10.20.30", "1.0.0+0.build", "1.2.3-0a.b-c"}) {
        EXPECT_TRUE(regex->is_match(text)) << text;
    }
}

TEST(SemVer, RefusesWhatIsNotAWholeVersion) {
    auto regex = Regex::compile(semver);
    ASSERT_TRUE(regex.ok());
    for (const char* text : {"1.0.0\n", " 1.0.0", "1.0.0 ", "01.0.0", "1.0", "v1.0.0", "1.0.0-01", "1.0.0-", "1.0.0+", "1.0.0-a..b"}) {
        EXPECT_FALSE(regex->is_match(text)) << text;
    }
}

struct GroupCase {
    const char* name;
    const char* pattern;
    const char* haystack;
    bool matches;
};

class Groups : public ::testing::TestWithParam<GroupCase> {};

// Groups of every kind match as their bodies do.
TEST_P(Groups, MatchAsTheirBodies) {
    auto regex = Regex::compile(GetParam().pattern);
    ASSERT_TRUE(regex.ok()) << regex.error();
    EXPECT_EQ(regex->is_match(GetParam().haystack), GetParam().matches);
    EXPECT_EQ(pike_vm_matches(GetParam().pattern, GetParam().haystack), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Groups,
    ::testing::Values(GroupCase{"UnusedBranch", "(a)|b", "b", true},
                      GroupCase{"LastIteration", "^(?:(a)|(b))+$", "ab", true},
                      GroupCase{"Repeated", "^(\\w)+$", "abc", true},
                      GroupCase{"Named", "(?P<y>\\d+)-(?<m>\\d+)", "x2024-05", true},
                      GroupCase{"NamedNoMatch", "(?P<y>\\d+)-(?<m>\\d+)", "x2024-", false},
                      GroupCase{"Nested", "^((a)(b))$", "ab", true},
                      GroupCase{"EmptyGroup", "^a()b$", "ab", true},
                      GroupCase{"NeverRepeated", "^(a){0}b$", "b", true},
                      GroupCase{"NeverRepeatedNoMatch", "^(a){0}b$", "ab", false},
                      GroupCase{"OptionalSkipped", "^a(b)?c$", "ac", true},
                      GroupCase{"LazyInside", "^(a+?)(a*)$", "aaa", true},
                      GroupCase{"EmptyIterationOfStar", "^(a*)*$", "b", false},
                      GroupCase{"EmptyIterationOfPlus", "(a*)+", "b", true},
                      GroupCase{"AlternationInLoop", "^(a|ab)(c|bcd)(d*)$", "abcd", true},
                      GroupCase{"FlagGroup", "^(?i:(a))$", "A", true},
                      GroupCase{"MultiByte", "^(é)(😀)$", "é😀", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeld::regex
