// How many components a definition expands to through allof, and the refusal of a definition
// past the limit, in its place among the checks.
#include <gtest/gtest.h>

#include <string>

#include "schema/check/component_limit.h"
#include "schema/check/semantics_fixture.h"
#include "schema/model.h"
#include "schema/schema_text.h"
#include "schema/walk/component_counts.h"

namespace qeld::schema {
namespace {

using testing::add_element;
using testing::add_type;
using testing::body_outcome;
using testing::outcome;

// a{i} and b{i} both compose a{i+1} and b{i+1}; a0 expands to 2^(levels + 1) - 1 components.
std::string diamond(int levels, const std::string& extra_in_a0 = "") {
    std::string text;
    for (int i = 0; i < levels; ++i) {
        for (const char* name : {"a", "b"}) {
            text += "[types." + std::string(name) + std::to_string(i) + "]\ntype = \"integer\"\nallof = [\"a" +
                    std::to_string(i + 1) + "\", \"b" + std::to_string(i + 1) + "\"]\n";
            if (i == 0 && std::string(name) == "a") text += extra_in_a0;
        }
    }
    const std::string last = std::to_string(levels);
    return text + "[types.a" + last + "]\ntype = \"integer\"\n[types.b" + last + "]\ntype = \"integer\"\n";
}

TEST(ComponentLimitTest, TheLimitItselfIsAllowed) {
    for (int members : {9999, 10000}) {
        Schema schema;
        auto& x = add_element(schema, "x", SchemaType::Integer);
        x.all_of.assign(members, "integer");
        EXPECT_EQ(outcome(validate_component_counts(schema)),
                  members == 9999 ? "ok" : "elements.x expands to more than 10000 components through allof")
            << members;
    }
}

TEST(ComponentLimitTest, DiamondsCountEveryPath) {
    auto loaded = Schema::from_source("d.qeld", std::string(testing::version_header) + diamond(12) + "[elements]\n");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    EXPECT_EQ(*ComponentCounts(*loaded).of_reference("a0"), 8191u);
    EXPECT_EQ(body_outcome(diamond(13) + "[elements]\n"), "types.a0 expands to more than 10000 components through allof");
}

TEST(ComponentLimitTest, TypeReferencesAndAllofAddUp) {
    Schema schema;
    add_type(schema, "wide", SchemaType::Integer).all_of.assign(5999, "integer");
    auto& x = add_element(schema, "x");
    x.type_reference = "wide";
    EXPECT_EQ(outcome(validate_component_counts(schema)), "ok");
    x.all_of = {"wide"};
    EXPECT_EQ(outcome(validate_component_counts(schema)),
              "elements.x expands to more than 10000 components through allof");
}

TEST(ComponentLimitTest, EarlierChecksAndDefaultsKeepTheirMessages) {
    // An earlier check's fault is reported first.
    EXPECT_EQ(body_outcome(diamond(20) + "[elements.x]\ntype = \"gone\"\n"),
              "elements.x contains unknown type reference: gone");
    // So is a default judged before any expansion past the limit.
    EXPECT_EQ(body_outcome(diamond(20) + "[types.Z]\ntype = \"integer\"\ndefault = \"text\"\n[elements]\n"),
              "types.Z has invalid effective default: $default: expected integer but found string");
    // A default whose check would expand past the limit ends loading there, naming the definition
    // being expanded.
    EXPECT_EQ(body_outcome(diamond(20, "default = 1\n") + "[elements]\n"),
              "types.a0 expands to more than 10000 components through allof");
    EXPECT_EQ(body_outcome(diamond(20) + "[elements.e]\ntype = \"table\"\ndefault = { c = 1 }\n[elements.e.c]\ntype = \"a1\"\n"),
              "elements.e.c expands to more than 10000 components through allof");
}

}  // namespace
}  // namespace qeld::schema
