// The frame of a parse error: where, the source line with a caret, and what went wrong.

#include <string>
#include <string_view>

#include "document/parse.h"

namespace qeld::doc {

namespace {

std::string one_line(std::string_view description) {
    std::string out;
    out.reserve(description.size());
    for (char c : description) out.push_back((c == '\n' || c == '\r') ? ' ' : c);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The source line as shown: control characters other than tab become U+FFFD, one character
// each, so that the caret stays in its column and nothing reaches a terminal raw.
std::string printable_line(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (char ch : line) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            out += "\xEF\xBF\xBD";
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

// A longer source line is quoted as a window of this many characters around the column, so that
// the frame of an error on a huge line stays small and costs little to build.
constexpr std::size_t frame_width = 200;
constexpr std::string_view cut_mark = "...";

// The part of one source line that the frame quotes.
struct LineWindow {
    std::string_view text;
    std::size_t skipped = 0;  // characters of the line before the window
    bool cut_before = false;
    bool cut_after = false;
};

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The line ends at a line feed, at the end of the text, or at a carriage return just before
// either, which is not shown.
bool is_line_end(std::string_view text, std::size_t i) {
    if (i >= text.size() || text[i] == '\n') return true;
    return text[i] == '\r' && (i + 1 == text.size() || text[i + 1] == '\n');
}

// Characters are counted as the column is: one for every byte that does not continue a UTF-8
// sequence.
std::size_t next_character(std::string_view text, std::size_t i) {
    ++i;
    while (i < text.size() && is_continuation(text[i])) ++i;
    return i;
}

std::size_t previous_character(std::string_view text, std::size_t i, std::size_t line_start) {
    --i;
    while (i > line_start && is_continuation(text[i])) --i;
    return i;
}

// The whole line when it has at most frame_width characters; otherwise frame_width characters
// with the caret's character near the middle, or as near as the line's ends allow. Reads only as
// far as the window reaches.
LineWindow window_around(std::string_view text, std::size_t line_start, std::size_t caret_index) {
    LineWindow window;
    const std::size_t wanted_skip = caret_index > frame_width / 2 ? caret_index - frame_width / 2 : 0;
    std::size_t begin = line_start;
    while (window.skipped < wanted_skip && !is_line_end(text, begin)) {
        begin = next_character(text, begin);
        ++window.skipped;
    }
    std::size_t end = begin;
    std::size_t taken = 0;
    while (taken < frame_width && !is_line_end(text, end)) {
        end = next_character(text, end);
        ++taken;
    }
    // Near the line's end the window reaches back instead.
    while (taken < frame_width && window.skipped > 0) {
        begin = previous_character(text, begin, line_start);
        --window.skipped;
        ++taken;
    }
    window.text = text.substr(begin, end - begin);
    window.cut_before = window.skipped > 0;
    window.cut_after = !is_line_end(text, end);
    return window;
}

std::string heading(const std::string& line_number, std::size_t column) {
    return "TOML parse error at line " + line_number + ", column " + std::to_string(column) + "\n";
}

}  // namespace

TextPosition position_of(std::string_view text, std::size_t offset) {
    TextPosition p{1, 1};
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++p.line;
            p.column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++p.column;
        }
    }
    return p;
}

std::string format_parse_error(std::string_view text, std::size_t line, std::size_t column,
                               std::string_view description, std::size_t first_line) {
    std::size_t start = 0;
    for (std::size_t l = first_line; l < line && start < text.size(); ++l) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            start = text.size();
            break;
        }
        start = nl + 1;
    }
    const std::size_t caret_index = column > 0 ? column - 1 : 0;
    const LineWindow window = window_around(text, start, caret_index);

    std::string number = std::to_string(line);
    std::string gutter(number.size(), ' ');
    std::string out = heading(number, column);
    out += gutter + " |\n";
    out += number + " | ";
    if (window.cut_before) out += cut_mark;
    out += printable_line(window.text);
    if (window.cut_after) out += cut_mark;
    const std::size_t indent = (window.cut_before ? cut_mark.size() : 0) + caret_index - window.skipped;
    out += "\n" + gutter + " | " + std::string(indent, ' ') + "^\n";
    out += one_line(description);
    return out;
}

std::string format_parse_position(std::size_t line, std::size_t column, std::string_view description) {
    return heading(std::to_string(line), column) + one_line(description);
}

}  // namespace qeld::doc
