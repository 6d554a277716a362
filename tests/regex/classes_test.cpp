// Code point sets: the set operations of bracketed classes, case folding, and the generated tables.
#include <gtest/gtest.h>

#include "regex/classes.h"
#include "regex/loose_name.h"
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

}  // namespace
}  // namespace qeld::regex
