// Validation paths that a loaded schema never reaches (references that do not resolve), the
// allowed values of whole arrays, and the warning record, over schemas built in place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../schema_text.h"
#include "document/parse.h"
#include "schema/validate/validator.h"

namespace qeld::schema {
namespace {

using testing::Lines;
using testing::lines;

Definition of_kind(std::string name, std::optional<SchemaType> kind) {
    Definition definition;
    definition.name = std::move(name);
    definition.kind = kind;
    return definition;
}

Definition referring(std::string name, std::string reference) {
    Definition definition;
    definition.name = std::move(name);
    definition.type_reference = std::move(reference);
    return definition;
}

doc::Table document(std::string_view text) {
    auto parsed = doc::parse(text);
    EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error());
    return parsed.ok() ? std::move(parsed).value() : doc::Table();
}

TEST(ValidatorValidation, AnElementThatDoesNotResolveIsOneErrorAtItsPath) {
    Schema schema;
    schema.elements["a"] = referring("elements.a", "missing");
    schema.elements["b"] = referring("elements.b", "types.gone");
    EXPECT_EQ(lines(schema.validate(document("a = 1\n"))),
              (Lines{"$.a: unknown type reference: missing", "$.b: unknown type reference: types.gone"}));
}

TEST(ValidatorValidation, AChildWhoseDefinitionsCannotBeExpandedGetsThatMessageOnly) {
    Schema schema;
    Definition first = of_kind("types.first", SchemaType::Table);
    first.children["x"] = of_kind("types.first.x", SchemaType::Integer);
    Definition second = of_kind("types.second", SchemaType::Table);
    second.children["x"] = of_kind("types.second.x", SchemaType::Integer);
    second.children["x"].all_of = {"missing"};
    second.children["y"] = referring("types.second.y", "missing");
    schema.types["first"] = first;
    schema.types["second"] = second;
    Definition element = of_kind("elements.t", SchemaType::Table);
    element.all_of = {"first", "second"};
    schema.elements["t"] = element;
    // The absent child y cannot be resolved: it is required, and its message is dropped.
    EXPECT_EQ(lines(schema.validate(document("t.x = 'text'\n"))),
              (Lines{"$.t.x: unknown type reference: missing", "$.t.y: required value is missing"}));
}

TEST(ValidatorValidation, ACollectionEntryKeepsTheItemTypesThatResolve) {
    Schema schema;
    Definition broken = of_kind("types.broken", SchemaType::Collection);
    broken.item_type = "missing";
    schema.types["broken"] = broken;
    Definition element = of_kind("elements.c", SchemaType::Collection);
    element.item_type = "integer";
    element.all_of = {"broken"};
    schema.elements["c"] = element;
    EXPECT_EQ(lines(schema.validate(document("c.k = 'text'\n"))),
              (Lines{"$.c.k: unknown type reference: missing", "$.c.k: expected integer but found string"}));
}

TEST(ValidatorValidation, ACollectionWithoutItemTypesReportsEveryEntryButNoFixedChild) {
    Schema schema;
    Definition element = of_kind("elements.c", SchemaType::Collection);
    element.key_pattern = Pattern::compile("^[a-z]").value();
    element.children["fixed"] = of_kind("elements.c.fixed", SchemaType::Integer);
    schema.elements["c"] = element;
    EXPECT_EQ(lines(schema.validate(document("c.Upper = 1\nc.fixed = 2\nc.lower = 3\n"))),
              (Lines{"$.c.Upper: key does not match keypattern ^[a-z]",
                     "$.c.Upper: collection entry has no itemtype reference",
                     "$.c.lower: collection entry has no itemtype reference"}));
}

TEST(ValidatorValidation, AllowedValuesOfANonArrayKindHoldTheWholeArray) {
    Schema schema;
    Definition any = of_kind("elements.pair", SchemaType::Any);
    any.allowed_values = {document("v = [1, 2]\n").find("v")->as_array(), doc::Value("none")};
    schema.elements["pair"] = any;
    Definition items = of_kind("elements.items", SchemaType::Array);
    items.allowed_values = {doc::Value(1), doc::Value(2)};
    schema.elements["items"] = items;
    EXPECT_EQ(lines(schema.validate(document("pair = [1.0, 2]\nitems = [1, 2.0]\n"))), Lines{});
    EXPECT_EQ(lines(schema.validate(document("pair = [2, 1]\nitems = [1, 3, [1]]\n"))),
              (Lines{"$.items[1]: value is not in allowedvalues", "$.items[2]: value is not in allowedvalues",
                     "$.pair: value is not in allowedvalues"}));
}

TEST(ValidatorValidation, EveryItemEqualToAnEarlierOneIsADuplicateInIndexOrder) {
    Schema schema;
    Definition list = of_kind("elements.list", SchemaType::Array);
    list.unique_items = true;
    schema.elements["list"] = list;
    const std::string duplicate = ": array item duplicates an earlier item while uniqueitems is true";
    EXPECT_EQ(lines(schema.validate(document("list = [3, 1, 3.0, 1, nan, nan, {a = 1}, {a = 1.0}, '3', 3, []]\n"))),
              (Lines{"$.list[2]" + duplicate, "$.list[3]" + duplicate, "$.list[5]" + duplicate,
                     "$.list[7]" + duplicate, "$.list[9]" + duplicate}));
    EXPECT_EQ(lines(schema.validate(document("list = [1, 2, 1, 1]\n"))),
              (Lines{"$.list[2]" + duplicate, "$.list[3]" + duplicate}));
}

TEST(ValidatorValidation, ItemsThatAgreeInTheirFirstPartsAreStillComparedWhole) {
    Schema schema;
    Definition list = of_kind("elements.list", SchemaType::Array);
    list.unique_items = true;
    schema.elements["list"] = list;
    const std::string duplicate = ": array item duplicates an earlier item while uniqueitems is true";
    // Equal in the first four entries or items, then different, or equal as numbers.
    const char* text =
        "list = [{a = 1, b = 2, c = 3, d = 4, e = 5}, {a = 1, b = 2, c = 3, d = 4, e = 6},"
        " {a = 1.0, b = 2, c = 3, d = 4, e = 5.0}, [1, 2, 3, 4, 5], [1, 2, 3, 4, [5]], [1, 2, 3, 4, 5.0],"
        " {a = 1, b = 2, c = 3, d = 4, f = 5}, {a = 1, b = 2, c = 3, d = 4, e = 6}]\n";
    EXPECT_EQ(lines(schema.validate(document(text))),
              (Lines{"$.list[2]" + duplicate, "$.list[5]" + duplicate, "$.list[7]" + duplicate}));
}

TEST(ValidatorValidation, AWarningIsRecordedOncePerPathAndOnlyWhenAsked) {
    Schema schema;
    Definition value = of_kind("elements.v", SchemaType::Integer);
    value.deprecated = true;
    Validator validator(schema, true);
    const doc::Value one(1);
    validator.validate_value("$", one, value);
    validator.validate_value("$", one, value);
    validator.validate_value("$.w", one, value);
    validator.add("$", "same");
    validator.add("$", "same");
    EXPECT_EQ(validator.warnings().size(), 2u);
    EXPECT_EQ(validator.warnings()[0].code, "deprecated");
    EXPECT_EQ(validator.warnings()[0].message, "value is deprecated");
    EXPECT_EQ(validator.errors().size(), 2u);

    Validator defaults(schema, false);
    defaults.validate_value("$default", one, value);
    EXPECT_TRUE(defaults.warnings().empty());
    defaults.validate_value("$default", doc::Value("x"), value);
    ASSERT_EQ(defaults.errors().size(), 1u);
    EXPECT_EQ(defaults.errors()[0].path, "$default");
    EXPECT_EQ(defaults.errors()[0].message, "expected integer but found string");
}

TEST(ValidatorValidation, AComponentListWithoutAKindHasNoEffectiveType) {
    Schema schema;
    schema.elements["a"] = of_kind("elements.a", std::nullopt);
    Validator validator(schema, true);
    validator.validate_component_set(PathRef("$"), doc::Value(1), {});
    EXPECT_EQ(lines(schema.validate(document("a = 1\n"))), (Lines{"$.a: definition has no effective type"}));
    ASSERT_EQ(validator.errors().size(), 1u);
    EXPECT_EQ(validator.errors()[0].message, "definition has no effective type");
}

}  // namespace
}  // namespace qeld::schema
