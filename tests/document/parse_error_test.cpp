#include <gtest/gtest.h>

#include <string>

#include "document/parse.h"

namespace qeld::doc {
namespace {

// The frame of an error at line 1 whose source line is quoted as shown, with the caret after
// indent blanks.
std::string frame_of_line_one(std::size_t column, const std::string& shown, std::size_t indent) {
    return "TOML parse error at line 1, column " + std::to_string(column) + "\n  |\n1 | " + shown + "\n  | " +
           std::string(indent, ' ') + "^\nd";
}

std::string repeated(const std::string& piece, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(ParseErrorFrame, QuotesAWindowOfALongLine) {
    // 300 characters a, b, c, ... so that every window shows where it was cut.
    std::string line;
    for (std::size_t i = 0; i < 300; ++i) line.push_back(static_cast<char>('a' + i % 26));
    const std::string two_hundred(200, 'x');
    struct Case {
        std::string text;
        std::size_t column;
        std::string shown;
        std::size_t indent;
    };
    const Case cases[] = {
        // Up to 200 characters the line is quoted whole, wherever the column.
        {two_hundred + "\n", 150, two_hundred, 149},
        {two_hundred, 201, two_hundred, 200},
        // Longer: the window starts at the line's start while the column is near it...
        {line + "\n", 1, line.substr(0, 200) + "...", 0},
        {line + "\n", 101, line.substr(0, 200) + "...", 100},
        // ... is centred on the column in the middle ...
        {line + "\n", 150, "..." + line.substr(49, 200) + "...", 103},
        // ... and ends at the line's end near it, a carriage return before the line feed unshown.
        {line + "\r\n", 280, "..." + line.substr(100), 182},
        {line, 301, "..." + line.substr(100), 203},
        // Characters, not bytes, are counted, and control characters still show as U+FFFD.
        {repeated("\xC3\xA9", 300), 150, "..." + repeated("\xC3\xA9", 200) + "...", 103},
        {std::string(300, '\0'), 1, repeated("\xEF\xBF\xBD", 200) + "...", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(format_parse_error(c.text, 1, c.column, "d"), frame_of_line_one(c.column, c.shown, c.indent))
            << "column " << c.column << " of " << c.text.size() << " bytes";
    }
}

TEST(ParseErrorFrame, FindsTheWindowOnALaterLine) {
    const std::string line(1000, 'y');
    EXPECT_EQ(format_parse_error("a = 1\n" + line + "\nb = 2\n", 2, 500, "d"),
              "TOML parse error at line 2, column 500\n  |\n2 | ..." + std::string(200, 'y') + "...\n  | " +
                  std::string(103, ' ') + "^\nd");
}

TEST(ParseErrorFrame, GivesThePositionAloneWhenAsked) {
    const ParseOptions position_only{max_depth, max_key_segments, FaultFrame::position_only};
    auto parsed = parse("a = 1\nkey = secret\n", nullptr, position_only);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error(),
              "TOML parse error at line 2, column 7\n"
              "expected a value: a string, number, boolean, date-time, array or inline table");
    EXPECT_EQ(format_parse_position(3, 4, "one\nline"), "TOML parse error at line 3, column 4\none line");
}

}  // namespace
}  // namespace qeld::doc
