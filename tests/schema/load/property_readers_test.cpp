#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "document/parse.h"
#include "schema/load/property_readers.h"
#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::case_name;
using testing::MessageCase;

// Schema bodies after a valid reserved table, and the message each gives.
class PropertyReaders : public ::testing::TestWithParam<MessageCase> {};

TEST_P(PropertyReaders, GiveTheirMessage) { EXPECT_EQ(body_outcome(GetParam().body), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Scalars, PropertyReaders,
    ::testing::Values(
        MessageCase{"BoolFromInteger", "[elements.x]\ntype = 'array'\nuniqueitems = 1\n",
                    "elements.x.uniqueitems must be a boolean"},
        MessageCase{"BoolFromArray", "[elements.x]\ntype = 'string'\ndeprecated = [true]\n",
                    "elements.x.deprecated must be a boolean"},
        MessageCase{"PatternNotAString", "[elements.x]\ntype = 'string'\npattern = 5\n",
                    "elements.x.pattern must be a string"},
        MessageCase{"PatternInvalid", "[elements.x]\ntype = 'string'\npattern = '('\n",
                    "elements.x has invalid pattern: unclosed group at offset 0"},
        MessageCase{"PatternInvalidQuotesTheTextAsWritten", "[elements.x]\ntype = 'string'\npattern = '(\\d'\n",
                    "elements.x has invalid pattern: unclosed group at offset 0"},
        MessageCase{"LookAroundRefused", "[elements.x]\ntype = 'collection'\nitemtype = 'string'\nkeypattern = '(?=a)'\n",
                    "elements.x has invalid keypattern: look-around is not supported at offset 0"},
        MessageCase{"BackReferenceRefused", "[elements.x]\ntype = 'string'\npattern = '(a)\\1'\n",
                    "elements.x has invalid pattern: backreferences are not supported at offset 3"},
        MessageCase{"PatternBeforeKeypattern", "[elements.x]\ntype = 'string'\nkeypattern = '('\npattern = 1\n",
                    "elements.x.pattern must be a string"},
        MessageCase{"LengthNegative", "[elements.x]\ntype = 'string'\nminlength = -1\n",
                    "elements.x.minlength must be non-negative"},
        MessageCase{"LengthFloat", "[elements.x]\ntype = 'string'\nminlength = 3.0\n",
                    "elements.x.minlength must be an integer"},
        MessageCase{"LengthString", "[elements.x]\ntype = 'string'\nmaxlength = '3'\n",
                    "elements.x.maxlength must be an integer"},
        MessageCase{"LengthZero", "[elements.x]\ntype = 'string'\nminlength = 0\nmaxlength = 0\n", "loaded"},
        MessageCase{"EmptyPattern", "[elements.x]\ntype = 'string'\npattern = ''\n", "loaded"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Lists, PropertyReaders,
    ::testing::Values(
        MessageCase{"StringListNotAnArray", "[elements.x]\noneof = 'string'\n", "elements.x.oneof must be an array"},
        MessageCase{"StringListWithInteger", "[elements.x]\noneof = ['string', 1]\n",
                    "elements.x.oneof must contain only strings"},
        MessageCase{"ItemsNotAnArray", "[elements.x]\ntype = 'array'\nitems = 'string'\n",
                    "elements.x.items must be an array"},
        MessageCase{"AllofWithTable", "[elements.x]\ntype = 'string'\nallof = [{ a = 1 }]\n",
                    "elements.x.allof must contain only strings"},
        MessageCase{"AllowedvaluesNotAnArray", "[elements.x]\ntype = 'integer'\nallowedvalues = 1\n",
                    "elements.x.allowedvalues must be an array"},
        MessageCase{"GroupsNotAnArray", "[elements.x]\nmutuallyexclusive = 'a'\n",
                    "elements.x.mutuallyexclusive must be an array of child-name groups"},
        MessageCase{"GroupsEmpty", "[elements.x]\nmutuallyexclusive = []\n",
                    "elements.x.mutuallyexclusive must contain at least one group"},
        MessageCase{"GroupOfOneName", "[elements.x]\nexactlyone = [['a']]\n",
                    "elements.x.exactlyone[0] must contain at least two child names"},
        MessageCase{"GroupCountBeforeKinds", "[elements.x]\nexactlyone = [[1]]\n",
                    "elements.x.exactlyone[0] must contain at least two child names"},
        MessageCase{"GroupNotAnArray", "[elements.x]\nmutuallyexclusive = [['a', 'b'], 'c']\n",
                    "elements.x.mutuallyexclusive[1] must be an array"},
        MessageCase{"GroupWithInteger", "[elements.x]\nmutuallyexclusive = [['a', 1]]\n",
                    "elements.x.mutuallyexclusive[0] must contain only strings"},
        MessageCase{"GroupDuplicate", "[elements.x]\nmutuallyexclusive = [['a', 'b'], ['c', 'c']]\n",
                    "elements.x.mutuallyexclusive[1] contains duplicate child c"},
        MessageCase{"MutuallyexclusiveBeforeExactlyone",
                    "[elements.x]\nexactlyone = []\nmutuallyexclusive = [['a']]\n",
                    "elements.x.mutuallyexclusive[0] must contain at least two child names"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    DependentRequired, PropertyReaders,
    ::testing::Values(
        MessageCase{"NotATable", "[elements.x]\ndependentrequired = ['a']\n",
                    "elements.x.dependentrequired must be an inline table"},
        MessageCase{"Empty", "[elements.x]\ndependentrequired = {}\n",
                    "elements.x.dependentrequired must contain at least one mapping"},
        MessageCase{"EntriesInKeyOrder", "[elements.x]\ndependentrequired = { b = [1], a = [] }\n",
                    "elements.x.dependentrequired.a must not be empty"},
        MessageCase{"EntryNotAnArray", "[elements.x]\ndependentrequired = { a = 'b' }\n",
                    "elements.x.dependentrequired.a must be an array of child names"},
        MessageCase{"EntryWithInteger", "[elements.x]\ndependentrequired = { a = ['b', 1, 'b'] }\n",
                    "elements.x.dependentrequired.a must contain only strings"},
        MessageCase{"EntryDuplicate", "[elements.x]\ndependentrequired = { a = ['b', 'b'] }\n",
                    "elements.x.dependentrequired.a contains duplicate child b"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Conditional, PropertyReaders,
    ::testing::Values(
        MessageCase{"IfNotATable", "[elements.x]\nif = 'k'\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if must be an inline table"},
        MessageCase{"IfStrayKeyBeforeMissingKey", "[elements.x]\nif = { equals = 1, zeta = 1 }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if contains unsupported property: zeta"},
        MessageCase{"IfKeyNotAString", "[elements.x]\nif = { key = 1, equals = 1 }\nthen = 1\nelse = 'b'\n",
                    "elements.x.if.key must be a string"},
        MessageCase{"IfKeyMissing", "[elements.x]\nif = { equals = 1 }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if.key must be a string"},
        MessageCase{"IfWithoutTest", "[elements.x]\nif = { key = 'k' }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if must define exactly one of equals and in"},
        MessageCase{"IfWithBothTests", "[elements.x]\nif = { key = 'k', equals = 1, in = [1] }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if must define exactly one of equals and in"},
        MessageCase{"InEmpty", "[elements.x]\nif = { key = 'k', in = [] }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if.in must be a non-empty array"},
        MessageCase{"InNotAnArray", "[elements.x]\nif = { key = 'k', in = 'a' }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x.if.in must be a non-empty array"},
        MessageCase{"ThenNotAString", "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = 1\nelse = 1\n",
                    "elements.x.then must be a string"},
        MessageCase{"ThenBuiltIn", "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = 'types.string'\nelse = 'b'\n",
                    "elements.x.then must be a named reusable type reference"},
        MessageCase{"ThenPrefixAlone", "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = 'types.'\nelse = 'b'\n",
                    "elements.x.then must be a named reusable type reference"},
        MessageCase{"ElseEmpty", "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = 'a'\nelse = ''\n",
                    "elements.x.else must be a named reusable type reference"}),
    case_name);

// The table elements.x of a text, with the syntax facts of the text.
struct Parsed {
    doc::Table root;
    SourceSyntax syntax;
    KeyPath path = {"elements", "x"};

    explicit Parsed(std::string_view text) {
        std::vector<KeyPath> inline_tables;
        auto parsed = doc::parse(text, &inline_tables);
        EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error());
        if (parsed.ok()) root = std::move(parsed).value();
        syntax = SourceSyntax(inline_tables);
    }
    const doc::Table& table() const { return root.find("elements")->as_table().find("x")->as_table(); }
    SyntaxContext context() const { return SyntaxContext(syntax, path); }
};

TEST(PropertyReadersTest, BoolsKeepFalseApartFromAbsent) {
    Parsed p("[elements.x]\nuniqueitems = false\nother = {}\n");
    EXPECT_EQ(*get_bool("elements.x", p.table(), "uniqueitems"), std::optional<bool>(false));
    EXPECT_EQ(*get_bool("elements.x", p.table(), "deprecated"), std::nullopt);
    EXPECT_EQ(*get_bool("elements.x", p.table(), "other"), std::nullopt);
}

TEST(PropertyReadersTest, ListsKeepArrayOrderAndEveryEntry) {
    Parsed p("[elements.x]\noneof = ['b', 'a', 'b', '']\nallowedvalues = [1, 'a', [2], { c = 3 }]\n"
             "exactlyone = [['a', 'b'], ['a', 'c']]\n");
    EXPECT_EQ(*get_string_array_values("elements.x", p.table(), "oneof"),
              (std::vector<std::string>{"b", "a", "b", ""}));
    auto values = get_array_values("elements.x", p.table(), "allowedvalues");
    ASSERT_TRUE(values.ok());
    ASSERT_EQ(values->size(), 4u);
    EXPECT_EQ((*values)[0].as_integer(), 1);
    EXPECT_EQ((*values)[1].as_string(), "a");
    EXPECT_TRUE((*values)[2].is_array());
    EXPECT_TRUE((*values)[3].is_table());
    EXPECT_EQ(*get_name_groups("elements.x", p.table(), "exactlyone"),
              (NameGroups{{"a", "b"}, {"a", "c"}}));
    EXPECT_TRUE(get_name_groups("elements.x", p.table(), "mutuallyexclusive")->empty());
}

TEST(PropertyReadersTest, DependentRequiredFromAnInlineTableOnly) {
    Parsed inline_table("[elements.x]\ndependentrequired = { b = ['a'], a = ['a', 'c'] }\n");
    auto mapping = get_dependent_required("elements.x", inline_table.table(), inline_table.context());
    ASSERT_TRUE(mapping.ok()) << mapping.error();
    EXPECT_EQ(*mapping, (DependentRequired{{"a", {"a", "c"}}, {"b", {"a"}}}));

    Parsed section("[elements.x.dependentrequired]\ntype = 'string'\n");
    mapping = get_dependent_required("elements.x", section.table(), section.context());
    ASSERT_TRUE(mapping.ok()) << mapping.error();
    EXPECT_TRUE(mapping->empty());
}

TEST(PropertyReadersTest, ConditionalSelectorKeepsKeyTestAndBranches) {
    Parsed equals("[elements.x]\nif = { key = '', equals = [1, 2] }\nthen = 'types.tls'\nelse = 'types.types.tls'\n");
    auto selector = parse_conditional_selector("elements.x", equals.table());
    ASSERT_TRUE(selector.ok()) << selector.error();
    EXPECT_EQ(selector->key, "");
    ASSERT_TRUE(std::holds_alternative<ConditionPredicate::Equals>(selector->predicate.form));
    EXPECT_TRUE(std::get<ConditionPredicate::Equals>(selector->predicate.form).value.is_array());
    EXPECT_EQ(selector->then_type, "tls");
    EXPECT_EQ(selector->else_type, "types.tls");

    Parsed in("[elements.x]\nif = { key = 'mode', in = ['a', 1] }\nthen = 'a'\nelse = 'b'\n");
    selector = parse_conditional_selector("elements.x", in.table());
    ASSERT_TRUE(selector.ok()) << selector.error();
    ASSERT_TRUE(std::holds_alternative<ConditionPredicate::In>(selector->predicate.form));
    EXPECT_EQ(std::get<ConditionPredicate::In>(selector->predicate.form).values.size(), 2u);
}

TEST(PropertyReadersTest, PatternKeepsItsSourceAndMatchesAnywhere) {
    Parsed p("[elements.x]\npattern = 'b'\nkeypattern = ''\n");
    auto pattern = get_pattern_key("elements.x", p.table(), "pattern");
    ASSERT_TRUE(pattern.ok() && pattern->has_value());
    EXPECT_EQ((*pattern)->source(), "b");
    EXPECT_TRUE((*pattern)->search("abc"));
    auto empty = get_pattern_key("elements.x", p.table(), "keypattern");
    ASSERT_TRUE(empty.ok() && empty->has_value());
    EXPECT_TRUE((*empty)->search("anything"));
}

}  // namespace
}  // namespace qeld::schema
