#include <gtest/gtest.h>

#include "schema/model.h"

namespace qeld::schema {
namespace {

TEST(SchemaTypeTest, ParsesEachKeywordAndDisplaysItBack) {
    const char* keywords[] = {"any",        "string",         "integer",  "float",      "boolean", "offset-date-time",
                              "local-date-time", "local-date", "local-time", "array", "table",   "collection"};
    for (int i = 0; i < SchemaType::count; ++i) {
        auto type = SchemaType::parse(keywords[i]);
        ASSERT_TRUE(type.has_value()) << keywords[i];
        EXPECT_EQ(type->kind(), static_cast<SchemaType::Kind>(i));
        EXPECT_EQ(type->keyword(), keywords[i]);
        EXPECT_EQ(SchemaType::parse(type->keyword()), type);
    }
}

TEST(SchemaTypeTest, RefusesEveryOtherText) {
    for (const char* text : {"String", "STRING", " string", "string ", "types.string", "datetime", "date", ""}) {
        EXPECT_FALSE(SchemaType::parse(text).has_value()) << '"' << text << '"';
    }
}

TEST(NormalizeReferenceTest, RemovesOnePrefixOnly) {
    EXPECT_EQ(normalize_reference("types.port"), "port");
    EXPECT_EQ(normalize_reference("types.types.port"), "types.port");
    EXPECT_EQ(normalize_reference("types."), "");
    EXPECT_EQ(normalize_reference("typesx"), "typesx");
    EXPECT_EQ(normalize_reference("type"), "type");
    EXPECT_EQ(normalize_reference("port"), "port");
}

TEST(KindSetTest, CountsDistinctKinds) {
    KindSet kinds;
    EXPECT_EQ(kinds.size(), 0);
    kinds.add(SchemaType::Integer);
    kinds.add(SchemaType::Integer);
    EXPECT_EQ(kinds.size(), 1);
    EXPECT_EQ(kinds.only(), SchemaType::Integer);
    kinds.add(SchemaType::Collection);
    EXPECT_EQ(kinds.size(), 2);
}

TEST(DefinitionTest, CopyIsDeepAndSharesCompiledPatterns) {
    Definition source;
    source.name = "elements.a";
    source.unique_items = false;
    source.pattern = Pattern::compile("^a").value();
    source.children["b"].name = "elements.a.b";
    Definition copy = source;
    copy.children["c"].name = "elements.a.c";
    EXPECT_EQ(source.children.size(), 1u);
    EXPECT_EQ(copy.pattern->source(), "^a");
    EXPECT_TRUE(copy.pattern->search("abc"));
    ASSERT_TRUE(source.unique_items.has_value());
    EXPECT_FALSE(*source.unique_items);
    EXPECT_FALSE(Definition().unique_items.has_value());
}

}  // namespace
}  // namespace qeld::schema
