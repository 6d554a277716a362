#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "document/parse.h"

namespace qeld::doc {
namespace {

Table parse_ok(std::string_view text) {
    auto result = parse(text);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error());
    return result.ok() ? std::move(result).value() : Table();
}

DateTime datetime_at(const Table& t, std::string_view key) { return t.find(key)->as_datetime(); }

TEST(DocumentParse, KeysIterateInByteOrder) {
    Table t = parse_ok("b = 1\nB = 2\n\"é\" = 3\n1 = 4\na = 5\n");
    std::string order;
    for (const auto& e : t) order += e.key + ",";
    EXPECT_EQ(order, "1,B,a,b,é,");
}

TEST(DocumentParse, ScalarKinds) {
    Table t = parse_ok("s = 'x'\ni = 0x10\nf = 1.5\nb = true\nn = nan\nbig = 9223372036854775807\n");
    EXPECT_EQ(t.find("s")->as_string(), "x");
    EXPECT_EQ(t.find("i")->kind(), ValueKind::Integer);
    EXPECT_EQ(t.find("f")->as_float(), 1.5);
    EXPECT_TRUE(t.find("b")->as_boolean());
    EXPECT_NE(t.find("n")->as_float(), t.find("n")->as_float());
    EXPECT_EQ(t.find("big")->as_integer(), INT64_MAX);
}

TEST(DocumentParse, DateTimePartsFollowTheText) {
    Table t = parse_ok(
        "a = 1979-05-27T07:32:00Z\n"
        "b = 1979-05-27T07:32:00+00:00\n"
        "c = 1979-05-27T07:32Z\n"
        "d = 1979-05-27 07:32:00.0\n"
        "e = 1979-05-27\n"
        "f = 12:00\n"
        "g = 12:00:05.1234567891\n"
        "h = 1979-05-27T00:32:00-07:30\n");
    const DateTime& a = datetime_at(t, "a");
    ASSERT_TRUE(a.offset && a.date && a.time);
    EXPECT_TRUE(a.offset->z);
    EXPECT_EQ(a.offset->minutes, 0);
    EXPECT_EQ(a.time->second, 0);
    EXPECT_FALSE(a.time->nanosecond);

    const DateTime& b = datetime_at(t, "b");
    EXPECT_FALSE(b.offset->z);
    EXPECT_EQ(b.offset->minutes, 0);

    const DateTime& c = datetime_at(t, "c");
    EXPECT_FALSE(c.time->second.has_value());
    EXPECT_TRUE(c.offset->z);

    const DateTime& d = datetime_at(t, "d");
    EXPECT_FALSE(d.offset.has_value());
    EXPECT_EQ(d.time->nanosecond, 0u);

    const DateTime& e = datetime_at(t, "e");
    EXPECT_TRUE(e.date && !e.time && !e.offset);
    EXPECT_EQ(e.date->year, 1979);
    EXPECT_EQ(e.date->month, 5);
    EXPECT_EQ(e.date->day, 27);

    const DateTime& f = datetime_at(t, "f");
    EXPECT_TRUE(!f.date && f.time && !f.offset);
    EXPECT_FALSE(f.time->second.has_value());

    const DateTime& g = datetime_at(t, "g");
    EXPECT_EQ(g.time->second, 5);
    EXPECT_EQ(g.time->nanosecond, 123456789u);

    EXPECT_EQ(datetime_at(t, "h").offset->minutes, -450);
}

TEST(DocumentParse, AcceptsTomlOnePointOneSyntax) {
    Table t = parse_ok(
        "a = { x = 1, }\n"
        "b = {\n  y = 2, # comment\n  z = 3\n}\n"
        "c = \"\\e\\x41\"\n");
    EXPECT_EQ(t.find("a")->as_table().size(), 1u);
    EXPECT_EQ(t.find("b")->as_table().size(), 2u);
    EXPECT_EQ(t.find("c")->as_string(), "\x1b" "A");
}

struct Refused {
    const char* name;
    const char* text;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class DocumentParseRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(DocumentParseRefuses, WithAFramedError) {
    auto result = parse(GetParam().text);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().rfind("TOML parse error at line ", 0), 0u) << result.error();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DocumentParseRefuses,
    ::testing::Values(Refused{"NonAsciiBareKey", "é = 1\n"}, Refused{"PlusInBareKey", "a+b = 1\n"},
                      Refused{"HexFloat", "a = 0x1.8p1\n"}, Refused{"IntegerOverflow", "a = 9223372036854775808\n"},
                      Refused{"DuplicateKey", "a = 1\na = 2\n"}, Refused{"OpenBracket", "[\n"},
                      Refused{"BangHeader", "[!]\n"}, Refused{"DotHeader", "[.]\n"}, Refused{"DotsHeader", "[..]\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DocumentParse, AcceptsLeapSeconds) {
    Table t = parse_ok("a = 23:59:60\nb = 1990-12-31T23:59:60Z\n");
    EXPECT_EQ(datetime_at(t, "a").time->second, 60);
    EXPECT_EQ(datetime_at(t, "b").time->second, 60);
}

TEST(DocumentParse, RefusesDeepNestingWithoutCrashing) {
    std::string arrays = "a = " + std::string(5000, '[') + std::string(5000, ']') + "\n";
    EXPECT_FALSE(parse(arrays).ok());
    std::string tables = "a = ";
    for (int i = 0; i < 5000; ++i) tables += "{ b = ";
    tables += "1";
    for (int i = 0; i < 5000; ++i) tables += " }";
    EXPECT_FALSE(parse(tables).ok());
}

TEST(DocumentParse, RefusesKeysOfTensOfThousandsOfSegments) {
    std::string dotted = "a";
    for (int i = 0; i < 40000; ++i) dotted += ".a";
    auto key = parse(dotted + " = 1\n");
    ASSERT_FALSE(key.ok());
    EXPECT_NE(key.error().find("dotted segments"), std::string::npos);

    std::string header = "[a";
    for (int i = 0; i < 100000; ++i) header += ".a";
    EXPECT_FALSE(parse(header + "]\n").ok());

    std::string quoted = "\"a\"";
    for (int i = 0; i < 300; ++i) quoted += ".\"a\"";
    EXPECT_FALSE(parse(quoted + " = 1\n").ok());
}

TEST(DocumentParse, AcceptsKeysUpToTheSegmentLimit) {
    std::string dotted = "a";
    for (std::size_t i = 1; i < max_key_segments; ++i) dotted += ".a";
    EXPECT_TRUE(parse(dotted + " = 1\n").ok());
    // Dots inside strings and comments are no segments.
    std::string text = "s = \"" + std::string(1000, '.') + "\" # " + std::string(1000, '.') + "\n";
    EXPECT_TRUE(parse(text).ok());
}

TEST(DocumentParse, ErrorFrameShowsLineAndCaret) {
    auto result = parse("a = 1\nb = tru\n");
    ASSERT_FALSE(result.ok());
    const std::string& e = result.error();
    EXPECT_EQ(e.rfind("TOML parse error at line 2, column ", 0), 0u) << e;
    // Frame: header, gutter, numbered source line, caret, one-line description.
    std::size_t lines = 0;
    for (char c : e) lines += c == '\n';
    EXPECT_EQ(lines, 4u) << e;
    EXPECT_NE(e.find("\n  |\n2 | b = tru\n  |     "), std::string::npos) << e;
}

TEST(DocumentParse, FormatCountsColumnsInCharacters) {
    EXPECT_EQ(format_parse_error("x = \"é\" y\n", 1, 9, "expected\na newline"),
              "TOML parse error at line 1, column 9\n"
              "  |\n"
              "1 | x = \"é\" y\n"
              "  |         ^\n"
              "expected a newline");
    EXPECT_EQ(format_parse_error("\n\n\n\n\n\n\n\n\nabc\n", 10, 2, "d"),
              "TOML parse error at line 10, column 2\n   |\n10 | abc\n   |  ^\nd");
}

TEST(DocumentParse, RecordsInlineTablesOutsideArrays) {
    std::vector<KeyPath> inline_tables;
    auto result = parse(
        "[elements.server]\n"
        "default = { port = 80, tls = { on = true } }\n"
        "dotted.x = 1\n"
        "list = [{ a = 1 }]\n"
        "[elements.server.section]\n"
        "k = 1\n"
        "[[rows]]\n"
        "t = { q = 1 }\n",
        &inline_tables);
    ASSERT_TRUE(result.ok()) << result.error();
    std::sort(inline_tables.begin(), inline_tables.end());
    std::vector<KeyPath> expected = {
        {"elements", "server", "default"},
        {"elements", "server", "default", "tls"},
    };
    EXPECT_EQ(inline_tables, expected);
}

// The parser gives a file's pages back as it goes; the tree and every error message are those of
// the text parsed as a whole, for a fault on any line of a long file, in a multi-line value
// begun long before, or on the line of a lone carriage return after a statement.
TEST(DocumentParse, AFileGivingBackItsTextGivesTheSameTreeAndErrors) {
    char name[] = "/tmp/qeld-parse-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string text;
    for (int i = 0; text.size() < 3 * FileText::release_threshold; ++i) {
        text += "[t" + std::to_string(i) + "]\nk = \"v" + std::to_string(i) + "\"\n";
    }
    std::string long_array = "a = [\n";
    for (int i = 0; long_array.size() < FileText::release_threshold; ++i) long_array += std::to_string(i) + ",\n";
    const std::string variants[] = {text, text + "[t7]\n", "[t0]\n" + text, text + "x = 1\r\n",
                                    text + "x = 1\ry = 2\n", text + long_array + "}\n", text + long_array};
    for (const std::string& variant : variants) {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << variant;
        auto file = FileText::read(name);
        ASSERT_TRUE(file.ok()) << file.error();
        ASSERT_TRUE(file->releasable());
        auto from_file = parse(*file);
        auto from_text = parse(variant);
        ASSERT_EQ(from_file.ok(), from_text.ok());
        if (from_text.ok()) {
            EXPECT_EQ(from_file->size(), from_text->size());
            EXPECT_EQ(from_file->find("t1000")->as_table().find("k")->as_string(), "v1000");
        } else {
            EXPECT_EQ(from_file.error(), from_text.error());
        }
        // Every variant but the one refused on its third line is read far enough to give back.
        if (variant.rfind("[t0]\n[t0]", 0) != 0) {
            EXPECT_GT(file->kept().offset, 0u);
        }
    }
    std::remove(name);
}

}  // namespace
}  // namespace qeld::doc
