#include <gtest/gtest.h>

#include "schema/load/type_rules.h"
#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::case_name;
using testing::load_body;
using testing::MessageCase;

// Schema bodies after a valid reserved table, and the message each gives.
class TypeRules : public ::testing::TestWithParam<MessageCase> {};

TEST_P(TypeRules, GiveTheirMessage) { EXPECT_EQ(body_outcome(GetParam().body), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeRules,
    ::testing::Values(
        MessageCase{"R1Empty", "[elements.x]\n", "elements.x must define type, oneof, anyof, if/then/else, or child definitions"},
        MessageCase{"R1OnlyDescription", "[elements.x]\ndescription = 'd'\n",
                    "elements.x must define type, oneof, anyof, if/then/else, or child definitions"},
        MessageCase{"R1OnlyAllof", "[elements.x]\nallof = ['string']\n",
                    "elements.x must define type, oneof, anyof, if/then/else, or child definitions"},
        MessageCase{"ImplicitTable", "[elements.x]\noptional = true\n[elements.x.a]\ntype = 'string'\n", "loaded"},
        MessageCase{"R2ChildOfInteger", "[elements.x]\ntype = 'integer'\n[elements.x.min]\ntype = 'integer'\n",
                    "elements.x can only define children when type is table or collection"},
        MessageCase{"R2ChildParsedFirst", "[elements.x]\ntype = 'integer'\n[elements.x.min]\ntype = 1\n",
                    "elements.x.min.type must be a string"},
        MessageCase{"R2ChildOfNamedReference",
                    "[types.port]\ntype = 'integer'\n[elements.x]\ntype = 'port'\n[elements.x.description]\ntype = 'string'\n",
                    "elements.x can only define children when type is table or collection"},
        MessageCase{"R3ItemtypeOnString", "[elements.x]\ntype = 'string'\nitemtype = 'string'\n",
                    "elements.x can only define itemtype when type is array or collection"},
        MessageCase{"R4ItemsAndItemtype", "[elements.x]\ntype = 'array'\nitems = ['string']\nitemtype = 'string'\n",
                    "elements.x cannot define both items and itemtype"},
        MessageCase{"R5ItemsAndLength", "[elements.x]\ntype = 'array'\nitems = ['string']\nmaxlength = 2\n",
                    "elements.x cannot define minlength or maxlength together with items"},
        MessageCase{"R6ItemsAndAllowedvalues", "[elements.x]\ntype = 'array'\nitems = ['string']\nallowedvalues = ['a']\n",
                    "elements.x cannot define allowedvalues together with items"},
        MessageCase{"R7ItemsAndMin", "[elements.x]\ntype = 'array'\nitems = ['string']\nmin = 1\n",
                    "elements.x cannot define min or max together with items"},
        MessageCase{"R7InlineMinIsUnset", "[elements.x]\ntype = 'array'\nitems = ['string']\nmin = { a = 1 }\n", "loaded"},
        MessageCase{"R8ItemsOnCollection",
                    "[elements.x]\ntype = 'collection'\nitemtype = 'string'\nitems = ['string']\n",
                    "elements.x can only define items when type is array"},
        MessageCase{"R9KeypatternOnTable", "[elements.x]\ntype = 'table'\nkeypattern = 'a'\n",
                    "elements.x can only define keypattern when type is collection"},
        MessageCase{"R10PatternOnCollection", "[elements.x]\ntype = 'collection'\nitemtype = 'string'\npattern = 'a'\n",
                    "elements.x can only define pattern when type is string"},
        MessageCase{"R11AllowedvaluesOnAny", "[elements.x]\ntype = 'any'\nallowedvalues = [1, 'a']\n", "loaded"},
        MessageCase{"R11AllowedvaluesOnTable", "[elements.x]\ntype = 'table'\nallowedvalues = [{}]\n",
                    "elements.x can only define allowedvalues for scalar, unconstrained, or array types"},
        MessageCase{"R12LengthOnInteger", "[elements.x]\ntype = 'integer'\nminlength = 1\n",
                    "elements.x can only define minlength or maxlength when type is string, array, or collection"},
        MessageCase{"R13CollectionWithoutItemtype", "[elements.x]\ntype = 'collection'\n",
                    "elements.x must define itemtype when type is collection"},
        MessageCase{"R13ItemtypeThroughAllof",
                    "[types.names]\ntype = 'collection'\nitemtype = 'string'\n"
                    "[elements.x]\ntype = 'collection'\nallof = ['names']\n",
                    "loaded"},
        MessageCase{"R14MinlengthAboveMaxlength", "[elements.x]\ntype = 'string'\nminlength = 5\nmaxlength = 3\n",
                    "elements.x minlength must not be greater than maxlength"},
        MessageCase{"R14EqualLengths", "[elements.x]\ntype = 'string'\nminlength = 3\nmaxlength = 3\n", "loaded"},
        MessageCase{"LowestRuleFirst", "[elements.x]\ntype = 'string'\nitemtype = 'string'\nkeypattern = 'a'\n",
                    "elements.x can only define itemtype when type is array or collection"}),
    case_name);

TEST(TypeRulesTest, LocalTypeIsTheKindOfTheDefinition) {
    Schema schema = load_body("[elements.t.a]\ntype = 'string'\n[elements.s]\ntype = 'string'\n"
                              "[elements.u]\nanyof = ['string', 'integer']\n");
    EXPECT_EQ(schema.elements.at("t").kind, SchemaType(SchemaType::Table));
    EXPECT_EQ(schema.elements.at("s").kind, SchemaType(SchemaType::String));
    EXPECT_FALSE(schema.elements.at("u").kind.has_value());
}

}  // namespace
}  // namespace qeld::schema
