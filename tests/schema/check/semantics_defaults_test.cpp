#include <gtest/gtest.h>

#include "schema/check/defaults.h"
#include "schema/model.h"
#include "schema/check/semantics_fixture.h"

namespace qeld::schema {
namespace {

using testing::add_child;
using testing::add_element;
using testing::add_type;
using testing::outcome;
using testing::selector;

// The effective default as text: "none", "int N", "float X", "string S", or the message.
std::string describe(const Result<std::optional<doc::Value>>& result) {
    if (!result.ok()) return result.error();
    if (!result->has_value()) return "none";
    const doc::Value& v = **result;
    if (v.is_integer()) return "int " + std::to_string(v.as_integer());
    if (v.is_float()) return "float " + std::to_string(v.as_float());
    if (v.is_string()) return "string " + std::string(v.as_string());
    return "other";
}

void common_types(Schema& s) {
    add_type(s, "port", SchemaType::Integer).default_value = 8080;
    add_type(s, "alias").type_reference = "types.port";
    add_type(s, "same", SchemaType::Float).default_value = 8080.0;
    add_type(s, "plain", SchemaType::Integer);
    add_type(s, "red", SchemaType::String).default_value = "red";
    add_type(s, "blue", SchemaType::String).default_value = "blue";
}

struct Case {
    const char* label;
    void (*build)(Definition&);
    const char* expected;
};

const Case cases[] = {
    {"own default", [](Definition& d) { d.default_value = 1; }, "int 1"},
    {"nothing", [](Definition&) {}, "none"},
    {"through the named type, transitively", [](Definition& d) { d.type_reference = "alias"; }, "int 8080"},
    {"keyword contributes nothing", [](Definition& d) { d.all_of = {"integer", "plain", "types.port"}; }, "int 8080"},
    {"equal values written differently agree, first wins",
     [](Definition& d) { d.all_of = {"same", "port"}; }, "float 8080.000000"},
    {"type reference comes first", [](Definition& d) { d.type_reference = "port"; d.all_of = {"same"}; }, "int 8080"},
    {"conflicting allof members", [](Definition& d) { d.all_of = {"red", "plain", "blue"}; },
     "elements.x inherits conflicting defaults through allof"},
    {"conflict between type reference and allof",
     [](Definition& d) { d.type_reference = "blue"; d.all_of = {"red"}; },
     "elements.x inherits conflicting defaults through allof"},
    {"own default overrides conflicts",
     [](Definition& d) { d.default_value = "green"; d.all_of = {"red", "blue"}; }, "string green"},
    {"not through alternatives or branches",
     [](Definition& d) {
         d.one_of = {"port"};
         d.any_of = {"red"};
         d.conditional = selector("red", "blue");
         d.item_type = "port";
         d.items = {"port"};
     },
     "none"},
    {"every reference resolved before conflicts are judged",
     [](Definition& d) { d.all_of = {"red", "blue", "nowhere"}; }, "unknown type reference: nowhere"},
};

TEST(EffectiveDefaultTest, Table) {
    for (const auto& c : cases) {
        Schema schema;
        common_types(schema);
        auto& x = add_element(schema, "x");
        c.build(x);
        NameSet visiting;
        EXPECT_EQ(describe(resolve_effective_default(schema, x, visiting)), c.expected) << c.label;
        if (std::string(c.expected).find("reference") == std::string::npos) {
            EXPECT_TRUE(visiting.empty()) << c.label;
        }
    }
}

TEST(EffectiveDefaultTest, NotInheritedFromParent) {
    Schema schema;
    auto& parent = add_element(schema, "p", SchemaType::Table);
    parent.default_value = doc::Table();
    auto& child = add_child(parent, "c", SchemaType::Integer);
    NameSet visiting;
    EXPECT_EQ(describe(resolve_effective_default(schema, child, visiting)), "none");
}

TEST(EffectiveDefaultTest, ReferenceDefaults) {
    Schema schema;
    common_types(schema);
    add_type(schema, "loop").all_of = {"types.loop"};
    NameSet visiting;
    EXPECT_EQ(describe(reference_effective_default(schema, "types.string", visiting)), "none");
    EXPECT_EQ(describe(reference_effective_default(schema, "types.alias", visiting)), "int 8080");
    EXPECT_EQ(describe(reference_effective_default(schema, "types.gone", visiting)), "unknown type reference: types.gone");
    NameSet fresh;
    EXPECT_EQ(describe(reference_effective_default(schema, "loop", fresh)), "cyclic default reference: loop");
}

TEST(ValidateDefaultsTest, ReusableTypeBeforeElementAndParentBeforeChild) {
    Schema schema;
    add_type(schema, "red", SchemaType::String).default_value = "red";
    add_type(schema, "blue", SchemaType::String).default_value = "blue";
    auto& a = add_element(schema, "a", SchemaType::Table);
    add_child(a, "c", SchemaType::String).all_of = {"red", "blue"};
    add_element(schema, "b", SchemaType::String).all_of = {"blue", "red"};
    EXPECT_EQ(outcome(validate_defaults(schema)), "elements.a.c inherits conflicting defaults through allof");
    a.all_of = {"red", "blue"};
    EXPECT_EQ(outcome(validate_defaults(schema)), "elements.a inherits conflicting defaults through allof");
    add_type(schema, "zz", SchemaType::String).all_of = {"blue", "red"};
    EXPECT_EQ(outcome(validate_defaults(schema)), "types.zz inherits conflicting defaults through allof");
}

// A default is validated like a document value, nested trials bounded alike: past the bound the
// default is refused with that message, and loading ends.
TEST(ValidateDefaultsTest, UnionsNestedPastTheBoundRefuseTheDefault) {
    for (int length : {1000, 1001}) {
        Schema schema;
        for (int i = 0; i < length; ++i) add_type(schema, "u" + std::to_string(i)).one_of = {"u" + std::to_string(i + 1)};
        add_type(schema, "u" + std::to_string(length), SchemaType::Integer);
        add_element(schema, "x").type_reference = "u0";
        schema.elements["x"].default_value = 1;
        EXPECT_EQ(outcome(validate_defaults(schema)),
                  length == 1000 ? "ok"
                                 : "elements.x has invalid effective default: $default: gave up after 1000 nested "
                                   "oneof/anyof trials: the alternatives nest too deeply to check this value");
    }
}

}  // namespace
}  // namespace qeld::schema
