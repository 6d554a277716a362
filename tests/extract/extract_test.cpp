// The extract command over small documents: every TOML 1.1.0 value form extracts to its
// kind, and every malformed document is refused with status 1 and no schema written.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/writer.h"
#include "document/parse.h"
#include "extract/extract.h"
#include "schema/model.h"

namespace qeld::extract {
namespace {

namespace fs = std::filesystem;

const std::string head = "[vantle]\nversion = \"1.0.0\"\n\n[elements]\n";

// Each block as "header below elements|type" or "header|array|itemtype".
std::string schema_text(const std::vector<std::string>& blocks) {
    std::string out = head;
    for (const std::string& block : blocks) {
        std::size_t bar = block.find('|');
        out += "\n[elements." + block.substr(0, bar) + "]\n";
        std::string rest = block.substr(bar + 1);
        std::size_t second = rest.find('|');
        out += "type = \"" + rest.substr(0, second) + "\"\n";
        if (second != std::string::npos) out += "itemtype = \"" + rest.substr(second + 1) + "\"\n";
    }
    return out;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs the command in a folder of its own per case.
class ExtractCommand {
public:
    explicit ExtractCommand(const std::string& name, const std::string& document) {
        char folder[] = "/tmp/qeld-extract-XXXXXX";
        if (mkdtemp(folder) == nullptr) std::abort();
        dir_ = folder;
        std::ofstream(dir_ / (name + ".toml"), std::ios::binary) << document;
        document_ = (dir_ / (name + ".toml")).string();
        schema_ = (dir_ / (name + ".qeld")).string();
        status = cli::extract(document_, schema_, out, err);
    }
    ~ExtractCommand() { fs::remove_all(dir_); }

    bool schema_written() const { return fs::exists(schema_); }
    std::string schema() const { return read_file(schema_); }
    const std::string& document_path() const { return document_; }
    const std::string& schema_path() const { return schema_; }

    cli::StringWriter out;
    cli::StringWriter err;
    cli::ExitStatus status = 255;

private:
    fs::path dir_;
    std::string document_;
    std::string schema_;
};

struct ValidCase {
    const char* name;
    const char* document;
    std::vector<std::string> blocks;
};

void PrintTo(const ValidCase& c, std::ostream* os) { *os << c.name; }

class ExtractsEveryForm : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ExtractsEveryForm, ToItsKind) {
    ExtractCommand run(GetParam().name, GetParam().document);
    EXPECT_EQ(run.err.text(), "");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out.text(), "Extracted schema to " + run.schema_path() + "\n");
    EXPECT_EQ(run.schema(), schema_text(GetParam().blocks));
}

INSTANTIATE_TEST_SUITE_P(
    Toml, ExtractsEveryForm,
    ::testing::Values(
        ValidCase{"CommentsAndBlankLinesOnly", "# nothing\n\n   \n# here\n", {}},
        ValidCase{"CrLfLineEnds", "a = 1\r\nb = 'x'\r\n", {"a|integer", "b|string"}},
        ValidCase{"StringsOfAllFourKinds",
                  "basic = \"a\\tb \\\"q\\\" \\u00E9 \\U0001F600 é\"\n"
                  "literal = 'C:\\Users\\x'\n"
                  "multi_basic = \"\"\"\nline \\\n   joined \"\"quotes\"\"\"\"\"\n"
                  "multi_literal = '''\nraw \\n ''two'' '''\n"
                  "empty = \"\"\n",
                  {"basic|string", "empty|string", "literal|string", "multi_basic|string", "multi_literal|string"}},
        ValidCase{"EscapeAndHexEscapes", "e = \"\\e[0m\"\nx = \"\\x41\\xe9\\xFF\"\nm = \"\"\"\\e\\x00\"\"\"\n",
                  {"e|string", "m|string", "x|string"}},
        ValidCase{"EscapesInKeys", "\"\\x41\" = 1\n\"\\e\" = 2\n\"\\x2E\\t\" = 3\n",
                  {"\"\\u001B\"|integer", "\".\\t\"|integer", "A|integer"}},
        ValidCase{"IntegersInEveryBase",
                  "dec = 42\npos = +17\nneg = -5\nzero = 0\nsigned_zero = -0\nunder = 1_000\n"
                  "hex = 0xDEAD_beef\noct = 0o7_55\nbin = 0b1101\nmax = 9223372036854775807\n"
                  "min = -9223372036854775808\nhex_max = 0x7FFFFFFFFFFFFFFF\n",
                  {"bin|integer", "dec|integer", "hex|integer", "hex_max|integer", "max|integer", "min|integer",
                   "neg|integer", "oct|integer", "pos|integer", "signed_zero|integer", "under|integer",
                   "zero|integer"}},
        ValidCase{"FloatsIncludingSpecialValues",
                  "frac = 3.14\nexp = 5e+22\nboth = -2E-2\nunder = 224_617.445_991\nzero = -0.0\n"
                  "inf = inf\npinf = +inf\nninf = -inf\nnan = nan\npnan = +nan\nnnan = -nan\n",
                  {"both|float", "exp|float", "frac|float", "inf|float", "nan|float", "ninf|float", "nnan|float",
                   "pinf|float", "pnan|float", "under|float", "zero|float"}},
        ValidCase{"Booleans", "t = true\nf = false\n", {"f|boolean", "t|boolean"}},
        ValidCase{"OffsetDateTimes",
                  "z = 1979-05-27T07:32:00Z\noff = 1979-05-27T00:32:00-07:00\n"
                  "frac = 1979-05-27T00:32:00.999999-07:00\nspace = 1979-05-27 07:32:00Z\n"
                  "lower = 1979-05-27t07:32:00z\nno_seconds = 1979-05-27T07:32Z\n"
                  "no_seconds_offset = 1979-05-27T07:32+05:30\n",
                  {"frac|offset-date-time", "lower|offset-date-time", "no_seconds|offset-date-time",
                   "no_seconds_offset|offset-date-time", "off|offset-date-time", "space|offset-date-time",
                   "z|offset-date-time"}},
        ValidCase{"LocalDateTimes",
                  "t = 1979-05-27T07:32:00\nfrac = 1979-05-27T00:32:00.999999\nspace = 1979-05-27 07:32:00\n"
                  "no_seconds = 1979-05-27T07:32\n",
                  {"frac|local-date-time", "no_seconds|local-date-time", "space|local-date-time",
                   "t|local-date-time"}},
        ValidCase{"LocalDatesAndTimes",
                  "d = 1979-05-27\nleap = 2000-02-29\nt = 07:32:00\nfrac = 00:32:00.999999\nno_seconds = 07:32\n",
                  {"d|local-date", "frac|local-time", "leap|local-date", "no_seconds|local-time", "t|local-time"}},
        ValidCase{"InlineTablesWithNewlinesAndTrailingCommas",
                  "t = {\n  a = 1,\n  b = { c = \"x\", },  # note\n}\nempty = {}\nflat = { x = 1, y.z = 2 }\n",
                  {"empty|table", "flat|table", "flat.x|integer", "flat.y|table", "flat.y.z|integer", "t|table",
                   "t.a|integer", "t.b|table", "t.b.c|string"}},
        ValidCase{"NestedSectionTables", "[x.y]\nq = 1\n[x]\nz = 1\n[a.b.c]\nd = 1\n",
                  {"a|table", "a.b|table", "a.b.c|table", "a.b.c.d|integer", "x|table", "x.y|table",
                   "x.y.q|integer", "x.z|integer"}},
        ValidCase{"ArraysOfTablesGetNoBlocksBelow",
                  "[[fruit]]\nname = 'apple'\n[fruit.physical]\ncolor = 'red'\n[[fruit.variety]]\nname = 'red'\n"
                  "[[fruit]]\nname = 'banana'\n[[a.b]]\nx = 1\n",
                  {"a|table", "a.b|array|table", "fruit|array|table"}},
        ValidCase{"DottedKeys",
                  "site.\"google.com\" = true\nfruit . color = 'y'\nfruit.'flavour x' = 'z'\n3.14159 = 'pi'\n",
                  {"3|table", "3.14159|string", "fruit|table", "fruit.color|string", "fruit.\"flavour x\"|string",
                   "site|table", "site.\"google.com\"|boolean"}},
        ValidCase{"MultilineArrays", "a = [\n  1,\n  2, # two\n]\nm = [1, 'a', [2], { b = 3 }]\n",
                  {"a|array|integer", "m|array|any"}},
        ValidCase{"QuotedKeys", "\"\" = 1\n'lit' = { x = 1 }\n'q k' = 2\n\"ʎǝʞ\" = 3\n",
                  {"\"\"|integer", "lit|table", "lit.x|integer", "\"q k\"|integer", "\"ʎǝʞ\"|integer"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase {
    const char* name;
    const char* document;
};

void PrintTo(const InvalidCase& c, std::ostream* os) { *os << c.name; }

class RefusesInvalidToml : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(RefusesInvalidToml, WithStatusOneAndNoSchema) {
    ExtractCommand run(GetParam().name, GetParam().document);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.text(), "");
    EXPECT_EQ(run.err.text().rfind(run.document_path() + ": TOML parse error at line ", 0), 0u) << run.err.text();
    EXPECT_EQ(run.err.text().back(), '\n');
    EXPECT_FALSE(run.schema_written());
}

INSTANTIATE_TEST_SUITE_P(
    Toml, RefusesInvalidToml,
    ::testing::Values(
        InvalidCase{"LeadingZero", "a = 01\n"}, InvalidCase{"DoubleUnderscore", "a = 1__0\n"},
        InvalidCase{"LeadingUnderscore", "a = _1\n"}, InvalidCase{"TrailingUnderscore", "a = 1_\n"},
        InvalidCase{"UpperCaseHexPrefix", "a = 0X10\n"}, InvalidCase{"SignedHex", "a = +0x10\n"},
        InvalidCase{"EmptyHex", "a = 0x\n"}, InvalidCase{"BinaryDigitTwo", "a = 0b102\n"},
        InvalidCase{"OctalDigitEight", "a = 0o78\n"}, InvalidCase{"IntegerAboveRange", "a = 9223372036854775808\n"},
        InvalidCase{"IntegerBelowRange", "a = -9223372036854775809\n"}, InvalidCase{"BareFraction", "a = .5\n"},
        InvalidCase{"TrailingDot", "a = 1.\n"}, InvalidCase{"EmptyExponent", "a = 1e\n"},
        InvalidCase{"DotBeforeExponent", "a = 1.e2\n"}, InvalidCase{"HexFloat", "a = 0x1p3\n"},
        InvalidCase{"CapitalInf", "a = Inf\n"}, InvalidCase{"CapitalNan", "a = NaN\n"},
        InvalidCase{"CapitalTrue", "a = True\n"}, InvalidCase{"UnterminatedString", "a = \"open\n"},
        InvalidCase{"NewlineInBasicString", "a = \"line\nbreak\"\n"}, InvalidCase{"UnknownEscape", "a = \"\\q\"\n"},
        InvalidCase{"ShortHexEscape", "a = \"\\x4\"\n"}, InvalidCase{"BadHexEscape", "a = \"\\xG0\"\n"},
        InvalidCase{"SurrogateEscape", "a = \"\\uD800\"\n"}, InvalidCase{"EscapeBeyondUnicode", "a = \"\\U00110000\"\n"},
        InvalidCase{"ControlCharacterInString", "a = \"\x01\"\n"}, InvalidCase{"DeleteInLiteral", "a = '\x7f'\n"},
        InvalidCase{"UnterminatedMultiline", "a = '''open\n"}, InvalidCase{"DayBeyondMonth", "a = 1979-02-30\n"},
        InvalidCase{"MonthThirteen", "a = 1979-13-01\n"}, InvalidCase{"HourTwentyFour", "a = 24:00:00\n"},
        InvalidCase{"MinuteSixty", "a = 07:60\n"}, InvalidCase{"TimeWithOffset", "a = 07:32:00Z\n"},
        InvalidCase{"DateWithOffset", "a = 1979-05-27Z\n"}, InvalidCase{"ShortMonth", "a = 1979-5-27\n"},
        InvalidCase{"FractionWithoutDigits", "a = 07:32:00.\n"}, InvalidCase{"DuplicateKey", "a = 1\na = 2\n"},
        InvalidCase{"EmptyBasicAndLiteralKeyAlike", "\"\" = 1\n'' = 2\n"},
        InvalidCase{"DuplicateTable", "[a]\n[a]\n"}, InvalidCase{"SectionOverInlineTable", "a = { x = 1 }\n[a]\n"},
        InvalidCase{"DottedKeyIntoInlineTable", "a = { x = 1 }\na.y = 2\n"},
        InvalidCase{"ArrayOfTablesOverArray", "a = [1]\n[[a]]\n"}, InvalidCase{"TableOverArrayOfTables", "[[a]]\n[a]\n"},
        InvalidCase{"SectionOverDottedValue", "a.b = 1\n[a.b]\n"}, InvalidCase{"DoubleCommaInInlineTable", "a = { x = 1,, }\n"},
        InvalidCase{"LoneCommaInInlineTable", "a = {,}\n"}, InvalidCase{"DoubleCommaInArray", "a = [1,,2]\n"},
        InvalidCase{"MissingValue", "a =\n"}, InvalidCase{"MissingKey", "= 1\n"}, InvalidCase{"KeyAlone", "a\n"},
        InvalidCase{"TwoPairsOnOneLine", "a = 1 b = 2\n"}, InvalidCase{"UnclosedHeader", "[a\n"},
        InvalidCase{"EmptyHeader", "[]\n"}, InvalidCase{"TrailingDotInKey", "a. = 1\n"},
        InvalidCase{"SpaceInBareKey", "a b = 1\n"}, InvalidCase{"NonAsciiBareKey", "é = 1\n"},
        InvalidCase{"UnclosedArrayOfTablesHeader", "[[a]\n"}),
    [](const auto& info) { return std::string(info.param.name); });

std::string repeated_key(std::size_t segments, const std::string& separator) {
    std::string key = "k";
    for (std::size_t i = 1; i < segments; ++i) key += separator + "k";
    return key;
}

// Every document that parses gives a schema that loads and finds the document valid: keys that
// must be escaped, and documents nested as deep as the parser allows, whose schema lies two
// levels deeper (below [elements], then the type line).
TEST(WhatExtractWrites, LoadsAndAcceptsTheDocument) {
    std::string inline_tables = "v = 1";
    for (std::size_t i = 1; i < doc::max_depth; ++i) inline_tables = "k = { " + inline_tables + " }";
    const std::vector<std::string> documents = {
        "\"a\\u007Fb\" = 1\n[\"\\u007F\"]\n\"\\u007F\\u0001\" = { \"\\u007F\" = 'x' }\n",
        repeated_key(doc::max_depth, ".") + " = 1\n",
        "[" + repeated_key(doc::max_depth, ".") + "]\n",
        "[" + repeated_key(doc::max_depth - 1, ".") + "]\nv = 1979-05-27\n",
        inline_tables + "\n",
    };
    for (const std::string& text : documents) {
        auto document = doc::parse(text);
        ASSERT_TRUE(document.ok()) << document.error();
        auto schema = schema::Schema::from_source("extracted.qeld", generate_schema(*document));
        ASSERT_TRUE(schema.ok()) << schema.error() << "\nfor " << text.substr(0, 60);
        EXPECT_TRUE(schema->validate(*document).errors.empty()) << text.substr(0, 60);
    }
}

// Shapes the parser never yields still have a kind: date-times of any other combination of parts.
TEST(ExtractionKind, UnusualDateTimeShapesAreAny) {
    doc::DateTime time_with_offset;
    time_with_offset.time = doc::Time{};
    time_with_offset.offset = doc::Offset{};
    doc::DateTime date_with_offset;
    date_with_offset.date = doc::Date{};
    date_with_offset.offset = doc::Offset{};
    doc::Table table;
    table.set("none", doc::Value(doc::DateTime{}));
    table.set("time_offset", doc::Value(time_with_offset));
    table.set("date_offset", doc::Value(date_with_offset));
    table.set("items", doc::Value(doc::Array{doc::Value(time_with_offset), doc::Value(time_with_offset)}));
    EXPECT_EQ(generate_schema(table),
              schema_text({"date_offset|any", "items|array|any", "none|any", "time_offset|any"}));
}

}  // namespace
}  // namespace qeld::extract
