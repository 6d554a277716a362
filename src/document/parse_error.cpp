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
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view source_line = text.substr(start, end - start);
    if (!source_line.empty() && source_line.back() == '\r') source_line.remove_suffix(1);

    std::string number = std::to_string(line);
    std::string gutter(number.size(), ' ');
    std::string out = "TOML parse error at line " + number + ", column " + std::to_string(column) + "\n";
    out += gutter + " |\n";
    out += number + " | ";
    out += printable_line(source_line);
    out += "\n" + gutter + " | " + std::string(column > 0 ? column - 1 : 0, ' ') + "^\n";
    out += one_line(description);
    return out;
}

}  // namespace qeld::doc
