// What the pattern language accepts and what it refuses, with the message of each fault.
#include <gtest/gtest.h>

#include <string>

#include "regex/regex.h"

namespace qeld::regex {
namespace {

struct Refused {
    const char* name;
    const char* pattern;
    const char* message;
};

class RefusedPattern : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedPattern, FailsWithItsMessage) {
    auto compiled = Regex::compile(GetParam().pattern);
    ASSERT_FALSE(compiled.ok()) << GetParam().pattern;
    EXPECT_EQ(compiled.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedPattern,
    ::testing::Values(
        // Groups.
        Refused{"UnclosedGroup", "a(b", "unclosed group at offset 1"},
        Refused{"UnclosedInnerGroup", "(a|(b)", "unclosed group at offset 0"},
        Refused{"UnopenedGroup", "a)", "unopened group at offset 1"},
        Refused{"UnopenedAfterAlternation", "a|b)", "unopened group at offset 3"},
        Refused{"LookAhead", "(?=a)", "look-around is not supported at offset 0"},
        Refused{"NegativeLookAhead", "x(?!a)", "look-around is not supported at offset 1"},
        Refused{"LookBehind", "(?<=a)b", "look-around is not supported at offset 0"},
        Refused{"NegativeLookBehind", "(?<!a)b", "look-around is not supported at offset 0"},
        Refused{"DuplicateName", "(?P<n>a)(?P<n>b)", "duplicate capture group name at offset 12"},
        Refused{"DuplicateNameAcrossForms", "(?<n>a)(?P<n>b)", "duplicate capture group name at offset 11"},
        Refused{"EmptyName", "(?P<>a)", "empty capture group name at offset 4"},
        Refused{"NameStartsWithDigit", "(?P<1a>a)", "invalid character in capture group name at offset 4"},
        Refused{"NameWithHyphen", "(?<a-b>x)", "invalid character in capture group name at offset 4"},
        Refused{"UnclosedName", "(?P<a", "unclosed capture group name at offset 5"},
        Refused{"PythonBackReference", "(?P<a>x)(?P=a)", "unrecognized flag at offset 10"},
        Refused{"CommentGroup", "(?#note)", "unrecognized flag at offset 2"},
        // Flags.
        Refused{"UnknownFlag", "(?z)", "unrecognized flag at offset 2"},
        Refused{"DuplicateFlag", "(?ii)", "duplicate flag at offset 3"},
        Refused{"FlagSetAndCleared", "(?i-i)", "duplicate flag at offset 4"},
        Refused{"RepeatedNegation", "(?i--m)", "repeated negation in flags at offset 4"},
        Refused{"DanglingNegation", "(?-)", "negation without a flag at offset 2"},
        Refused{"DanglingNegationAfterFlag", "(?i-:a)", "negation without a flag at offset 3"},
        Refused{"FlagsUnclosed", "(?i", "unclosed flag group at offset 3"},
        Refused{"QuestionAtEnd", "(?", "unclosed group at offset 0"},
        Refused{"EmptyFlags", "(?)", "empty flag group at offset 0"},
        // Repetitions.
        Refused{"StarAlone", "*", "repetition operator without an operand at offset 0"},
        Refused{"StarAfterBar", "a|*", "repetition operator without an operand at offset 2"},
        Refused{"StarAfterOpen", "(+)", "repetition operator without an operand at offset 1"},
        Refused{"StarAfterFlags", "(?i)*", "repetition operator without an operand at offset 4"},
        Refused{"CountAlone", "{2}", "repetition operator without an operand at offset 0"},
        Refused{"UnclosedCount", "a{", "unclosed counted repetition at offset 1"},
        Refused{"UnclosedCountWithNumber", "a{2", "unclosed counted repetition at offset 1"},
        Refused{"UnclosedCountWithComma", "a{2,", "unclosed counted repetition at offset 1"},
        Refused{"UnclosedCountWithRange", "a{2,3", "unclosed counted repetition at offset 1"},
        Refused{"LiteralBraceText", "a{b}", "missing number in counted repetition at offset 2"},
        Refused{"CountWithoutMinimum", "a{,2}", "missing number in counted repetition at offset 2"},
        Refused{"CountInverted", "a{2,1}", "counted repetition with its minimum above its maximum at offset 1"},
        Refused{"CountTooLarge", "a{4294967296}", "counted repetition number too large at offset 2"},
        Refused{"DigitsSplitBySpace", "a{1 2}", "unclosed counted repetition at offset 1"},
        // Escapes.
        Refused{"TrailingBackslash", "a\\", "incomplete escape sequence at offset 1"},
        Refused{"BackReference", "(a)\\1", "backreferences are not supported at offset 3"},
        Refused{"OctalIsOff", "\\141", "backreferences are not supported at offset 0"},
        Refused{"NulIsOctal", "\\0", "backreferences are not supported at offset 0"},
        Refused{"EightIsNoOctal", "\\8", "backreferences are not supported at offset 0"},
        Refused{"QuoteStart", "\\Qa.b\\E", "unrecognized escape sequence \\Q at offset 0"},
        Refused{"AnyByte", "a\\C", "unrecognized escape sequence \\C at offset 1"},
        Refused{"Escape", "\\e", "unrecognized escape sequence \\e at offset 0"},
        Refused{"NamedBackReference", "\\k<a>", "unrecognized escape sequence \\k at offset 0"},
        Refused{"LineBreakEscape", "\\R", "unrecognized escape sequence \\R at offset 0"},
        Refused{"GraphemeEscape", "\\X", "unrecognized escape sequence \\X at offset 0"},
        Refused{"EndBeforeNewLine", "\\Z", "unrecognized escape sequence \\Z at offset 0"},
        Refused{"NonAsciiEscape", "\\é", "unrecognized escape sequence \\é at offset 0"},
        Refused{"HexBadDigit", "\\xZZ", "invalid hexadecimal digit at offset 2"},
        Refused{"HexOneDigit", "\\x4", "incomplete escape sequence at offset 0"},
        Refused{"HexShortFourDigits", "\\u041", "incomplete escape sequence at offset 0"},
        Refused{"HexBraceBadDigit", "\\x{4G}", "invalid hexadecimal digit at offset 4"},
        Refused{"HexBraceEmpty", "\\x{}", "empty hexadecimal escape at offset 0"},
        Refused{"HexBraceUnclosed", "\\u{41", "unclosed hexadecimal escape at offset 0"},
        Refused{"HexAboveUnicode", "\\x{110000}", "escape is not a Unicode scalar value at offset 0"},
        Refused{"HexFarAboveUnicode", "\\U{FFFFFFFFFFFF}", "escape is not a Unicode scalar value at offset 0"},
        Refused{"HexSurrogate", "\\u{D800}", "escape is not a Unicode scalar value at offset 0"},
        Refused{"HexFixedSurrogate", "\\uDFFF", "escape is not a Unicode scalar value at offset 0"},
        Refused{"HexLongAboveUnicode", "\\U00110000", "escape is not a Unicode scalar value at offset 0"},
        // Word boundaries.
        Refused{"UnknownSpecialBoundary", "\\b{foo}", "unrecognized special word boundary \\b{foo} at offset 0"},
        Refused{"UnclosedSpecialBoundary", "\\b{start", "unclosed special word boundary at offset 0"},
        Refused{"BoundaryBraceAtEnd", "\\b{", "unclosed word boundary or repetition at offset 0"},
        // Classes.
        Refused{"UnclosedClass", "[a", "unclosed character class at offset 0"},
        Refused{"EmptyClassCannotBeWritten", "[]", "unclosed character class at offset 0"},
        Refused{"NegatedEmptyClassCannotBeWritten", "[^]", "unclosed character class at offset 0"},
        Refused{"UnclosedNestedClass", "[a[b]", "unclosed character class at offset 0"},
        Refused{"UnclosedInnerClass", "[a&&[b", "unclosed character class at offset 4"},
        Refused{"RangeOutOfOrder", "[z-a]", "character class range out of order at offset 1"},
        Refused{"RangeFromClass", "[\\d-z]", "invalid range bound in character class at offset 1"},
        Refused{"RangeToClass", "[a-\\pL]", "invalid range bound in character class at offset 3"},
        Refused{"AssertionInClass", "[\\b]", "invalid escape in character class at offset 1"},
        Refused{"AnchorInClass", "[a\\A]", "invalid escape in character class at offset 2"},
        // Unicode classes.
        Refused{"UnknownProperty", "\\p{Foo}", "unknown Unicode property Foo at offset 0"},
        Refused{"UnknownOneLetter", "\\pQ", "unknown Unicode property Q at offset 0"},
        Refused{"UnknownScript", "\\p{sc=Foo}", "unknown value Foo of Unicode property sc at offset 0"},
        Refused{"UnknownCategory", "x\\p{gc:Lx}", "unknown value Lx of Unicode property gc at offset 1"},
        Refused{"UnknownPropertyByValue", "\\p{foo=bar}", "unknown Unicode property foo at offset 0"},
        Refused{"UnsupportedProperty", "\\p{Block=Basic_Latin}", "unsupported Unicode property Block at offset 0"},
        Refused{"ScriptNamedAlone", "\\p{Script}", "unsupported Unicode property Script at offset 0"},
        Refused{"BooleanWithValue", "\\p{Alphabetic=Yes}", "Unicode property Alphabetic takes no value at offset 0"},
        Refused{"UnknownAge", "\\p{age=99.0}", "unknown value 99.0 of Unicode property age at offset 0"},
        Refused{"IscIsIsoComment", "\\p{IsC}", "unsupported Unicode property IsC at offset 0"},
        Refused{"PropertyNameOnOneLine", "\\p{Gr\neek}", "unknown Unicode property Gr\\x{A}eek at offset 0"},
        Refused{"LongPropertyNameCut", "\\p{abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz}",
                "unknown Unicode property abcdefghijklmnopqrstuvwxyzabcdefghijklmn... at offset 0"},
        Refused{"EscapeOfLineSeparator", "\\\u2028", "unrecognized escape sequence \\\\x{2028} at offset 0"},
        Refused{"UnclosedUnicodeClass", "\\p{Greek", "unclosed Unicode class at offset 0"},
        Refused{"PropertyAtEnd", "\\p", "incomplete escape sequence at offset 0"},
        Refused{"EscapedPropertyLetter", "\\p\\d", "invalid Unicode class at offset 2"},
        // Without the u flag.
        Refused{"UnicodeClassWithoutU", "(?-u)\\pL", "Unicode is not allowed without the u flag at offset 5"},
        Refused{"UnicodeClassInBracketWithoutU", "(?-u:[\\pL])", "Unicode is not allowed without the u flag at offset 6"},
        Refused{"DotWithoutU", "(?-u).", "pattern could match invalid UTF-8 without the u flag at offset 5"},
        Refused{"DotAllWithoutU", "(?s-u:.)", "pattern could match invalid UTF-8 without the u flag at offset 6"},
        Refused{"NotWordWithoutU", "(?-u)\\W", "pattern could match invalid UTF-8 without the u flag at offset 5"},
        Refused{"NotDigitWithoutU", "(?-u)\\D", "pattern could match invalid UTF-8 without the u flag at offset 5"},
        Refused{"HighByteWithoutU", "(?-u)\\xFF", "pattern could match invalid UTF-8 without the u flag at offset 5"},
        Refused{"HighByteInClassWithoutU", "(?-u)[\\x80]", "pattern could match invalid UTF-8 without the u flag at offset 6"},
        Refused{"NegatedClassWithoutU", "(?-u)[^a]", "pattern could match invalid UTF-8 without the u flag at offset 5"},
        Refused{"NotWordInClassWithoutU", "(?-u)[\\W]", "pattern could match invalid UTF-8 without the u flag at offset 6"},
        Refused{"NegatedAsciiClassWithoutU", "(?-u)[[:^alpha:]]",
                "pattern could match invalid UTF-8 without the u flag at offset 6"},
        Refused{"NonAsciiInClassWithoutU", "(?-u)[é]", "Unicode is not allowed without the u flag at offset 6"},
        Refused{"NonAsciiRangeWithoutU", "(?-u)[a-é]", "Unicode is not allowed without the u flag at offset 6"},
        Refused{"NonAsciiCaselessWithoutU", "(?i-u)é", "Unicode is not allowed without the u flag at offset 6"},
        // Text that is not UTF-8.
        Refused{"InvalidUtf8", "a\xFF", "pattern is not valid UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Accepted {
    const char* name;
    const char* pattern;
};

class AcceptedPattern : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedPattern, Compiles) {
    auto compiled = Regex::compile(GetParam().pattern);
    EXPECT_TRUE(compiled.ok()) << GetParam().pattern << ": " << (compiled.ok() ? "" : compiled.error());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptedPattern,
    ::testing::Values(
        Accepted{"Empty", ""}, Accepted{"EmptyGroup", "()"}, Accepted{"EmptyNonCapturing", "(?:)"},
        Accepted{"EmptyAlternatives", "|"}, Accepted{"EmptyBranchInGroup", "(a|)"}, Accepted{"EmptyLastBranch", "a|"},
        Accepted{"NamedAngle", "(?<name>a)"}, Accepted{"NamedP", "(?P<name>a)"},
        Accepted{"NameOfAllowedCharacters", "(?<_a.b[1]ü²>x)"}, Accepted{"NameStartsWithLetter", "(?<é1>x)"},
        Accepted{"VerboseWithComments", "(?x) a b # a comment\n c"}, Accepted{"FlagsScoped", "(?i:a)b"},
        Accepted{"AllFlags", "(?imsUuxR)a"}, Accepted{"FlagsCleared", "(?i-msUuxR)a"},
        Accepted{"HexTwo", "\\x7F"}, Accepted{"HexBrace", "\\x{10FFFF}"}, Accepted{"HexManyDigits", "\\x{000000000041}"},
        Accepted{"HexShort", "\\u0041"}, Accepted{"HexShortBrace", "\\u{41}"}, Accepted{"HexLong", "\\U0001F600"},
        Accepted{"HexLongBrace", "\\U{1F600}"}, Accepted{"SpecialLetters", "\\a\\f\\t\\n\\r\\v"},
        Accepted{"EscapedMeta", "\\\\\\.\\+\\*\\?\\(\\)\\|\\[\\]\\{\\}\\^\\$\\#\\&\\-\\~"},
        Accepted{"EscapedPunctuation", "\\ \\!\\\"\\%\\'\\,\\/\\:\\;\\=\\@\\_\\`"},
        Accepted{"RepetitionLarge", "a{1001}"}, Accepted{"StackedCounts", "a{2}{3}"}, Accepted{"StackedStars", "a**"},
        Accepted{"StackedLazy", "a*??"}, Accepted{"SpacesInCount", "a{ 2 , 3 }"}, Accepted{"RepeatedAssertion", "^*"},
        Accepted{"CountedBoundary", "\\b{2}"}, Accepted{"ManyWordRepetitions", "^\\w{1,1000}$"},
        Accepted{"StackedFivesIsNotTooLarge", "a{5}{5}{5}{5}{5}{5}"},
        Accepted{"EmptyRepeatedMaximally", "(?:){4294967295}"}, Accepted{"ClassIntersection", "[a-z&&[^aeiou]]"},
        Accepted{"ClassDifference", "[0-9--4]"}, Accepted{"ClassSymmetric", "[a-g~~b-h]"},
        Accepted{"NestedClasses", "[[a][b]]"}, Accepted{"NestedNegated", "[x[^xyz]]"}, Accepted{"EmptyIntersection", "[a&&b]"},
        Accepted{"EmptyOperands", "[&&a]"}, Accepted{"BracketFirst", "[]a]"}, Accepted{"NegatedBracketFirst", "[^]a]"},
        Accepted{"DashFirst", "[-a]"}, Accepted{"DashesFirst", "[--a]"}, Accepted{"DashLast", "[a-]"},
        Accepted{"AsciiClass", "[[:alpha:]]"}, Accepted{"AsciiNegated", "[[:^alpha:]]"},
        Accepted{"UnknownAsciiNameIsNestedClass", "[[:foo:]]"}, Accepted{"PropertyAndAscii", "[\\p{Greek}[:digit:]]"},
        Accepted{"Letter", "\\p{Letter}"}, Accepted{"ScriptEquals", "\\p{Script=Greek}"}, Accepted{"ScriptShort", "\\p{sc=Greek}"},
        Accepted{"ScriptColon", "\\p{sc:Greek}"}, Accepted{"ScriptNotEqual", "\\P{sc!=Greek}"}, Accepted{"OneLetter", "\\pN"},
        Accepted{"CasedLetterAmpersand", "\\p{L&}"}, Accepted{"AgeValue", "\\p{age:3.2}"},
        Accepted{"Boundaries", "\\b\\B\\<\\>\\b{start}\\b{end}\\b{start-half}\\b{end-half}"},
        Accepted{"AsciiBoundaries", "(?-u)\\b\\B\\<\\>\\b{start}\\b{end}\\b{start-half}\\b{end-half}"},
        Accepted{"AsciiClassesWithoutU", "(?-u)\\w\\d\\s[[:alpha:]]\\x7F"},
        Accepted{"CaselessAsciiWithoutU", "(?i-u)k[a-z]"}, Accepted{"NonAsciiLiteralWithoutU", "(?-u)☃\\x{FF}"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeld::regex

namespace qeld::regex {
namespace {

// Checking finds every fault compiling would.
TEST(Check, FindsWhatCompilingFinds) {
    auto faulty = Regex::check("(a|b");
    ASSERT_FALSE(faulty.ok());
    EXPECT_EQ(faulty.error(), Regex::compile("(a|b").error());
    auto too_large = Regex::check("(?:a{1000}){1000}");
    ASSERT_FALSE(too_large.ok());
    EXPECT_EQ(too_large.error(), "pattern too large: its compiled form exceeds 10 MiB");
    EXPECT_TRUE(Regex::check("^(\\d+)-(?<rest>\\w+)?$").ok());
    auto regex = Regex::compile("^(\\d+)-(?<rest>\\w+)?$");
    ASSERT_TRUE(regex.ok());
    EXPECT_TRUE(regex->is_match("12-ab"));
    EXPECT_FALSE(regex->is_match("12-a b"));
    EXPECT_TRUE(regex->is_match("3-"));
}

}  // namespace
}  // namespace qeld::regex
