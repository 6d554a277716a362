#pragma once
// Parsing TOML 1.1.0 text into the document tree.

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "document/value.h"

namespace qeld::doc {

// The decoded keys from the root table down to one table.
using KeyPath = std::vector<std::string>;

// Segments of one dotted key or table header beyond this are refused as a parse error:
// the parser recurses once per segment.
inline constexpr std::size_t max_key_segments = 256;

// Parses a whole document. On failure the message is the framed parse error:
// "TOML parse error at line L, column C", the source line with a caret, and a description.
// When inline_tables is given, it receives the key path of every table written as an inline
// table ("{...}") outside arrays, nested ones included.
Result<Table> parse(std::string_view text, std::vector<KeyPath>* inline_tables = nullptr);

// The frame of a parse error at a 1-based line and character column of the text.
std::string format_parse_error(std::string_view text, std::size_t line, std::size_t column,
                               std::string_view description);

}  // namespace qeld::doc
