#include <gtest/gtest.h>

#include "schema/check/definition_semantics.h"
#include "schema/model.h"
#include "schema/check/semantics_fixture.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;
using testing::selector;

// Reusable types the cases below draw on.
void common_types(Schema& s) {
    add_type(s, "list", SchemaType::Array).item_type = "string";
    add_type(s, "grid", SchemaType::Table);
    add_child(s.types["grid"], "g", SchemaType::String);
    add_type(s, "bag", SchemaType::Collection).item_type = "integer";
    // A collection without an item type, which passes only because nothing selects it for a look.
    add_type(s, "loose").one_of = {"collection"};
    add_child(s.types["loose"], "l", SchemaType::String);
    s.types["loose"].key_pattern = Pattern::compile("^k").value();
}

struct Case {
    const char* label;
    void (*build)(Schema&);
    const char* expected;
};

const Case cases[] = {
    {"uniqueitems false on a string",
     [](Schema& s) { add_element(s, "x", SchemaType::String).unique_items = false; },
     "elements.x can only define uniqueitems when its effective type is array"},
    {"uniqueitems on an array type", [](Schema& s) { add_element(s, "x").type_reference = "list"; s.elements["x"].unique_items = true; },
     "ok"},
    {"uniqueitems on an array type with allof",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Array);
         x.all_of = {"list"};
         x.unique_items = true;
     },
     "ok"},
    {"uniqueitems on a table type",
     [](Schema& s) {
         auto& x = add_element(s, "x");
         x.type_reference = "types.grid";
         x.unique_items = true;
     },
     "elements.x can only define uniqueitems when its effective type is array"},
    {"collection with its own itemtype",
     [](Schema& s) { add_element(s, "x", SchemaType::Collection).item_type = "string"; }, "ok"},
    {"collection with itemtype through allof",
     [](Schema& s) { add_element(s, "x", SchemaType::Collection).all_of = {"bag"}; }, "ok"},
    {"collection with itemtype through a conditional",
     [](Schema& s) { add_element(s, "x").conditional = selector("loose", "bag"); }, "ok"},
    {"collection without itemtype",
     [](Schema& s) { add_element(s, "x", SchemaType::Collection).all_of = {"loose", "collection"}; },
     "elements.x effective collection must define at least one itemtype"},
    {"sibling rules on an integer",
     [](Schema& s) { add_element(s, "x", SchemaType::Integer).exactly_one = {{"a"}}; },
     "elements.x can only define sibling rules when its effective type is table or collection"},
    {"sibling rules on an array type",
     [](Schema& s) {
         auto& x = add_element(s, "x");
         x.type_reference = "list";
         x.dependent_required["a"] = {};
     },
     "elements.x can only define sibling rules when its effective type is table or collection"},
    {"only a named type: not examined itself",
     [](Schema& s) {
         add_type(s, "mixed").one_of = {"integer", "string"};
         add_element(s, "x").type_reference = "mixed";
     },
     "ok"},
    {"sibling rules on an array type with allof",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Array);
         x.all_of = {"list"};
         x.mutually_exclusive = {{"a"}};
     },
     "elements.x can only define sibling rules when its effective type is table or collection"},
    {"unknown mutuallyexclusive name",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Table);
         add_child(x, "a", SchemaType::String);
         add_child(x, "b", SchemaType::String);
         x.mutually_exclusive = {{"a", "b"}, {"a", "c"}};
     },
     "elements.x mutuallyexclusive references unknown fixed child c"},
    {"unknown exactlyone name",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Table);
         add_child(x, "a", SchemaType::String);
         x.exactly_one = {{"a", "d"}};
         x.mutually_exclusive = {{"a"}};
     },
     "elements.x exactlyone references unknown fixed child d"},
    {"dependentrequired trigger before its required names",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Table);
         x.dependent_required["a"] = {"b"};
     },
     "elements.x dependentrequired references unknown fixed child a"},
    {"dependentrequired required name, then keys in order",
     [](Schema& s) {
         auto& x = add_element(s, "x", SchemaType::Table);
         add_child(x, "a", SchemaType::String);
         x.dependent_required["z"] = {"y"};
         x.dependent_required["a"] = {"a", "b"};
         x.mutually_exclusive = {{"c"}};
     },
     "elements.x dependentrequired references unknown fixed child b"},
    {"fixed children through allof, alternatives and branches",
     [](Schema& s) {
         add_type(s, "inner", SchemaType::Table);
         add_child(s.types["inner"], "i", SchemaType::String);
         add_type(s, "outer").type_reference = "types.inner";
         auto& x = add_element(s, "x", SchemaType::Table);
         x.all_of = {"grid", "outer", "grid"};
         x.exactly_one = {{"g", "i"}};
         auto& y = add_element(s, "y");
         y.conditional = selector("grid", "table");
         y.mutually_exclusive = {{"g"}};
     },
     "ok"},
    {"keypattern admits no fixed child",
     [](Schema& s) {
         auto& x = add_element(s, "x");
         x.type_reference = "loose";
         x.all_of = {"bag"};
         x.mutually_exclusive = {{"l", "k1"}};
     },
     "elements.x mutuallyexclusive references unknown fixed child k1"},
    {"only oneof, mixed kinds: not examined",
     [](Schema& s) { add_element(s, "x").one_of = {"integer", "string"}; }, "ok"},
    {"oneof with mixed kinds and an allof",
     [](Schema& s) {
         auto& x = add_element(s, "x");
         x.one_of = {"integer", "string"};
         x.all_of = {"integer"};
     },
     "elements.x alternatives do not have one compatible effective type"},
    {"reusable type before element",
     [](Schema& s) {
         add_element(s, "a", SchemaType::String).unique_items = true;
         add_type(s, "zz", SchemaType::Integer).unique_items = true;
     },
     "types.zz can only define uniqueitems when its effective type is array"},
    {"smallest element key first",
     [](Schema& s) {
         add_element(s, "b", SchemaType::String).unique_items = true;
         add_element(s, "a", SchemaType::Integer).unique_items = true;
     },
     "elements.a can only define uniqueitems when its effective type is array"},
    {"parent before child, child of an unexamined parent",
     [](Schema& s) {
         auto& a = add_element(s, "a", SchemaType::Table);
         add_child(a, "b", SchemaType::Integer).unique_items = true;
         auto& b = add_element(s, "b");
         b.type_reference = "grid";
         add_child(b, "c", SchemaType::Collection);
     },
     "elements.a.b can only define uniqueitems when its effective type is array"},
};

TEST(DefinitionSemanticsTest, Table) {
    for (const auto& c : cases) {
        Schema schema;
        common_types(schema);
        c.build(schema);
        EXPECT_EQ(outcome(validate_definition_semantics(schema)), c.expected) << c.label;
    }
}

TEST(DefinitionSemanticsTest, ChildOfUnexaminedParentIsExamined) {
    Schema schema;
    common_types(schema);
    auto& b = add_element(schema, "b");
    b.type_reference = "grid";
    add_child(b, "c", SchemaType::Collection);
    EXPECT_EQ(outcome(validate_definition_semantics(schema)),
              "elements.b.c effective collection must define at least one itemtype");
}

TEST(CollectChildNamesTest, GathersThroughEveryReferenceWithoutLooping) {
    Schema schema;
    common_types(schema);
    add_type(schema, "tree", SchemaType::Table);
    add_child(schema.types["tree"], "t", SchemaType::Table);
    schema.types["tree"].all_of = {"grid", "tree"};
    Definition x;
    x.name = "elements.x";
    add_child(x, "own");
    x.one_of = {"loose"};
    x.any_of = {"types.grid"};
    NameSet visiting;
    NameSet names;
    ASSERT_TRUE(collect_effective_child_names(schema, x, visiting, names).ok());
    EXPECT_EQ(names, (NameSet{"own", "l", "g"}));
    EXPECT_TRUE(visiting.empty());

    EXPECT_EQ(outcome(collect_reference_child_names(schema, "types.tree", visiting, names)),
              "cyclic type reference: tree");
    NameSet fresh;
    EXPECT_EQ(outcome(collect_reference_child_names(schema, "types.none", fresh, names)),
              "unknown type reference: types.none");
}

}  // namespace
}  // namespace qeld::schema
