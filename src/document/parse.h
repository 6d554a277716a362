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
// input is refused as a parse error, so that no walk over a document's tree needs more than this
// much recursion. These are the defaults of ParseOptions; the schema loader allows schema texts a
// fixed few levels more.
inline constexpr std::size_t max_depth = 256;

// How a parse error shows where it lies.
enum class FaultFrame {
    // The source line, with a caret under the column.
    source_line,
    // The line and column alone: for a text the user did not choose, whose lines may hold
    // anything (a secret included) and must not be printed.
    position_only,
};

// What one parse allows and how its failure reads. Every walk over a tree that the parser built
// recurses at most depth_limit levels, so a text may be allowed more than max_depth only by a
// fixed amount that its callers document.
struct ParseOptions {
    std::size_t depth_limit = max_depth;
    std::size_t key_segment_limit = max_key_segments;
    FaultFrame frame = FaultFrame::source_line;
};

// Parses a whole document. On failure the message is the framed parse error:
// "TOML parse error at line L, column C", the source line with a caret (unless the options ask
// for the position only), and a description.
// When inline_tables is given, it receives the key path of every table written as an inline
// table ("{...}") outside arrays, nested ones included; on failure it gets none.
Result<Table> parse(std::string_view text, std::vector<KeyPath>* inline_tables = nullptr,
                    const ParseOptions& options = {});
// The same for the text of a file, whose pages behind the parser are given back as it goes.
Result<Table> parse(FileText& file);

// The frame of a parse error at a 1-based line and character column of the text. The line is
// counted from first_line, the number of the text's first line.
std::string format_parse_error(std::string_view text, std::size_t line, std::size_t column,
                               std::string_view description, std::size_t first_line = 1);
// The same without the source line and caret: "TOML parse error at line L, column C" and the
// description.
std::string format_parse_position(std::size_t line, std::size_t column, std::string_view description);

// The 1-based line and character column of a byte offset of the text.
struct TextPosition {
    std::size_t line;
    std::size_t column;
};
TextPosition position_of(std::string_view text, std::size_t offset);

}  // namespace qeld::doc
