#include <gtest/gtest.h>

#include "schema/check/selector_cycles.h"
#include "schema/model.h"
#include "schema/check/semantics_fixture.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;
using testing::selector;

struct CycleCase {
    const char* label;
    void (*build)(Schema&);
    const char* expected;
};

const CycleCase cycle_cases[] = {
    {"own type", [](Schema& s) { add_type(s, "a").type_reference = "a"; },
     "cyclic type selector reference involving types.a"},
    {"through another type, from the smaller key",
     [](Schema& s) {
         add_type(s, "a").one_of = {"b"};
         add_type(s, "b", SchemaType::Table).all_of = {"a"};
     },
     "cyclic type selector reference involving types.a"},
    {"anyof member", [](Schema& s) { add_type(s, "m").any_of = {"string", "m"}; },
     "cyclic type selector reference involving types.m"},
    {"then branch", [](Schema& s) { add_type(s, "c").conditional = selector("c", "table"); },
     "cyclic type selector reference involving types.c"},
    {"else branch", [](Schema& s) { add_type(s, "c").conditional = selector("table", "c"); },
     "cyclic type selector reference involving types.c"},
    {"first type met again on the path",
     [](Schema& s) {
         add_type(s, "a").type_reference = "b";
         add_type(s, "b").all_of = {"c"};
         add_type(s, "c").one_of = {"b"};
     },
     "cyclic type selector reference involving types.b"},
    {"itemtype, items and children are not followed",
     [](Schema& s) {
         auto& list = add_type(s, "list", SchemaType::Array);
         list.item_type = "list";
         list.items = {"list"};
         add_child(add_type(s, "tree", SchemaType::Table), "sub").type_reference = "tree";
     },
     "ok"},
    {"diamond",
     [](Schema& s) {
         add_type(s, "left").type_reference = "shared";
         add_type(s, "right").all_of = {"shared", "shared"};
         add_type(s, "shared", SchemaType::Table);
         add_type(s, "top").one_of = {"left", "right"};
     },
     "ok"},
};

TEST(SelectorCyclesTest, Table) {
    for (const auto& c : cycle_cases) {
        Schema schema;
        c.build(schema);
        EXPECT_EQ(outcome(validate_selector_cycles(schema)), c.expected) << c.label;
    }
}

TEST(SelectorCyclesTest, DoneSetKeepsEachTypeWalkedOnce) {
    Schema schema;
    add_type(schema, "a").one_of = {"c", "c"};
    add_type(schema, "b").all_of = {"c"};
    add_type(schema, "c", SchemaType::Table);
    NameSet visiting;
    NameSet done;
    ASSERT_TRUE(validate_selector_cycle(schema, "a", visiting, done).ok());
    EXPECT_TRUE(visiting.empty());
    EXPECT_EQ(done.size(), 2u);
    EXPECT_EQ(done.count("c"), 1u);
    // A name already done is not walked again, whatever its definition holds now.
    schema.types["c"].type_reference = "c";
    EXPECT_TRUE(validate_selector_cycle(schema, "c", visiting, done).ok());
}

doc::Value date(int year) { return doc::DateTime{doc::Date{static_cast<std::uint16_t>(year), 1, 1}, {}, {}}; }

struct AllowedCase {
    const char* label;
    void (*build)(Schema&);
    const char* expected;
};

const AllowedCase allowed_cases[] = {
    {"integer entries", [](Schema& s) { add_element(s, "level", SchemaType::Integer).allowed_values = {1, 2}; }, "ok"},
    {"float entry among integers",
     [](Schema& s) { add_element(s, "level", SchemaType::Integer).allowed_values = {1, 2.0}; },
     "elements.level allowedvalues[1] does not match the permitted TOML type"},
    {"integer entry for float", [](Schema& s) { add_element(s, "ratio", SchemaType::Float).allowed_values = {1}; },
     "elements.ratio allowedvalues[0] does not match the permitted TOML type"},
    {"any takes every kind",
     [](Schema& s) { add_element(s, "x", SchemaType::Any).allowed_values = {1, "a", true, date(2024)}; }, "ok"},
    {"no kind tests nothing", [](Schema& s) { add_element(s, "x").allowed_values = {1, "a"}; }, "ok"},
    {"array items of one kind",
     [](Schema& s) {
         auto& tags = add_element(s, "tags", SchemaType::Array);
         tags.item_type = "string";
         tags.allowed_values = {"a", 1};
     },
     "elements.tags allowedvalues[1] does not match the permitted TOML type"},
    {"array items of a union type",
     [](Schema& s) {
         add_type(s, "mixed").one_of = {"integer", "types.string"};
         auto& tags = add_element(s, "tags", SchemaType::Array);
         tags.item_type = "mixed";
         tags.allowed_values = {"a", 1};
     },
     "ok"},
    {"array items of a union type, other kind",
     [](Schema& s) {
         add_type(s, "mixed").one_of = {"integer", "types.string"};
         auto& tags = add_element(s, "tags", SchemaType::Array);
         tags.item_type = "mixed";
         tags.allowed_values = {"a", 1, 1.5};
     },
     "elements.tags allowedvalues[2] does not match the permitted TOML type"},
    {"array of any", [](Schema& s) {
         auto& tags = add_element(s, "tags", SchemaType::Array);
         tags.item_type = "any";
         tags.allowed_values = {"a", 1};
     }, "ok"},
    {"array without itemtype",
     [](Schema& s) { add_element(s, "tags", SchemaType::Array).allowed_values = {"a", 1}; }, "ok"},
    {"local date", [](Schema& s) { add_element(s, "day", SchemaType::LocalDate).allowed_values = {date(2024), "x"}; },
     "elements.day allowedvalues[1] does not match the permitted TOML type"},
    {"child reported with its own name",
     [](Schema& s) {
         auto& a = add_element(s, "a", SchemaType::Table);
         add_child(a, "b", SchemaType::String).allowed_values = {false};
         add_element(s, "z", SchemaType::String).allowed_values = {1};
     },
     "elements.a.b allowedvalues[0] does not match the permitted TOML type"},
    {"reusable type first",
     [](Schema& s) {
         add_element(s, "a", SchemaType::String).allowed_values = {1};
         add_type(s, "z", SchemaType::Boolean).allowed_values = {true, "no"};
     },
     "types.z allowedvalues[1] does not match the permitted TOML type"},
};

TEST(AllowedValueTypesTest, Table) {
    for (const auto& c : allowed_cases) {
        Schema schema;
        c.build(schema);
        EXPECT_EQ(outcome(validate_allowed_value_types(schema)), c.expected) << c.label;
    }
}

}  // namespace
}  // namespace qeld::schema
