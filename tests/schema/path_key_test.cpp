#include <gtest/gtest.h>

#include <string>

#include "schema/path_key.h"

namespace qeld::schema {
namespace {

using namespace std::string_literals;

struct KeyCase {
    const char* name;
    std::string key;
    std::string encoded;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class EncodePathKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(EncodePathKey, RendersTheKey) { EXPECT_EQ(encode_path_key(GetParam().key), GetParam().encoded); }

INSTANTIATE_TEST_SUITE_P(
    Keys, EncodePathKey,
    ::testing::Values(
        // The bare-key alphabet stays unquoted.
        KeyCase{"Lower", "port", "port"}, KeyCase{"MixedWithUnderscore", "Port_2", "Port_2"},
        KeyCase{"Dashes", "-x-", "-x-"}, KeyCase{"Digits", "123", "123"},
        // Everything else is a basic string.
        KeyCase{"Empty", "", "\"\""}, KeyCase{"Space", "first name", "\"first name\""},
        KeyCase{"FullStop", "a.b", "\"a.b\""}, KeyCase{"Colon", "a:b", "\"a:b\""}, KeyCase{"Hash", "#", "\"#\""},
        KeyCase{"Plus", "a+b", "\"a+b\""}, KeyCase{"NonAsciiUnchanged", "é", "\"é\""},
        KeyCase{"NonAsciiAmongBare", "caf\xC3\xA9", "\"caf\xC3\xA9\""},
        KeyCase{"FourByteCharacter", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
        KeyCase{"Quote", "\"", "\"\\\"\""}, KeyCase{"Backslash", "\\", "\"\\\\\""},
        KeyCase{"Backspace", "\b", "\"\\b\""}, KeyCase{"TabThenX", "\tx", "\"\\tx\""},
        KeyCase{"LineFeed", "\n", "\"\\n\""}, KeyCase{"FormFeed", "\f", "\"\\f\""},
        KeyCase{"CarriageReturn", "\r", "\"\\r\""}, KeyCase{"Nul", "\0"s, "\"\\u0000\""},
        KeyCase{"VerticalTab", "\v", "\"\\u000B\""}, KeyCase{"Escape", "\x1b", "\"\\u001B\""},
        KeyCase{"UnitSeparator", "\x1f", "\"\\u001F\""}, KeyCase{"Delete", "\x7f", "\"\\u007F\""},
        KeyCase{"Mixed", "a \"b\"\\\x01", "\"a \\\"b\\\"\\\\\\u0001\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeld::schema
