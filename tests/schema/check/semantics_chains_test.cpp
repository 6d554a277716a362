// Long chains of reusable types: every walk over references must finish, and must not exhaust
// the stack, however many types a chain runs through.
#include <gtest/gtest.h>

#include <cstdio>

#include "schema/check/checks.h"
#include "schema/check/defaults.h"
#include "schema/check/definition_semantics.h"
#include "schema/check/references.h"
#include "schema/check/selector_cycles.h"
#include "schema/check/semantics_fixture.h"
#include "schema/model.h"
#include "schema/walk/kinds.h"
#include "support/small_stack.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;

std::string link(int i) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "t%05d", i);
    return buffer;
}

enum class Via { TypeReference, AllOf, OneOf, Conditional };

// t00000 refers to t00001 and so on; the last is a table with a child and a default that it accepts. Through
// oneof and the conditional each type names the next one twice, a diamond at every step.
Schema chain(int length, Via via) {
    Schema schema;
    for (int i = 0; i + 1 < length; ++i) {
        auto& t = add_type(schema, link(i), via == Via::AllOf ? std::optional(SchemaType::Table) : std::nullopt);
        std::string next = link(i + 1);
        switch (via) {
            case Via::TypeReference: t.type_reference = next; break;
            case Via::AllOf: t.all_of = {next}; break;
            case Via::OneOf: t.one_of = {next, next}; break;
            case Via::Conditional: t.conditional = testing::selector(next, next); break;
        }
    }
    auto& last = add_type(schema, link(length - 1), SchemaType::Table);
    add_child(last, "deep", SchemaType::Integer);
    doc::Table default_value;
    default_value.set("deep", doc::Value(1));
    last.default_value = doc::Value(std::move(default_value));
    auto& root = add_element(schema, "root");
    root.type_reference = link(0);
    root.all_of = {link(0)};
    root.exactly_one = {{"deep"}};
    auto& list = add_element(schema, "list", SchemaType::Array);
    list.item_type = link(0);
    list.allowed_values = {doc::Table()};
    return schema;
}

TEST(ReferenceChainsTest, LongChainsLoad) {
    for (int length : {500, 1000}) {
        for (Via via : {Via::TypeReference, Via::AllOf, Via::OneOf, Via::Conditional}) {
            Schema schema = chain(length, via);
            EXPECT_EQ(outcome(run_semantic_checks(schema)), "ok") << length << " " << static_cast<int>(via);
            NameSet visiting;
            EXPECT_EQ(*effective_kind(schema, schema.elements["root"], visiting), SchemaType::Table);
            NameSet names;
            ASSERT_TRUE(collect_effective_child_names(schema, schema.elements["root"], visiting, names).ok());
            EXPECT_EQ(names.count("deep"), 1u);
            KindSet kinds;
            ASSERT_TRUE(collect_reference_types(schema, link(0), visiting, kinds).ok());
            EXPECT_EQ(kinds.size(), 1);
            EXPECT_TRUE(visiting.empty());
        }
    }
}

// Longer than every bound on nesting and expansion, and run on a small stack: every walk is a
// loop, never a call per link, and what each type gives is found once.
TEST(ReferenceChainsTest, ChainsOfTwentyThousandTypes) {
    constexpr int length = 20000;
    qeld::testing::run_on_small_stack([] {
        doc::Table deep;
        deep.set("deep", doc::Value(1));
        doc::Table document;
        document.set("root", doc::Value(std::move(deep)));
        for (Via via : {Via::TypeReference, Via::OneOf, Via::Conditional}) {
            Schema schema = chain(length, via);
            EXPECT_EQ(outcome(run_semantic_checks(schema)), "ok") << static_cast<int>(via);
            NameSet visiting;
            EXPECT_EQ(*effective_kind(schema, schema.elements["root"], visiting), SchemaType::Table);
            EXPECT_TRUE(visiting.empty());
            if (via != Via::OneOf) {
                const auto errors = schema.validate(document).errors;
                ASSERT_EQ(errors.size(), 1u) << static_cast<int>(via);
                EXPECT_EQ(errors[0].path + ": " + errors[0].message, "$.list: required value is missing");
            }
        }
        // Through allof the chain's first type expands to every one after it.
        EXPECT_EQ(outcome(run_semantic_checks(chain(length, Via::AllOf))),
                  "types.t00000 expands to more than 10000 components through allof");
    });
}

TEST(ReferenceChainsTest, LongChainsFailAtTheirEnd) {
    for (int length : {500, 1000}) {
        // Closing the chain into a ring.
        Schema ring = chain(length, Via::TypeReference);
        auto& last = ring.types[link(length - 1)];
        last.kind.reset();
        last.type_reference = link(0);
        EXPECT_EQ(outcome(run_semantic_checks(ring)), "cyclic type selector reference involving types.t00000");

        // An unknown name at the far end only surfaces where the walk resolves it.
        Schema broken = chain(length, Via::AllOf);
        broken.types[link(length - 1)].all_of = {"integer"};
        EXPECT_EQ(outcome(run_semantic_checks(broken)),
                  "types." + link(length - 1) + " allof component integer has incompatible effective type");

        // A default deep down the chain that conflicts with one at the top.
        Schema conflict = chain(length, Via::AllOf);
        conflict.types[link(length - 1)].default_value = 1;
        conflict.types[link(length - 1)].kind = SchemaType::Integer;
        conflict.elements.erase("root");
        conflict.elements.erase("list");
        auto& top = add_type(conflict, "top", SchemaType::Integer);
        add_type(conflict, "one", SchemaType::Integer).default_value = 2;
        for (int i = 0; i + 1 < length; ++i) conflict.types[link(i)].kind = SchemaType::Integer;
        top.all_of = {"one", link(0)};
        EXPECT_EQ(outcome(run_semantic_checks(conflict)), "types.top inherits conflicting defaults through allof");
    }
}

// Each type names the next one twice through every kind of reference: walking every path would
// take 2^64 steps.
Schema diamonds(int length) {
    Schema schema;
    for (int i = 0; i + 1 < length; ++i) {
        auto& t = add_type(schema, link(i));
        std::string next = link(i + 1);
        t.type_reference = next;
        t.one_of = {next, next};
        t.conditional = testing::selector(next, next);
        t.all_of = {next, next};
    }
    auto& last = add_type(schema, link(length - 1), SchemaType::Collection);
    add_child(last, "deep", SchemaType::Integer);
    doc::Table default_value;
    default_value.set("deep", doc::Value(1));
    last.default_value = doc::Value(std::move(default_value));
    return schema;
}

TEST(ReferenceChainsTest, DiamondsAreNotWalkedTwice) {
    Schema schema = diamonds(64);
    const Definition& top = schema.types[link(0)];
    NameSet visiting;
    EXPECT_EQ(*effective_kind(schema, top, visiting), SchemaType::Collection);
    NameSet names;
    ASSERT_TRUE(collect_effective_child_names(schema, top, visiting, names).ok());
    EXPECT_EQ(names, NameSet{"deep"});
    EXPECT_FALSE(has_collection_item_constraint(schema, top, visiting));
    auto value = resolve_effective_default(schema, top, visiting);
    ASSERT_TRUE(value.ok());
    EXPECT_TRUE(value->has_value());
    EXPECT_TRUE(visiting.empty());
    KindSet kinds;
    ASSERT_TRUE(collect_reference_types(schema, link(0), visiting, kinds).ok());
    EXPECT_EQ(kinds.only(), SchemaType::Collection);
    EXPECT_EQ(outcome(validate_selector_cycles(schema)), "ok");

    // What is found at the far end, found or failing, is the same as without the shortcut.
    schema.types[link(63)].item_type = "integer";
    EXPECT_TRUE(has_collection_item_constraint(schema, top, visiting));
    schema.types[link(63)].all_of = {"table"};
    EXPECT_EQ(outcome(effective_kind(schema, top, visiting)),
              "types.t00063 allof component table has incompatible effective type");
    schema.types[link(62)].default_value = 1;
    schema.types[link(61)].all_of.push_back(link(63));
    EXPECT_EQ(outcome(resolve_effective_default(schema, top, visiting)),
              "types.t00061 inherits conflicting defaults through allof");
}

TEST(ReferenceChainsTest, NestedChildrenWalkBeforeNextKey) {
    // Children nest as deep as a schema text allows; each level is checked before the next key.
    Schema schema;
    Definition* level = &add_element(schema, "a", SchemaType::Table);
    for (int i = 0; i < 300; ++i) level = &add_child(*level, "n", SchemaType::Table);
    level->unique_items = true;
    add_element(schema, "b", SchemaType::Integer).unique_items = true;
    std::string name = "elements.a";
    for (int i = 0; i < 300; ++i) name += ".n";
    EXPECT_EQ(outcome(run_semantic_checks(schema)), name + " can only define uniqueitems when its effective type is array");
}

}  // namespace
}  // namespace qeld::schema
