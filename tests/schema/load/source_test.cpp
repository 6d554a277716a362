#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "schema/load/source.h"

namespace qeld::schema {
namespace {

namespace fs = std::filesystem;

class SourceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qeld-source-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& content) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }

    fs::path dir_;
};

TEST_F(SourceFiles, ReadsWholeUtf8Text) {
    auto text = read_toml_source(write("a.toml", "a = \"é\"\n"));
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(*text, "a = \"é\"\n");
}

TEST_F(SourceFiles, ReaderMessagesBeginWithThePathAsGiven) {
    EXPECT_EQ(read_toml_source("missing.toml").error(), "missing.toml: No such file or directory (os error 2)");
    EXPECT_EQ(read_toml_source(dir_.string()).error(), dir_.string() + ": Is a directory (os error 21)");
    EXPECT_EQ(read_toml_source(write("bad.toml", "a = \"\xff\"\n")).error(),
              dir_.string() + "/bad.toml: stream did not contain valid UTF-8");
    // Overlong forms and surrogates are not UTF-8 either.
    EXPECT_FALSE(read_toml_source(write("overlong.toml", "\xc0\xaf")).ok());
    EXPECT_FALSE(read_toml_source(write("surrogate.toml", "\xed\xa0\x80")).ok());
}

TEST_F(SourceFiles, ParseFailuresCarryThePathAndTheFrame) {
    std::string path = write("broken.toml", "a = \n");
    auto table = parse_toml_file(path);
    ASSERT_FALSE(table.ok());
    EXPECT_EQ(table.error().rfind(path + ": TOML parse error at line 1, column ", 0), 0u) << table.error();
    EXPECT_EQ(parse_toml_file("missing.toml").error(), "missing.toml: No such file or directory (os error 2)");
}

TEST_F(SourceFiles, EmptyFileIsAnEmptyTable) {
    auto table = parse_toml_file(write("empty.toml", ""));
    ASSERT_TRUE(table.ok());
    EXPECT_TRUE(table->empty());
}

SourceSyntax syntax_of(std::string_view text, doc::Table& root) {
    std::vector<KeyPath> inline_tables;
    auto parsed = doc::parse(text, &inline_tables);
    EXPECT_TRUE(parsed.ok());
    root = std::move(parsed).value();
    return SourceSyntax(inline_tables);
}

const doc::Table& table_at(const doc::Table& root, const KeyPath& path) {
    const doc::Table* t = &root;
    for (const auto& key : path) t = &t->find(key)->as_table();
    return *t;
}

struct PropertyCase {
    const char* name;
    const char* text;
    const char* key;
    bool property;
};

void PrintTo(const PropertyCase& c, std::ostream* os) { *os << c.name; }

class PropertyRule : public ::testing::TestWithParam<PropertyCase> {};

TEST_P(PropertyRule, FollowsHowTheTableWasWritten) {
    doc::Table root;
    SourceSyntax syntax = syntax_of(GetParam().text, root);
    KeyPath path = {"elements", "server"};
    SyntaxContext context(syntax, path);
    EXPECT_EQ(context.is_property(table_at(root, path), GetParam().key), GetParam().property);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyRule,
    ::testing::Values(
        PropertyCase{"InlineTable", "[elements.server]\ndefault = { port = 80 }\n", "default", true},
        PropertyCase{"SectionTable", "[elements.server.default]\ntype = 'string'\n", "default", false},
        PropertyCase{"DottedKeyTable", "[elements.server]\ndefault.port = 80\n", "default", false},
        PropertyCase{"ArrayOfInlineTables", "[elements.server]\nitems = [{ a = 1 }]\n", "items", true},
        PropertyCase{"AbsentKey", "[elements.server]\ntype = 'table'\n", "min", false},
        PropertyCase{"StringValue", "[elements.server]\nanything = 'x'\n", "anything", true},
        PropertyCase{"DateTimeValue", "[elements.server]\nwhen = 1979-05-27\n", "when", true},
        PropertyCase{"InlineServerInInlineElements", "elements = { server = { if = { equals = {} } } }\n", "if", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceSyntaxTest, RecordsNestedInlineTablesAndTellsDottedKeysApart) {
    doc::Table root;
    SourceSyntax syntax = syntax_of("[elements.x]\nif = { key = 'k', equals = { a = 1 } }\n\"a.b\" = { c = 1 }\n", root);
    EXPECT_TRUE(syntax.contains({"elements", "x", "if"}));
    EXPECT_TRUE(syntax.contains({"elements", "x", "if", "equals"}));
    EXPECT_TRUE(syntax.contains({"elements", "x", "a.b"}));
    EXPECT_FALSE(syntax.contains({"elements", "x", "a", "b"}));
    EXPECT_FALSE(syntax.contains({"elements", "x"}));
}

TEST(SyntaxContextTest, ChildPathLeavesTheContextUnchanged) {
    SourceSyntax syntax;
    KeyPath path = {"elements"};
    SyntaxContext context(syntax, path);
    EXPECT_EQ(context.child_path("a"), (KeyPath{"elements", "a"}));
    EXPECT_EQ(context.path(), (KeyPath{"elements"}));
}

}  // namespace
}  // namespace qeld::schema
