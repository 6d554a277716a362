#include <gtest/gtest.h>

#include "schema/check/array_ranges.h"
#include "schema/model.h"
#include "schema/check/semantics_fixture.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;

doc::Value local_date() { return doc::DateTime{doc::Date{2024, 1, 1}, {}, {}}; }
doc::Value local_date_time() { return doc::DateTime{doc::Date{2024, 1, 1}, doc::Time{0, 0, 0, {}}, {}}; }
doc::Value offset_date_time() {
    return doc::DateTime{doc::Date{2024, 1, 1}, doc::Time{0, 0, 0, {}}, doc::Offset{true, 0}};
}

struct Case {
    const char* label;
    std::optional<std::string> item_type;
    std::optional<doc::Value> min;
    std::optional<doc::Value> max;
    const char* expected;
};

const char* const not_comparable =
    "elements.list can only define min or max when itemtype resolves to one comparable built-in type";

TEST(ArrayRangesTest, Table) {
    const Case cases[] = {
        {"integer items, float bound", "integer", 0, 10.5, "ok"},
        {"float items, integer bound", "float", 1, std::nullopt, "ok"},
        {"local dates", "local-date", local_date(), std::nullopt, "ok"},
        {"local dates, date-time bound", "local-date", local_date_time(), std::nullopt,
         "elements.list min must be comparable with local-date"},
        {"offset stamps, local bound", "offset-date-time", std::nullopt, local_date_time(),
         "elements.list max must be comparable with offset-date-time"},
        {"integer items, date bound", "integer", local_date(), std::nullopt,
         "elements.list min must be comparable with integer"},
        {"min reported before max", "integer", offset_date_time(), local_date(),
         "elements.list min must be comparable with integer"},
        {"no itemtype", std::nullopt, 1, std::nullopt, not_comparable},
        {"string items", "string", 1, std::nullopt, not_comparable},
        {"boolean items", "boolean", std::nullopt, 1, not_comparable},
        {"any items", "any", 1, std::nullopt, not_comparable},
        {"mixed numeric alternatives", "num", 1, std::nullopt,
         "elements.list cannot define min or max when itemtype has mixed alternatives"},
        {"integer type", "types.count", 1, 2, "ok"},
        {"no bounds, no question", "string", std::nullopt, std::nullopt, "ok"},
    };
    for (const auto& c : cases) {
        Schema schema;
        add_type(schema, "num").one_of = {"integer", "float"};
        add_type(schema, "count", SchemaType::Integer);
        auto& list = add_element(schema, "list", SchemaType::Array);
        list.item_type = c.item_type;
        list.min = c.min;
        list.max = c.max;
        EXPECT_EQ(outcome(validate_array_range_definitions(schema)), c.expected) << c.label;
    }
}

TEST(ArrayRangesTest, OnlyArraysAreAskedAndChildrenAndTypesComeInOrder) {
    Schema schema;
    // Not an array: its bounds were settled when it was parsed.
    auto& level = add_element(schema, "a", SchemaType::Integer);
    level.min = local_date();
    auto& parent = add_element(schema, "b", SchemaType::Table);
    auto& nested = add_child(parent, "list", SchemaType::Array);
    nested.item_type = "string";
    nested.max = 3;
    EXPECT_EQ(outcome(validate_array_range_definitions(schema)),
              "elements.b.list can only define min or max when itemtype resolves to one comparable built-in type");
    auto& shared = add_type(schema, "zz", SchemaType::Array);
    shared.item_type = "integer";
    shared.min = "x";
    EXPECT_EQ(outcome(validate_array_range_definitions(schema)), "types.zz min must be comparable with integer");
}

}  // namespace
}  // namespace qeld::schema
