#include <gtest/gtest.h>

#include "schema/check/references.h"
#include "schema/check/semantics_fixture.h"
#include "schema/model.h"
#include "schema/walk/kinds.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;
using testing::selector;

TEST(ValidateReferencesTest, StoredReferenceMustNameKeywordOrType) {
    Schema schema;
    add_type(schema, "port", SchemaType::Integer);
    auto& server = add_element(schema, "server");
    server.type_reference = "port";
    server.item_type = "string";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)), "ok");

    server.type_reference = "host";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.server contains unknown type reference: host");

    // A doubled prefix is stored with one prefix left, which no type name can carry.
    server.type_reference = "types.port";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.server contains unknown type reference: types.port");
}

TEST(ValidateReferencesTest, ReportsEveryReferenceFieldInOrder) {
    // Each row makes one more field faulty, ahead of those already faulty.
    Schema schema;
    auto& a = add_element(schema, "a");
    a.conditional = selector("table", "table");
    a.all_of = {"string", "bad_all_of"};
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_all_of");
    a.conditional = selector("table", "bad_else");
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_else");
    a.conditional = selector("bad_then", "bad_else");
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_then");
    a.any_of = {"integer", "bad_any_of"};
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_any_of");
    a.one_of = {"bad_one_of"};
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_one_of");
    a.items = {"float", "bad_items"};
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_items");
    a.item_type = "bad_item_type";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_item_type");
    a.type_reference = "bad_type";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: bad_type");
}

TEST(ValidateReferencesTest, ParentBeforeChildrenBeforeNextKey) {
    Schema schema;
    auto& a = add_element(schema, "a", SchemaType::Table);
    auto& b = add_child(a, "b", SchemaType::Array);
    b.item_type = "port";
    add_element(schema, "z").type_reference = "zone";
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a.b contains unknown type reference: port");
    a.all_of = {"missing"};
    EXPECT_EQ(outcome(validate_references(schema, schema.elements)),
              "elements.a contains unknown type reference: missing");
}

TEST(ReferenceKindTest, KeywordsTypesAndFailures) {
    Schema schema;
    add_type(schema, "port", SchemaType::Integer);
    add_type(schema, "self").type_reference = "self";
    NameSet visiting;
    EXPECT_EQ(*reference_kind(schema, "types.string", visiting), SchemaType::String);
    EXPECT_EQ(*reference_kind(schema, "types.port", visiting), SchemaType::Integer);
    EXPECT_EQ(*reference_kind(schema, "port", visiting), SchemaType::Integer);
    EXPECT_TRUE(visiting.empty());
    EXPECT_EQ(outcome(reference_kind(schema, "types.host", visiting)), "unknown type reference: types.host");
    NameSet fresh;
    EXPECT_EQ(outcome(reference_kind(schema, "types.self", fresh)), "cyclic type reference: self");
}

struct KindCase {
    const char* label;
    void (*build)(Schema&, Definition&);
    const char* expected;  // a keyword, or the message
};

void integer_types(Schema& schema) {
    add_type(schema, "small", SchemaType::Integer);
    add_type(schema, "big", SchemaType::Integer);
    add_type(schema, "real", SchemaType::Float);
    add_type(schema, "grid", SchemaType::Table);
    add_type(schema, "bag", SchemaType::Collection);
    add_type(schema, "words", SchemaType::String);
    add_type(schema, "anything", SchemaType::Any);
}

const KindCase kind_cases[] = {
    {"own kind wins", [](Schema&, Definition& d) { d.kind = SchemaType::Float; d.one_of = {"small"}; }, "float"},
    {"named type", [](Schema&, Definition& d) { d.type_reference = "types.small"; }, "integer"},
    {"one kind through two types", [](Schema&, Definition& d) { d.one_of = {"types.small", "types.big"}; },
     "integer"},
    {"anyof when oneof is empty", [](Schema&, Definition& d) { d.any_of = {"small", "integer"}; }, "integer"},
    {"two kinds", [](Schema&, Definition& d) { d.one_of = {"integer", "float"}; },
     "elements.x alternatives do not have one compatible effective type"},
    {"no alternatives", [](Schema&, Definition&) {},
     "elements.x alternatives do not have one compatible effective type"},
    {"first alternative failure wins",
     [](Schema&, Definition& d) { d.one_of = {"integer", "missing_a", "missing_b"}; },
     "unknown type reference: missing_a"},
    {"table and collection branches", [](Schema&, Definition& d) { d.conditional = selector("grid", "bag"); },
     "elements.x conditional branches do not have compatible effective types"},
    {"string branches", [](Schema&, Definition& d) { d.conditional = selector("words", "string"); },
     "elements.x conditional branches must resolve to table or collection"},
    {"collection branches", [](Schema&, Definition& d) { d.conditional = selector("bag", "collection"); },
     "collection"},
    {"then failure before else", [](Schema&, Definition& d) { d.conditional = selector("no_then", "no_else"); },
     "unknown type reference: no_then"},
    {"any with allof", [](Schema&, Definition& d) { d.kind = SchemaType::Any; d.all_of = {"missing"}; },
     "elements.x cannot compose an indeterminate any type with allof"},
    {"any through a type with allof", [](Schema&, Definition& d) { d.type_reference = "anything"; d.all_of = {"any"}; },
     "elements.x cannot compose an indeterminate any type with allof"},
    {"allof member of another kind",
     [](Schema&, Definition& d) { d.kind = SchemaType::Collection; d.all_of = {"bag", "types.grid", "float"}; },
     "elements.x allof component types.grid has incompatible effective type"},
    {"allof agreeing", [](Schema&, Definition& d) { d.type_reference = "small"; d.all_of = {"big", "integer"}; },
     "integer"},
    {"allof applies after alternatives",
     [](Schema&, Definition& d) { d.one_of = {"small", "big"}; d.all_of = {"real"}; },
     "elements.x allof component real has incompatible effective type"},
    {"allof after conditional", [](Schema&, Definition& d) { d.conditional = selector("grid", "table"); d.all_of = {"grid"}; },
     "table"},
};

TEST(EffectiveKindTest, Table) {
    for (const auto& c : kind_cases) {
        Schema schema;
        integer_types(schema);
        auto& x = add_element(schema, "x");
        c.build(schema, x);
        NameSet visiting;
        auto kind = effective_kind(schema, x, visiting);
        std::string got = kind.ok() ? std::string(kind->keyword()) : kind.error();
        EXPECT_EQ(got, c.expected) << c.label;
        if (kind.ok()) {
            EXPECT_TRUE(visiting.empty()) << c.label;
        }
    }
}

TEST(EffectiveKindTest, TypeReachedAlongTwoChainsIsNoCycle) {
    Schema schema;
    add_type(schema, "base", SchemaType::Table);
    add_type(schema, "left").type_reference = "base";
    add_type(schema, "right").all_of = {"base"};
    schema.types["right"].kind = SchemaType::Table;
    auto& top = add_type(schema, "top");
    top.one_of = {"left", "right", "base", "base"};
    top.all_of = {"base", "left"};
    NameSet visiting;
    EXPECT_EQ(*effective_kind(schema, top, visiting), SchemaType::Table);
    EXPECT_TRUE(visiting.empty());
}

TEST(EffectiveKindTest, CycleIsReportedWithTheNameMetAgain) {
    Schema schema;
    add_type(schema, "a").one_of = {"b"};
    add_type(schema, "b", SchemaType::Table).all_of = {"types.a"};
    NameSet visiting;
    EXPECT_EQ(outcome(reference_kind(schema, "a", visiting)), "cyclic type reference: a");
    // Entering a definition directly puts no name on the chain: its first reference is.
    NameSet fresh;
    EXPECT_EQ(outcome(effective_kind(schema, schema.types["a"], fresh)), "cyclic type reference: b");
}

TEST(CollectReferenceTypesTest, FollowsSelectingReferencesOnly) {
    Schema schema;
    add_type(schema, "num").one_of = {"integer", "float"};
    schema.types["num"].any_of = {"types.text"};
    add_type(schema, "text", SchemaType::String);
    // The named type decides alone; the definition's own kind and allof are ignored.
    auto& alias = add_type(schema, "alias");
    alias.type_reference = "boolean";
    alias.all_of = {"num"};
    add_type(schema, "branch").conditional = selector("types.alias", "local-date");
    auto& plain = add_type(schema, "plain", SchemaType::Integer);
    plain.all_of = {"text"};
    add_type(schema, "blank");

    struct Case {
        const char* reference;
        int size;
        std::optional<SchemaType> only;
    };
    const Case cases[] = {
        {"types.float", 1, SchemaType::Float}, {"num", 3, std::nullopt},
        {"alias", 1, SchemaType::Boolean},    {"types.branch", 2, std::nullopt},
        {"plain", 1, SchemaType::Integer},    {"blank", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        NameSet visiting;
        KindSet kinds;
        ASSERT_TRUE(collect_reference_types(schema, c.reference, visiting, kinds).ok()) << c.reference;
        EXPECT_EQ(kinds.size(), c.size) << c.reference;
        if (c.only) {
            EXPECT_EQ(kinds.only(), *c.only) << c.reference;
        }
        EXPECT_TRUE(visiting.empty()) << c.reference;
    }
    KindSet branch;
    NameSet visiting;
    ASSERT_TRUE(collect_reference_types(schema, "branch", visiting, branch).ok());
    EXPECT_TRUE(branch.contains(SchemaType::Boolean));
    EXPECT_TRUE(branch.contains(SchemaType::LocalDate));
}

TEST(CollectReferenceTypesTest, UnknownAndCyclicNames) {
    Schema schema;
    add_type(schema, "loop").any_of = {"string", "types.loop"};
    NameSet visiting;
    KindSet kinds;
    EXPECT_EQ(outcome(collect_reference_types(schema, "types.nowhere", visiting, kinds)),
              "unknown type reference: types.nowhere");
    NameSet fresh;
    EXPECT_EQ(outcome(collect_reference_types(schema, "loop", fresh, kinds)), "cyclic type reference: loop");
}

TEST(ArrayRangeItemTypeTest, Table) {
    Schema schema;
    add_type(schema, "num").one_of = {"integer", "float"};
    auto& count = add_type(schema, "count", SchemaType::Integer);
    count.all_of = {"types.num"};
    add_type(schema, "nothing");
    const char* not_comparable =
        "elements.list can only define min or max when itemtype resolves to one comparable built-in type";
    const char* mixed = "elements.list cannot define min or max when itemtype has mixed alternatives";
    struct Case {
        std::optional<std::string> item_type;
        std::string expected;
    };
    const Case cases[] = {
        {"integer", "integer"},    {"local-date", "local-date"},    {"types.count", "integer"},
        {"float", "float"},        {"offset-date-time", "offset-date-time"},
        {"local-time", "local-time"}, {"local-date-time", "local-date-time"},
        {"boolean", not_comparable}, {"string", not_comparable}, {"any", not_comparable},
        {"table", not_comparable}, {std::nullopt, not_comparable}, {"num", mixed}, {"nothing", mixed},
    };
    for (const auto& c : cases) {
        auto& list = add_element(schema, "list", SchemaType::Array);
        list.item_type = c.item_type;
        auto kind = array_range_item_type(schema, list);
        std::string got = kind.ok() ? std::string(kind->keyword()) : kind.error();
        EXPECT_EQ(got, c.expected) << c.item_type.value_or("(none)");
    }
}

TEST(CollectionItemConstraintTest, FoundThroughAnySelectingReference) {
    Schema schema;
    add_type(schema, "items", SchemaType::Collection).item_type = "string";
    add_type(schema, "alias").type_reference = "types.items";
    add_type(schema, "shaped", SchemaType::Collection);
    add_child(schema.types["shaped"], "a", SchemaType::Array).item_type = "string";
    add_type(schema, "self").all_of = {"self"};
    NameSet visiting;
    EXPECT_TRUE(reference_has_collection_item_constraint(schema, "types.alias", visiting));
    EXPECT_FALSE(reference_has_collection_item_constraint(schema, "collection", visiting));
    EXPECT_FALSE(reference_has_collection_item_constraint(schema, "shaped", visiting));
    EXPECT_FALSE(reference_has_collection_item_constraint(schema, "unknown", visiting));
    EXPECT_FALSE(reference_has_collection_item_constraint(schema, "self", visiting));
    EXPECT_TRUE(visiting.empty());

    struct Case {
        const char* label;
        void (*build)(Definition&);
        bool expected;
    };
    const Case cases[] = {
        {"own itemtype", [](Definition& d) { d.item_type = "integer"; }, true},
        {"named type", [](Definition& d) { d.type_reference = "alias"; }, true},
        {"oneof", [](Definition& d) { d.one_of = {"shaped", "alias"}; }, true},
        {"anyof when oneof empty", [](Definition& d) { d.any_of = {"items"}; }, true},
        {"anyof ignored beside oneof", [](Definition& d) { d.one_of = {"shaped"}; d.any_of = {"items"}; }, false},
        {"else branch", [](Definition& d) { d.conditional = selector("shaped", "alias"); }, true},
        {"allof", [](Definition& d) { d.all_of = {"self", "items"}; }, true},
        {"nowhere", [](Definition& d) { d.all_of = {"shaped", "collection"}; }, false},
    };
    for (const auto& c : cases) {
        Definition d;
        d.name = "elements.x";
        d.kind = SchemaType::Collection;
        c.build(d);
        NameSet set;
        EXPECT_EQ(has_collection_item_constraint(schema, d, set), c.expected) << c.label;
    }
}

}  // namespace
}  // namespace qeld::schema
