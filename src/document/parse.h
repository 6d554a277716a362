#pragma once
// Parsing TOML 1.1.0 text into the document tree.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_text.h"
#include "common/result.h"
#include "document/value.h"

namespace qeld::doc {

// The decoded keys from the root table down to one table.
using KeyPath = std::vector<std::string>;

// Segments of one dotted key or table header beyond this are refused as a parse error.
inline constexpr std::size_t max_key_segments = 256;

// No value may lie more than this many keys and array indices below the root table (tables,
// arrays and inline tables together; each segment of a dotted key or header counts, and an
// element of an array of tables lies two levels below the table holding the array). Deeper
// input is refused as a parse error, so that no walk over the tree needs more than this much
// recursion.
inline constexpr std::size_t max_depth = 256;

// Parses a whole document. On failure the message is the framed parse error:
// "TOML parse error at line L, column C", the source line with a caret, and a description.
// When inline_tables is given, it receives the key path of every table written as an inline
// table ("{...}") outside arrays, nested ones included; on failure it gets none.
Result<Table> parse(std::string_view text, std::vector<KeyPath>* inline_tables = nullptr);
// The same for the text of a file, whose pages behind the parser are given back as it goes.
Result<Table> parse(FileText& file);

// The frame of a parse error at a 1-based line and character column of the text. The line is
// counted from first_line, the number of the text's first line.
std::string format_parse_error(std::string_view text, std::size_t line, std::size_t column,
                               std::string_view description, std::size_t first_line = 1);

// The 1-based line and character column of a byte offset of the text.
struct TextPosition {
    std::size_t line;
    std::size_t column;
};
TextPosition position_of(std::string_view text, std::size_t offset);

}  // namespace qeld::doc
