// The parser's own limits and guarantees: nesting depth, error positions, redefinition rules
// the oracle cannot settle, large tables and arrays, exact sizes, inline-table recording.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "document/parse.h"
#include "document/tree_diff.h"

namespace qeld::doc {
namespace {

std::string nested_arrays(std::size_t levels, const std::string& inner) {
    return "a = " + std::string(levels, '[') + inner + std::string(levels, ']') + "\n";
}

std::string nested_inline_tables(std::size_t levels) {
    std::string text = "a = 1";
    for (std::size_t i = 1; i < levels; ++i) text = "b = { " + text + " }";
    return text + "\n";
}

std::string dotted(std::size_t segments) {
    std::string key = "k";
    for (std::size_t i = 1; i < segments; ++i) key += ".k";
    return key;
}

bool refused_for_depth(const Result<Table>& result) {
    return !result.ok() && result.error().find("nests deeper than 256 levels") != std::string::npos;
}

TEST(ParserDepth, ArraysMayNestUpToTheLimit) {
    EXPECT_TRUE(parse(nested_arrays(max_depth, "")).ok());
    EXPECT_TRUE(refused_for_depth(parse(nested_arrays(max_depth, "1"))));
    auto deeper = parse(nested_arrays(max_depth + 1, ""));
    ASSERT_TRUE(refused_for_depth(deeper));
    // The bracket that opens level 257.
    EXPECT_EQ(deeper.error().rfind("TOML parse error at line 1, column 261\n", 0), 0u) << deeper.error();
}

TEST(ParserDepth, InlineTablesMayNestUpToTheLimit) {
    EXPECT_TRUE(parse(nested_inline_tables(max_depth)).ok());
    EXPECT_TRUE(refused_for_depth(parse(nested_inline_tables(max_depth + 1))));
}

TEST(ParserDepth, HeaderAndKeySegmentsCount) {
    EXPECT_TRUE(parse("[a.b]\n" + dotted(max_depth - 2) + " = 1\n").ok());
    EXPECT_TRUE(refused_for_depth(parse("[a.b]\n" + dotted(max_depth - 1) + " = 1\n")));
    // An element of an array of tables lies two levels below its table.
    EXPECT_TRUE(parse("[[a]]\n" + dotted(max_depth - 2) + " = 1\n").ok());
    EXPECT_TRUE(refused_for_depth(parse("[[a]]\n" + dotted(max_depth - 1) + " = 1\n")));
    EXPECT_TRUE(parse("[" + dotted(max_depth) + "]\n").ok());
    EXPECT_TRUE(refused_for_depth(parse("[[x]]\n[x." + dotted(max_depth - 1) + "]\n")));
    EXPECT_TRUE(refused_for_depth(parse("[[" + dotted(max_depth) + "]]\n")));
}

TEST(ParserDepth, OptionsSetTheLimits) {
    const ParseOptions deeper{max_depth + 2, max_key_segments + 1};
    EXPECT_TRUE(parse("[" + dotted(max_key_segments + 1) + "]\n" + "k = 1\n", nullptr, deeper).ok());
    EXPECT_TRUE(parse(nested_arrays(max_depth + 2, ""), nullptr, deeper).ok());
    auto past_depth = parse(nested_arrays(max_depth + 3, ""), nullptr, deeper);
    ASSERT_FALSE(past_depth.ok());
    EXPECT_NE(past_depth.error().find("the document nests deeper than 258 levels"), std::string::npos);
    auto past_segments = parse("[" + dotted(max_key_segments + 2) + "]\n", nullptr, deeper);
    ASSERT_FALSE(past_segments.ok());
    EXPECT_NE(past_segments.error().find("key has more than 257 dotted segments"), std::string::npos);
}

TEST(ParserDepth, DeepInputNeverExhaustsTheStack) {
    const std::size_t huge = 200000;
    EXPECT_TRUE(refused_for_depth(parse(nested_arrays(huge, ""))));
    std::string tables = "a = ";
    for (std::size_t i = 0; i < huge; ++i) tables += "{b = ";
    EXPECT_TRUE(refused_for_depth(parse(tables)));
    std::string mixed = "a = ";
    for (std::size_t i = 0; i < huge; ++i) mixed += i % 2 ? "{b = " : "[";
    EXPECT_TRUE(refused_for_depth(parse(mixed)));
}

std::string error_head(std::string_view text) {
    auto result = parse(text);
    if (result.ok()) return "accepted";
    return result.error().substr(0, result.error().find('\n'));
}

TEST(ParserErrors, PointAtTheFirstOffendingCharacter) {
    EXPECT_EQ(error_head("s = \"é\" x\n"), "TOML parse error at line 1, column 9");
    EXPECT_EQ(error_head("a = 1\r\nb = \"open\r\n"), "TOML parse error at line 2, column 10");
    EXPECT_EQ(error_head("a = \"abc"), "TOML parse error at line 1, column 9");
    EXPECT_EQ(error_head("a = 1\n[t]\nx = 1\nx = 2\n"), "TOML parse error at line 4, column 1");
    EXPECT_EQ(error_head("[a]\n[b]\n[ a ]\n"), "TOML parse error at line 3, column 3");
    EXPECT_EQ(error_head("d = 2023-02-29\n"), "TOML parse error at line 1, column 13");
    EXPECT_EQ(error_head("n = 1_000__0\n"), "TOML parse error at line 1, column 10");
    EXPECT_EQ(error_head("# ok\n# bad \x01\n"), "TOML parse error at line 2, column 7");
}

TEST(ParserErrors, DescribeTheFault) {
    auto result = parse("a = 1\na = 2\n");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(),
              "TOML parse error at line 2, column 1\n  |\n2 | a = 2\n  | ^\nthe key \"a\" is already defined");
    auto big = parse("f = 1e400\n");
    ASSERT_FALSE(big.ok());
    EXPECT_NE(big.error().find("too large for a 64-bit float"), std::string::npos);
}

TEST(ParserErrors, ShowControlCharactersInTheSourceLineAsReplacements) {
    auto result = parse("a = \"x\x1B[31my\"\n");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().find('\x1B'), std::string::npos);
    EXPECT_NE(result.error().find("1 | a = \"x\xEF\xBF\xBD[31my\"\n  |       ^"), std::string::npos) << result.error();
}

TEST(ParserTables, DottedKeysMayDefineATableFirstMadeByDeeperHeaders) {
    auto result = parse("[fruit.apple.texture]\nsmooth = true\n[fruit]\napple.color = \"red\"\n");
    ASSERT_TRUE(result.ok()) << result.error();
    const Table& apple = result->find("fruit")->as_table().find("apple")->as_table();
    EXPECT_TRUE(apple.contains("color"));
    EXPECT_TRUE(apple.contains("texture"));
    // Then the dotted keys have defined it: no header may define it again.
    EXPECT_FALSE(parse("[a.b.c]\n[a]\nb.d = 1\n[a.b]\n").ok());
    EXPECT_TRUE(parse("[a.b.c]\n[a]\nb.d = 1\n[a.b.e]\n").ok());
}

TEST(ParserTables, FloatsBelowTheRangeRoundToZero) {
    auto result = parse("a = 1e-400\nb = -1e-400\n");
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result->find("a")->as_float(), 0.0);
    EXPECT_TRUE(std::signbit(result->find("b")->as_float()));
}

// Keys k<n> in descending order, so that nothing arrives sorted.
std::string many_pairs(int count, const std::string& separator) {
    std::string text;
    for (int i = count; i > 0; --i) text += "k" + std::to_string(i) + " = " + std::to_string(i) + separator;
    return text;
}

TEST(ParserLargeTables, SortAndCheckDuplicatesAtScale) {
    const int count = 20000;
    auto root = parse(many_pairs(count, "\n"));
    ASSERT_TRUE(root.ok()) << root.error();
    EXPECT_EQ(root->size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(testing::keys_sorted(Value(*root)));
    EXPECT_EQ(root->find("k777")->as_integer(), 777);

    auto duplicate = parse(many_pairs(count, "\n") + "k12345 = 0\n");
    ASSERT_FALSE(duplicate.ok());
    EXPECT_EQ(duplicate.error().rfind("TOML parse error at line 20001, column 1\n", 0), 0u);

    auto inline_table = parse("t = { " + many_pairs(5000, ", ") + "}\n");
    ASSERT_TRUE(inline_table.ok()) << inline_table.error();
    EXPECT_EQ(inline_table->find("t")->as_table().size(), 5000u);
    EXPECT_TRUE(testing::keys_sorted(Value(*inline_table)));
}

TEST(ParserLargeTables, ManyHeadersReopenTheirParents) {
    std::string text;
    for (int i = 3000; i > 0; --i) text += "[t" + std::to_string(i) + "]\nx = " + std::to_string(i) + "\n";
    text += "[t1500.sub]\ny = 1\n";
    auto result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result->size(), 3000u);
    EXPECT_TRUE(testing::keys_sorted(Value(*result)));
    EXPECT_EQ(result->find("t1500")->as_table().find("sub")->as_table().find("y")->as_integer(), 1);
    EXPECT_FALSE(parse(text + "[t1500]\n").ok());
}

TEST(ParserLargeTables, ArraysOfManyItems) {
    std::string items;
    for (int i = 0; i < 5000; ++i) items += std::to_string(i) + ",";
    auto result = parse("a = [" + items + "]\nb = [[" + items + "], [1]]\n");
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result->find("a")->as_array().size(), 5000u);
    EXPECT_EQ(result->find("a")->as_array()[4999].as_integer(), 4999);
    const Array& b = result->find("b")->as_array();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].as_array().size(), 5000u);
    EXPECT_EQ(b[1].as_array()[0].as_integer(), 1);
}

TEST(ParserLargeTables, ManySmallTablesOfAnArrayOfTables) {
    std::string text = "title = 'x'\n";
    for (int i = 0; i < 300; ++i) {
        text += "[[records]]\nid = " + std::to_string(i) + "\nname = 'n'\ntags = ['a', 'b']\n"
                "location = { lat = 1.5, lon = 2.5 }\nsub.x = 1\nsub.y = 2\n";
    }
    auto result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error();
    const Array& records = result->find("records")->as_array();
    ASSERT_EQ(records.size(), 300u);
    EXPECT_EQ(records[0].as_table().find("tags")->as_array().size(), 2u);
    EXPECT_EQ(records[150].as_table().find("sub")->as_table().find("y")->as_integer(), 2);
    EXPECT_EQ(records[299].as_table().find("id")->as_integer(), 299);
}

// Elements of an array of tables that repeat the keys of the one before, in the same order or
// another, with one key changed, or with long keys, must each come out sorted with their values.
TEST(ParserLargeTables, ElementsRepeatingOrChangingTheKeysOfTheOneBefore) {
    const std::vector<std::string> elements = {
        "z = 1\na = 2\nm = 3\n",          "z = 1\na = 2\nm = 3\n",
        "a = 2\nz = 1\nm = 3\n",          "z = 1\na = 2\nn = 3\n",
        "z = 1\na = 2\n",                 "long_key_one = 1\nlong_key_two = 2\nb = 3\n",
        "long_key_one = 1\nlong_key_two = 2\nb = 3\n", "long_key_two = 2\nlong_key_one = 1\nb = 3\n",
        "",                                "z = 1\na = 2\nm = 3\n",
    };
    std::string text;
    for (const std::string& e : elements) text += "[[t]]\n" + e;
    auto result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error();
    const Array& t = result->find("t")->as_array();
    ASSERT_EQ(t.size(), elements.size());
    EXPECT_TRUE(testing::keys_sorted(Value(*result)));
    for (std::size_t i = 0; i < elements.size(); ++i) {
        auto alone = parse(elements[i]);
        ASSERT_TRUE(alone.ok());
        EXPECT_EQ(testing::tree_difference(t[i], Value(std::move(alone).value())), "") << i;
    }
}

// Long keys met again share their storage, up to a bound on how many are remembered; every
// table must read back its own keys whichever way each was stored.
TEST(ParserLargeTables, LongKeysRepeatedAcrossManyTables) {
    std::string text;
    const std::string beyond_limit(100, 'q');
    for (int i = 0; i < 6000; ++i) {
        const std::string n = std::to_string(i);
        text += "[[t]]\nshared_long_key = " + n + "\nown_long_key_" + n + " = " + n + "\n" + beyond_limit + " = " + n +
                "\ninner = { shared_long_key = 'x" + n + "' }\n";
    }
    auto result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error();
    const Array& t = result->find("t")->as_array();
    ASSERT_EQ(t.size(), 6000u);
    for (int i : {0, 1, 4095, 4096, 5999}) {
        const Table& e = t[static_cast<std::size_t>(i)].as_table();
        const std::string n = std::to_string(i);
        EXPECT_EQ(e.find("shared_long_key")->as_integer(), i);
        EXPECT_EQ(e.find("own_long_key_" + n)->as_integer(), i);
        EXPECT_EQ(e.find(beyond_limit)->as_integer(), i);
        EXPECT_EQ(e.find("inner")->as_table().find("shared_long_key")->as_string(), "x" + n);
        EXPECT_EQ(e.size(), 4u);
    }
    EXPECT_TRUE(testing::keys_sorted(Value(*result)));
}

TEST(ParserInlineTables, RecordsExactlyTheTablesWrittenInBraces) {
    std::vector<KeyPath> inline_tables;
    auto result = parse(
        "a = { b.c = { d = 1 }, e = {} }\n"
        "\"x.y\" = {}\n"
        "[t]\n"
        "u.v = { w = [ { z = {} } ] }\n"
        "[[list]]\n"
        "in_array = { q = 1 }\n"
        "[list.sub]\n"
        "deeper = {}\n",
        &inline_tables);
    ASSERT_TRUE(result.ok()) << result.error();
    std::sort(inline_tables.begin(), inline_tables.end());
    std::vector<KeyPath> expected = {
        {"a"}, {"a", "b", "c"}, {"a", "e"}, {"t", "u", "v"}, {"x.y"},
    };
    EXPECT_EQ(inline_tables, expected);
}

TEST(ParserInlineTables, RecordNothingWhenTheTextIsRefused) {
    std::vector<KeyPath> inline_tables;
    EXPECT_FALSE(parse("a = {}\nb = {}\nb = 1\n", &inline_tables).ok());
    EXPECT_TRUE(inline_tables.empty());
}

}  // namespace
}  // namespace qeld::doc
