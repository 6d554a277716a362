#include <gtest/gtest.h>

#include <string>

#include "document/parse.h"
#include "schema/load/definition_parser.h"
#include "schema/model.h"
#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::case_name;
using testing::load_body;
using testing::MessageCase;

// Schema bodies after a valid reserved table, and the message each gives.
class DefinitionParser : public ::testing::TestWithParam<MessageCase> {};

TEST_P(DefinitionParser, GivesItsMessage) { EXPECT_EQ(body_outcome(GetParam().body), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Entries, DefinitionParser,
    ::testing::Values(
        MessageCase{"TypesKeywordKey", "[types.string]\ntype = 'integer'\n[elements]\n",
                    "[types.string] uses a reserved built-in type name"},
        MessageCase{"TypesKeywordKeyBeforeItsForm", "[types]\nstring = 5\n[elements]\n",
                    "[types.string] uses a reserved built-in type name"},
        MessageCase{"TypesPrefixedKey", "[types.\"types.port\"]\ntype = 'integer'\n[elements]\n",
                    "[types.types.port] uses the reserved type-reference prefix"},
        MessageCase{"TypesPrefixAlone", "[types.\"types.\"]\ntype = 'integer'\n[elements]\n",
                    "[types.types.] uses the reserved type-reference prefix"},
        MessageCase{"ElementsMayUseThoseKeys",
                    "[elements.string]\ntype = 'string'\n[elements.\"types.port\"]\ntype = 'string'\n", "loaded"},
        MessageCase{"TypesEntryNotATable", "[types]\nport = 5\n[elements]\n", "[types] entry must be a table: port"},
        MessageCase{"ElementsEntryNotATable", "[elements]\nport = 5\n", "[elements] entry must be a table: port"},
        MessageCase{"FirstFaultyEntryByKey", "[elements.b]\nfoo = 1\n[elements.a]\nbar = 1\n",
                    "elements.a contains unsupported property: bar"},
        MessageCase{"QuotedKeyWithDotEntersRaw", "[elements.\"a.b\"]\nfoo = 1\n",
                    "elements.a.b contains unsupported property: foo"},
        MessageCase{"ChildPathJoinsRawKeys", "[elements.a.\"b c\"]\nfoo = 1\n",
                    "elements.a.b c contains unsupported property: foo"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Properties, DefinitionParser,
    ::testing::Values(
        MessageCase{"TypeNotAString", "[elements.x]\ntype = 1\n", "elements.x.type must be a string"},
        MessageCase{"NamedReferenceCannotDefine", "[elements.x]\ntype = 'types.string'\npattern = '('\n",
                    "elements.x named type reference cannot define pattern"},
        MessageCase{"NamedReferenceChildBeforeItIsParsed",
                    "[types.port]\ntype = 'integer'\n[elements.x]\ntype = 'port'\n[elements.x.sub]\nfoo = 1\n",
                    "elements.x named type reference cannot define sub"},
        MessageCase{"DescriptionNotAString", "[elements.x]\ntype = 'port'\ndescription = 1\n",
                    "elements.x.description must be a string"},
        MessageCase{"ItemtypeNotAString", "[elements.x]\ntype = 'array'\nitemtype = ['string']\n",
                    "elements.x.itemtype must be a string"},
        MessageCase{"ItemsEmptyBeforePattern", "[elements.x]\ntype = 'array'\nitems = []\npattern = '('\n",
                    "elements.x items must contain at least one type reference"},
        MessageCase{"OptionalNotABoolean", "[elements.x]\ntype = 'string'\noptional = 'yes'\n",
                    "elements.x.optional must be a boolean"},
        MessageCase{"AllowedvaluesEmpty", "[elements.x]\ntype = 'string'\nallowedvalues = []\n",
                    "elements.x allowedvalues must contain at least one entry"},
        MessageCase{"IfWithoutThen", "[elements.x]\nif = { key = 'k', equals = 1 }\nelse = 'b'\n",
                    "elements.x must define if, then, and else together"},
        MessageCase{"ThenAndElseWithoutIf", "[elements.x]\ntype = 'string'\nthen = 'a'\nelse = 'b'\n",
                    "elements.x must define if, then, and else together"},
        MessageCase{"InlineThenCountsAsAbsent",
                    "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = { a = 1 }\nelse = 'b'\n",
                    "elements.x must define if, then, and else together"},
        MessageCase{"SectionIfIsAChild", "[elements.x]\nthen = 'a'\nelse = 'b'\n[elements.x.if]\ntype = 'string'\n",
                    "elements.x must define if, then, and else together"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    References, DefinitionParser,
    ::testing::Values(
        MessageCase{"OneofEmpty", "[elements.x]\noneof = []\n", "elements.x oneof must contain at least one type reference"},
        MessageCase{"OneofEmptyAfterEveryReader", "[elements.x]\noneof = []\ndeprecated = 'yes'\n",
                    "elements.x.deprecated must be a boolean"},
        MessageCase{"AnyofEmpty", "[elements.x]\nanyof = []\n", "elements.x anyof must contain at least one type reference"},
        MessageCase{"AllofEmpty", "[elements.x]\ntype = 'string'\nallof = []\n",
                    "elements.x allof must contain at least one type reference"},
        MessageCase{"ItemtypeCollection", "[elements.x]\ntype = 'array'\nitemtype = 'collection'\nitems = ['collection']\n",
                    "elements.x cannot use collection as a bare itemtype reference"},
        MessageCase{"ItemsPrefixedCollection", "[elements.x]\ntype = 'array'\nitems = ['string', 'types.collection']\n",
                    "elements.x cannot use collection as a bare items reference"},
        MessageCase{"OneofCollection", "[elements.x]\noneof = ['collection']\n",
                    "elements.x cannot use collection as a bare oneof reference"},
        MessageCase{"OneofAny", "[elements.x]\noneof = ['string', 'any']\n", "elements.x cannot use any directly in oneof"},
        MessageCase{"AnyofPrefixedAny", "[elements.x]\nanyof = ['types.any']\n",
                    "elements.x cannot use any directly in anyof"},
        MessageCase{"AllofPrefixedAny", "[elements.x]\ntype = 'string'\nallof = ['types.any']\n",
                    "elements.x cannot use any directly in allof"},
        MessageCase{"AllofCollection", "[elements.x]\ntype = 'table'\nallof = ['collection']\n",
                    "elements.x cannot use collection directly in allof"},
        MessageCase{"TypePrefixedCollection", "[elements.x]\ntype = 'types.collection'\n",
                    "elements.x cannot use collection as a bare type reference"},
        MessageCase{"TypeAndOneof", "[elements.x]\ntype = 'integer'\noneof = ['string']\n",
                    "elements.x cannot define more than one of type, oneof, anyof, and if/then/else"},
        MessageCase{"OneofAndConditional",
                    "[elements.x]\noneof = ['a']\nif = { key = 'k', equals = 1 }\nthen = 'a'\nelse = 'b'\n",
                    "elements.x cannot define more than one of type, oneof, anyof, and if/then/else"},
        MessageCase{"InlineOneofDoesNotCount", "[elements.x]\ntype = 'integer'\noneof = { a = 1 }\n", "loaded"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    KeysAndChildren, DefinitionParser,
    ::testing::Values(
        MessageCase{"UnsupportedProperty", "[elements.x]\ntype = 'string'\nType = 'string'\n",
                    "elements.x contains unsupported property: Type"},
        MessageCase{"ChildFaultSortingFirst", "[elements.x]\ntype = 'table'\nz = 1\n[elements.x.a]\nfoo = 1\n",
                    "elements.x.a contains unsupported property: foo"},
        MessageCase{"UnsupportedKeySortingFirst", "[elements.x]\ntype = 'table'\na = 1\n[elements.x.b]\nfoo = 1\n",
                    "elements.x contains unsupported property: a"},
        MessageCase{"GrandchildFault", "[elements.x.y.z]\nfoo = 1\n", "elements.x.y.z contains unsupported property: foo"},
        MessageCase{"UnionCannotDefine", "[elements.x]\noneof = ['string']\npattern = 'a'\n",
                    "elements.x union cannot define pattern"},
        MessageCase{"UnionChildParsedFirst", "[elements.x]\noneof = ['string']\n[elements.x.sub]\nfoo = 1\n",
                    "elements.x.sub contains unsupported property: foo"},
        MessageCase{"UnionCannotDefineChild", "[elements.x]\nanyof = ['string']\n[elements.x.sub]\ntype = 'string'\n",
                    "elements.x union cannot define sub"},
        MessageCase{"ConditionalCannotDefine",
                    "[elements.x]\nif = { key = 'k', equals = 1 }\nthen = 'a'\nelse = 'b'\nitems = ['string']\n",
                    "elements.x conditional cannot define items"}),
    case_name);

TEST(DefinitionParserTest, NamedReferenceKeepsTheReferenceWithoutItsPrefix) {
    Schema schema = load_body("[elements.x]\ntype = 'types.string'\ndescription = 'd'\noptional = true\n");
    const Definition& x = schema.elements.at("x");
    EXPECT_EQ(x.name, "elements.x");
    EXPECT_FALSE(x.kind.has_value());
    EXPECT_EQ(x.type_reference, "string");
    EXPECT_EQ(x.description, "d");
    EXPECT_TRUE(x.optional);
}

TEST(DefinitionParserTest, SectionTableUnderAPropertyKeyIsAChild) {
    Schema schema = load_body("[elements.server.default]\ntype = 'string'\n");
    const Definition& server = schema.elements.at("server");
    ASSERT_TRUE(server.kind.has_value());
    EXPECT_EQ(*server.kind, SchemaType::Table);
    EXPECT_FALSE(server.default_value.has_value());
    ASSERT_EQ(server.children.size(), 1u);
    EXPECT_EQ(server.children.at("default").name, "elements.server.default");
    EXPECT_EQ(*server.children.at("default").kind, SchemaType::String);
}

TEST(DefinitionParserTest, InlineDefaultIsTheValueAndNoChild) {
    Schema schema = load_body("[elements.server]\ntype = 'table'\ndefault = { port = 80 }\n"
                              "[elements.server.port]\ntype = 'integer'\n");
    const Definition& server = schema.elements.at("server");
    ASSERT_TRUE(server.default_value.has_value());
    ASSERT_TRUE(server.default_value->is_table());
    EXPECT_EQ(server.default_value->as_table().find("port")->as_integer(), 80);
    ASSERT_EQ(server.children.size(), 1u);
    EXPECT_TRUE(server.children.contains("port"));
}

TEST(DefinitionParserTest, InlineTablesUnderOtherPropertiesAreIgnored) {
    Schema schema = load_body("[elements.x]\ntype = 'integer'\nmin = { value = 1 }\nuniqueitems = {}\n");
    const Definition& x = schema.elements.at("x");
    EXPECT_FALSE(x.min.has_value());
    EXPECT_FALSE(x.unique_items.has_value());
    EXPECT_TRUE(x.children.empty());
}

TEST(DefinitionParserTest, StoresEveryReferenceWithoutOnePrefix) {
    Schema schema = load_body(
        "[types.port]\ntype = 'integer'\n"
        "[elements.c]\ntype = 'collection'\nitemtype = 'types.port'\n"
        "[elements.a]\ntype = 'array'\nitems = ['types.port', 'string']\n"
        "[elements.u]\noneof = ['types.port', 'integer']\nallof = ['types.port']\n");
    EXPECT_EQ(*schema.elements.at("c").kind, SchemaType::Collection);
    EXPECT_EQ(schema.elements.at("c").item_type, "port");
    EXPECT_EQ(schema.elements.at("a").items, (std::vector<std::string>{"port", "string"}));
    EXPECT_EQ(schema.elements.at("u").one_of, (std::vector<std::string>{"port", "integer"}));
    EXPECT_EQ(schema.elements.at("u").all_of, (std::vector<std::string>{"port"}));
    EXPECT_FALSE(schema.elements.at("u").kind.has_value());
}

TEST(DefinitionParserTest, KeepsConstraintsAndFlags) {
    Schema schema = load_body("[elements.x]\ntype = 'integer'\nmin = 1\nmax = 10\nallowedvalues = [1, 5]\n"
                              "deprecated = true\n[elements.s]\ntype = 'string'\npattern = '^a'\nminlength = 1\n");
    const Definition& x = schema.elements.at("x");
    EXPECT_EQ(x.min->as_integer(), 1);
    EXPECT_EQ(x.max->as_integer(), 10);
    EXPECT_EQ(x.allowed_values.size(), 2u);
    EXPECT_TRUE(x.deprecated);
    EXPECT_FALSE(x.optional);
    const Definition& s = schema.elements.at("s");
    ASSERT_TRUE(s.pattern.has_value());
    EXPECT_EQ(s.pattern->source(), "^a");
    EXPECT_EQ(s.min_length, 1);
    EXPECT_FALSE(s.max_length.has_value());
}

TEST(DefinitionParserTest, RemovesOnlyOnePrefix) {
    // Parsed alone: the references name no reusable type, which only the checks after parsing see.
    auto root = doc::parse("type = 'collection'\nitemtype = 'types.types.x'\nallof = ['types.types.y']\n");
    ASSERT_TRUE(root.ok());
    SourceSyntax syntax;
    KeyPath path = {"elements", "x"};
    auto x = parse_definition("elements.x", *root, SyntaxContext(syntax, path));
    ASSERT_TRUE(x.ok()) << x.error();
    EXPECT_EQ(x->item_type, "types.x");
    EXPECT_EQ(x->all_of, (std::vector<std::string>{"types.y"}));
}

TEST(ReferenceRulesTest, AcceptEveryOtherName) {
    EXPECT_TRUE(reject_bare_collection_reference("p", "itemtype", std::nullopt).ok());
    EXPECT_TRUE(reject_bare_collection_reference("p", "itemtype", std::string("any")).ok());
    EXPECT_TRUE(reject_bare_collection_references("p", {"any", "types.string", "collections"}).ok());
    EXPECT_TRUE(validate_alternative_references("p", "oneof", {"string", "anyx"}).ok());
    EXPECT_TRUE(validate_composition_references("p", {"string", "types.port", "types.types.any"}).ok());
}

}  // namespace
}  // namespace qeld::schema
