#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schema/validate/validator.h"

namespace qeld::schema {
namespace {

Definition of_kind(std::string name, SchemaType kind, std::vector<std::string> all_of = {}) {
    Definition definition;
    definition.name = std::move(name);
    definition.kind = kind;
    definition.all_of = std::move(all_of);
    return definition;
}

Definition referring(std::string name, std::string reference, std::vector<std::string> all_of = {}) {
    Definition definition;
    definition.name = std::move(name);
    definition.type_reference = std::move(reference);
    definition.all_of = std::move(all_of);
    return definition;
}

std::vector<std::string> names_of(const ComponentList& components) {
    std::vector<std::string> names;
    for (const Component& component : components) names.emplace_back(component.name);
    return names;
}

// The component names, or the message.
std::vector<std::string> collect(const Schema& schema, const Definition& definition) {
    Validator validator(schema, true);
    auto components = validator.collect_components(definition);
    if (!components) return {components.error()};
    return names_of(*components);
}

TEST(ValidatorResolution, ComponentsFollowTheAllofTreeInPreOrder) {
    Schema schema;
    schema.types["t"] = of_kind("types.t", SchemaType::Table, {"b"});
    schema.types["a"] = of_kind("types.a", SchemaType::Table);
    schema.types["b"] = of_kind("types.b", SchemaType::Table, {"c"});
    schema.types["c"] = of_kind("types.c", SchemaType::Table);
    Definition d = referring("elements.d", "t", {"a"});
    // The type's members come before the referring definition's own.
    EXPECT_EQ(collect(schema, d), (std::vector<std::string>{"elements.d", "types.b", "types.c", "types.a"}));
}

TEST(ValidatorResolution, ADiamondIsListedTwiceWithoutAMessage) {
    Schema schema;
    schema.types["a"] = of_kind("types.a", SchemaType::Table, {"s"});
    schema.types["b"] = of_kind("types.b", SchemaType::Table, {"s"});
    schema.types["s"] = of_kind("types.s", SchemaType::Table);
    Definition x = of_kind("elements.x", SchemaType::Table, {"a", "b"});
    EXPECT_EQ(collect(schema, x), (std::vector<std::string>{"elements.x", "types.a", "types.s", "types.b", "types.s"}));
}

TEST(ValidatorResolution, ABuiltInMemberIsAComponentNamedByItsKeyword) {
    Schema schema;
    Definition x = of_kind("elements.x", SchemaType::Integer, {"integer", "types.integer"});
    EXPECT_EQ(collect(schema, x), (std::vector<std::string>{"elements.x", "integer", "integer"}));
}

TEST(ValidatorResolution, MessagesEndTheCollection) {
    Schema schema;
    schema.types["loop_a"] = referring("types.loop_a", "loop_b");
    schema.types["loop_b"] = referring("types.loop_b", "types.loop_a");
    schema.types["self"] = of_kind("types.self", SchemaType::Table, {"types.self"});
    schema.types["ok"] = of_kind("types.ok", SchemaType::Table);
    EXPECT_EQ(collect(schema, referring("elements.x", "loop_a")),
              (std::vector<std::string>{"cyclic type reference: loop_a"}));
    EXPECT_EQ(collect(schema, referring("elements.x", "types.missing")),
              (std::vector<std::string>{"unknown type reference: types.missing"}));
    EXPECT_EQ(collect(schema, of_kind("elements.x", SchemaType::Table, {"ok", "self"})),
              (std::vector<std::string>{"cyclic allof reference: self"}));
    EXPECT_EQ(collect(schema, of_kind("elements.x", SchemaType::Table, {"ok", "missing"})),
              (std::vector<std::string>{"unknown type reference: missing"}));
}

TEST(ValidatorResolution, TheReferringDefinitionIsLaidOverTheChain) {
    Schema schema;
    Definition port = of_kind("types.port", SchemaType::Integer, {"integer"});
    port.optional = true;
    port.description = "a port";
    port.default_value = doc::Value(80);
    port.min = doc::Value(1);
    schema.types["port"] = port;
    schema.types["alias"] = referring("types.alias", "port", {"types.port"});
    Definition element = referring("elements.p", "alias", {"integer"});
    element.deprecated = true;
    element.default_value = doc::Value(8080);

    Validator validator(schema, true);
    auto resolved = validator.resolve(element);
    ASSERT_TRUE(resolved.ok()) << resolved.error();
    const Component& component = resolved->component;
    EXPECT_EQ(component.name, "elements.p");
    EXPECT_EQ(component.base, &schema.types["port"]);
    EXPECT_EQ(component.kind, SchemaType(SchemaType::Integer));
    EXPECT_TRUE(component.optional);
    EXPECT_TRUE(component.deprecated);
    ASSERT_NE(component.description, nullptr);
    EXPECT_EQ(*component.description, "a port");
    ASSERT_NE(component.default_value, nullptr);
    EXPECT_EQ(component.default_value->as_integer(), 8080);
    // The allof lists of the chain, base first.
    const auto lists = all_of_lists(*resolved);
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists[0], &schema.types["port"].all_of);
    EXPECT_EQ(lists[1], &schema.types["alias"].all_of);
    EXPECT_EQ(lists[2], &element.all_of);

    Definition plain = referring("elements.q", "port");
    auto inherited = validator.resolve(plain);
    ASSERT_TRUE(inherited.ok());
    EXPECT_EQ(inherited->component.default_value->as_integer(), 80);
    EXPECT_FALSE(inherited->component.deprecated);
}

TEST(ValidatorResolution, ABuiltInReferenceKeepsTheReferringFields) {
    Schema schema;
    Definition element = referring("elements.s", "string", {"string"});
    element.optional = true;
    Validator validator(schema, true);
    auto resolved = validator.resolve(element);
    ASSERT_TRUE(resolved.ok());
    EXPECT_EQ(resolved->component.name, "elements.s");
    EXPECT_EQ(resolved->component.kind, SchemaType(SchemaType::String));
    EXPECT_EQ(resolved->component.base, &builtin_definition(SchemaType::String));
    EXPECT_TRUE(resolved->component.optional);
    EXPECT_EQ(all_of_lists(*resolved).size(), 1u);
}

TEST(ValidatorResolution, ChildrenOfSeveralComponentsAreGatheredByKey) {
    Schema schema;
    Definition first = of_kind("types.a", SchemaType::Table);
    first.children["port"].name = "types.a.port";
    first.children["b"].name = "types.a.b";
    Definition second = of_kind("types.b", SchemaType::Table);
    second.children["port"].name = "types.b.port";
    second.children["a"].name = "types.b.a";
    schema.types["a"] = first;
    schema.types["b"] = second;
    Validator validator(schema, true);
    const Definition element = of_kind("elements.x", SchemaType::Table, {"a", "b"});
    auto components = validator.collect_components(element);
    ASSERT_TRUE(components.ok());
    ChildrenMap children = collect_children(*components);
    std::vector<std::string> seen;
    for (const auto& group : children.groups) {
        std::string line(group.key);
        for (std::size_t i = 0; i < group.count; ++i) line += " " + children.definitions_of(group)[i]->name;
        seen.push_back(line);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a types.b.a", "b types.a.b", "port types.a.port types.b.port"}));
}

TEST(ValidatorResolution, NameStackTracksTheCurrentChainOnly) {
    NameStack stack;
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) names.push_back("n" + std::to_string(i));
    for (const auto& name : names) EXPECT_TRUE(stack.push(name));
    for (const auto& name : names) EXPECT_FALSE(stack.push(name));
    for (int i = 0; i < 12; ++i) stack.pop();
    for (const auto& name : names) EXPECT_FALSE(stack.contains(name));
    EXPECT_TRUE(stack.push("n3"));
}

TEST(ValidatorResolution, PathsRenderKeysAndIndexes) {
    const PathRef root("$");
    const PathRef a = root.key("a");
    EXPECT_EQ(a.key("b c").index(2).str(), "$.a.\"b c\"[2]");
    EXPECT_EQ(PathRef("$default").key("").str(), "$default.\"\"");
}

}  // namespace
}  // namespace qeld::schema
