// A single-pass TOML 1.1.0 parser that builds the document tree directly: lines, keys, table
// headers, arrays and inline tables here; strings, numbers and date-times in the scanner; the
// open tables and TOML's rules on redefining them in the table builder.

#include <string>
#include <string_view>
#include <vector>

#include "common/invariant.h"
#include "document/key.h"
#include "document/parse.h"
#include "document/scanner.h"
#include "document/table_builder.h"

namespace qeld::doc {

namespace detail {

namespace {

constexpr const char* bare_key_rule =
    "bare keys may hold only ASCII letters, digits, '_' and '-'; quote any other key";

}  // namespace

class Parser : public Scanner {
public:
    Parser(std::string_view text, std::vector<KeyPath>* inline_tables, FileText* file, const ParseOptions& options)
        : Scanner(text),
          max_depth_(options.depth_limit),
          max_key_segments_(options.key_segment_limit),
          inline_tables_(inline_tables),
          file_(file) {}

    bool parse_document();
    Table take_root() { return builder_.finish_root(); }

private:
    using NodeId = TableBuilder::NodeId;

    // A segment of the key being read whose escapes were decoded: its bytes lie in key_arena_.
    struct Decoded {
        std::size_t index;
        std::size_t begin;
        std::size_t size;
    };

    bool read_key();
    bool read_key_segment();
    bool parse_header();
    bool parse_keyval(NodeId table, std::size_t depth);
    bool descend_dotted(NodeId& node, std::size_t segment);
    bool parse_value(Value& out, std::size_t depth);
    bool parse_array(Value& out, std::size_t depth);
    bool parse_inline_table(Value& out, std::size_t depth);
    bool expect_line_end(const char* after);

    std::size_t segment_pos(std::size_t i) const { return key_starts_[i]; }
    std::string too_deep() const {
        return "the document nests deeper than " + std::to_string(max_depth_) + " levels";
    }
    bool tracking() const { return inline_tables_ != nullptr; }

    const std::size_t max_depth_;
    const std::size_t max_key_segments_;

    TableBuilder builder_;
    NodeId block_ = 0;              // the table the current header opened
    std::size_t block_depth_ = 0;   // its depth below the root
    bool block_in_array_ = false;   // whether it lies inside an array of tables

    // The decoded segments of the last key read, and where each starts in the text.
    std::vector<std::string_view> keys_;
    std::vector<std::size_t> key_starts_;
    std::vector<Decoded> decoded_;
    std::string key_arena_;
    std::string key_buffer_;
    std::string string_buffer_;
    std::string number_buffer_;
    std::vector<Value> values_;  // items of the arrays being read, innermost last
    static constexpr std::size_t scratch_limit = 4096;

    std::vector<KeyPath>* inline_tables_;
    KeyPath path_;               // the key path of the value being read, kept only when tracking
    std::size_t array_nesting_ = 0;

    // The file whose pages behind the parser are given back, every release_step bytes.
    FileText* file_;
    std::size_t next_release_ = release_step;
    static constexpr std::size_t release_step = 128 * 1024;
};

bool Parser::parse_document() {
    if (starts_with("\xEF\xBB\xBF")) pos_ = 3;
    for (;;) {
        if (file_ != nullptr && pos_ >= next_release_) {
            file_->release_before(pos_);
            next_release_ = pos_ + release_step;
        }
        skip_whitespace();
        if (at_end()) return true;
        const char c = peek();
        if (c == '\n') {
            ++pos_;
        } else if (c == '\r') {
            if (peek_at(1) != '\n') return fail(pos_, "a carriage return must be followed by a line feed");
            pos_ += 2;
        } else if (c == '#') {
            if (!skip_comment()) return false;
        } else if (c == '[') {
            if (!parse_header() || !expect_line_end("the table header")) return false;
        } else {
            if (!parse_keyval(block_, block_depth_) || !expect_line_end("the value")) return false;
        }
    }
}

bool Parser::expect_line_end(const char* after) {
    skip_whitespace();
    if (at_end()) return true;
    const char c = peek();
    if (c == '#') return skip_comment();
    if (c == '\n' || (c == '\r' && peek_at(1) == '\n')) return true;
    if (c == '\r') return fail(pos_, "a carriage return must be followed by a line feed");
    return fail(pos_, std::string("expected the end of the line after ") + after);
}

bool Parser::read_key_segment() {
    const std::size_t start = pos_;
    const char c = peek();
    if (is_bare_key_char(c)) {
        const char* s = text_.data();
        const std::size_t n = text_.size();
        std::size_t end = pos_ + 1;
        while (end < n && char_has(s[end], bare_key_class)) ++end;
        pos_ = end;
        const unsigned char next = static_cast<unsigned char>(peek());
        const bool delimiter = next == ' ' || next == '\t' || next == '.' || next == '=' || next == ']' ||
                               next == ',' || next == '}' || next == '#' || next < 0x20 || next == 0x7F;
        if (!at_end() && !delimiter) return fail(pos_, bare_key_rule);
        keys_.push_back(text_.substr(start, end - start));
        key_starts_.push_back(start);
        return true;
    }
    std::string_view view;
    if (c == '"') {
        if (starts_with("\"\"\"")) return fail(start, "a key cannot be a multi-line string");
        if (!read_basic_string(view, key_buffer_)) return false;
    } else if (c == '\'') {
        if (starts_with("\'\'\'")) return fail(start, "a key cannot be a multi-line string");
        if (!read_literal_string(view)) return false;
    } else if (static_cast<unsigned char>(c) >= 0x80) {
        return fail(start, bare_key_rule);
    } else {
        return fail(start, "expected a key");
    }
    if (view.data() == key_buffer_.data()) {
        // key_buffer_ is reused by the next segment, and key_arena_ may move as it grows: the
        // view is made once the whole key is read.
        decoded_.push_back(Decoded{keys_.size(), key_arena_.size(), view.size()});
        key_arena_.append(view);
    }
    keys_.push_back(view);
    key_starts_.push_back(start);
    return true;
}

bool Parser::read_key() {
    keys_.clear();
    key_starts_.clear();
    decoded_.clear();
    key_arena_.clear();
    for (;;) {
        if (keys_.size() == max_key_segments_) {
            return fail(pos_, "key has more than " + std::to_string(max_key_segments_) + " dotted segments");
        }
        if (!read_key_segment()) return false;
        skip_whitespace();
        if (peek() != '.') break;
        ++pos_;
        skip_whitespace();
    }
    for (const Decoded& d : decoded_) keys_[d.index] = std::string_view(key_arena_).substr(d.begin, d.size);
    return true;
}

bool Parser::parse_header() {
    const bool array = peek_at(1) == '[';
    pos_ += array ? 2 : 1;
    skip_whitespace();
    if (!read_key()) return false;
    if (array) {
        if (!starts_with("]]")) return fail(pos_, "expected ']]' to close the array-of-tables header");
        pos_ += 2;
    } else {
        if (peek() != ']') return fail(pos_, "expected ']' to close the table header");
        ++pos_;
    }

    NodeId node = builder_.root();
    std::size_t depth = 0;
    bool in_array = false;
    if (tracking()) path_.clear();
    const std::size_t count = keys_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view key = keys_[i];
        const std::size_t at = segment_pos(i);
        const bool last = i + 1 == count;
        if (++depth > max_depth_) return fail(at, too_deep());
        const std::uint32_t index = builder_.find(node, key);
        const EntryKind kind = index == TableBuilder::npos ? EntryKind::Value : builder_.kind(node, index);
        const auto quoted = [&] { return quote_basic_string(key); };
        if (index != TableBuilder::npos && kind == EntryKind::Value) {
            if (builder_.value(node, index).is_array()) {
                return fail(at, quoted() + " is a static array; a table header cannot add to it");
            }
            return fail(at, quoted() + " is already a value, not a table");
        }
        if (index != TableBuilder::npos && kind == EntryKind::Inline) {
            return fail(at, quoted() + " is an inline table, which cannot be extended or redefined");
        }
        if (!last) {
            if (index == TableBuilder::npos) {
                node = builder_.add_table(node, key, EntryKind::Implicit);
            } else if (kind == EntryKind::TableArray) {
                if (++depth > max_depth_) return fail(at, too_deep());
                node = builder_.last_element(node, index);
                in_array = true;
            } else {
                node = builder_.child(node, index);
            }
        } else if (!array) {
            if (index == TableBuilder::npos) {
                node = builder_.add_table(node, key, EntryKind::Header);
            } else if (kind == EntryKind::Implicit) {
                builder_.set_kind(node, index, EntryKind::Header);
                node = builder_.child(node, index);
            } else if (kind == EntryKind::Header) {
                return fail(at, "table " + quoted() + " is defined twice");
            } else if (kind == EntryKind::Dotted) {
                return fail(at, "table " + quoted() + " was already defined by dotted keys");
            } else {
                return fail(at, quoted() + " is an array of tables; use [[...]] to add an element to it");
            }
        } else {
            if (index != TableBuilder::npos && kind != EntryKind::TableArray) {
                return fail(at, quoted() + " is already a table, not an array of tables");
            }
            if (++depth > max_depth_) return fail(at, too_deep());
            node = index == TableBuilder::npos ? builder_.add_table_array(node, key)
                                               : builder_.append_element(node, index);
            in_array = true;
        }
        if (tracking()) path_.emplace_back(key);
    }
    block_ = node;
    block_depth_ = depth;
    block_in_array_ = in_array;
    return true;
}

bool Parser::descend_dotted(NodeId& node, std::size_t segment) {
    const std::string_view key = keys_[segment];
    const std::uint32_t index = builder_.find(node, key);
    if (index == TableBuilder::npos) {
        node = builder_.add_table(node, key, EntryKind::Dotted);
        return true;
    }
    const std::size_t at = segment_pos(segment);
    switch (builder_.kind(node, index)) {
        case EntryKind::Implicit:
            // Made only by deeper headers so far: these dotted keys define it.
            builder_.set_kind(node, index, EntryKind::Dotted);
            [[fallthrough]];
        case EntryKind::Dotted:
            node = builder_.child(node, index);
            return true;
        case EntryKind::Header:
            return fail(at, "table " + quote_basic_string(key) + " was defined by a table header; dotted keys cannot add to it");
        case EntryKind::TableArray:
            return fail(at, quote_basic_string(key) + " is an array of tables; dotted keys cannot add to it");
        case EntryKind::Inline:
            return fail(at, quote_basic_string(key) + " is an inline table, which cannot be extended");
        case EntryKind::Value:
            break;
    }
    return fail(at, quote_basic_string(key) + " is already a value, not a table");
}

bool Parser::parse_keyval(NodeId table, std::size_t depth) {
    if (!read_key()) return false;
    const std::size_t count = keys_.size();
    if (depth + count > max_depth_) return fail(segment_pos(max_depth_ - depth), too_deep());
    NodeId node = table;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (!descend_dotted(node, i)) return false;
    }
    const std::string_view last = keys_[count - 1];
    // The value may read keys of its own: keep what is needed of this one.
    Key key = builder_.key(last);
    if (builder_.find(node, key) != TableBuilder::npos) {
        return fail(segment_pos(count - 1), "the key " + quote_basic_string(last) + " is already defined");
    }
    const std::size_t path_size = path_.size();
    if (tracking()) path_.insert(path_.end(), keys_.begin(), keys_.end());

    skip_whitespace();
    if (peek() != '=') return fail(pos_, "expected '=' after the key");
    ++pos_;
    skip_whitespace();
    const bool is_inline = peek() == '{';
    Value value;
    if (!parse_value(value, depth + count)) return false;
    if (tracking()) path_.resize(path_size);
    builder_.add_value(node, std::move(key), std::move(value), is_inline ? EntryKind::Inline : EntryKind::Value);
    return true;
}

bool Parser::parse_value(Value& out, std::size_t depth) {
    switch (peek()) {
        case '"':
        case '\'': {
            std::string_view s;
            if (!read_string_value(s, string_buffer_)) return false;
            out = builder_.string(s);
            return true;
        }
        case 't':
            if (!starts_with("true")) break;
            pos_ += 4;
            out = Value(true);
            return true;
        case 'f':
            if (!starts_with("false")) break;
            pos_ += 5;
            out = Value(false);
            return true;
        case '[':
            return parse_array(out, depth);
        case '{':
            return parse_inline_table(out, depth);
        case '+': case '-': case 'i': case 'n':
        case '0': case '1': case '2': case '3': case '4':
        case '5': case '6': case '7': case '8': case '9':
            return read_number_or_datetime(out, number_buffer_);
        default:
            break;
    }
    return fail(pos_, "expected a value: a string, number, boolean, date-time, array or inline table");
}

// Recursion through arrays and inline tables is bounded by the depth limit.
bool Parser::parse_array(Value& out, std::size_t depth) {
    ++pos_;
    const std::size_t mark = values_.size();
    ++array_nesting_;
    for (;;) {
        if (!skip_blank_space()) return false;
        if (at_end()) return fail(pos_, "unterminated array: expected ']'");
        if (peek() == ']') break;
        if (depth + 1 > max_depth_) return fail(pos_, too_deep());
        Value item;
        if (!parse_value(item, depth + 1)) return false;
        values_.push_back(std::move(item));
        if (!skip_blank_space()) return false;
        if (peek() == ',') {
            ++pos_;
        } else if (peek() == ']') {
            break;
        } else if (at_end()) {
            return fail(pos_, "unterminated array: expected ']'");
        } else {
            return fail(pos_, "expected ',' or ']' after an array item");
        }
    }
    ++pos_;
    --array_nesting_;
    out = builder_.array(values_.data() + mark, values_.size() - mark);
    values_.resize(mark);
    // Keep no scratch room the size of one very large array for the rest of the document.
    if (mark == 0 && values_.capacity() > scratch_limit) values_ = std::vector<Value>();
    return true;
}

bool Parser::parse_inline_table(Value& out, std::size_t depth) {
    if (tracking() && array_nesting_ == 0 && !block_in_array_) inline_tables_->push_back(path_);
    ++pos_;
    const NodeId node = builder_.new_node();
    for (;;) {
        if (!skip_blank_space()) return false;
        if (at_end()) return fail(pos_, "unterminated inline table: expected '}'");
        if (peek() == '}') break;
        if (!parse_keyval(node, depth)) return false;
        if (!skip_blank_space()) return false;
        if (peek() == ',') {
            ++pos_;
        } else if (peek() == '}') {
            break;
        } else if (at_end()) {
            return fail(pos_, "unterminated inline table: expected '}'");
        } else {
            return fail(pos_, "expected ',' or '}' after a value in an inline table");
        }
    }
    ++pos_;
    out = Value(builder_.finish(node));
    return true;
}

}  // namespace detail

namespace {

Result<Table> parse_text(std::string_view text, std::vector<KeyPath>* inline_tables, FileText* file,
                         const ParseOptions& options) {
    const std::size_t recorded = inline_tables ? inline_tables->size() : 0;
    detail::Fault fault;
    {
        detail::Parser parser(text, inline_tables, file, options);
        if (parser.parse_document()) return parser.take_root();
        fault = parser.fault();
    }
    if (inline_tables) inline_tables->resize(recorded);
    // A fault lies in the statement being read, so on the line it starts or a later one, which
    // the file still holds whole.
    const FileText::Kept kept = file ? file->kept() : FileText::Kept{};
    if (fault.offset < kept.offset) invariant_failure("a parse fault lies in text already given back");
    const std::string_view rest = text.substr(kept.offset);
    const TextPosition p = position_of(rest, fault.offset - kept.offset);
    const std::size_t line = p.line + kept.lines_before;
    if (options.frame == FaultFrame::position_only) return fail(format_parse_position(line, p.column, fault.description));
    return fail(format_parse_error(rest, line, p.column, fault.description, kept.lines_before + 1));
}

}  // namespace

Result<Table> parse(std::string_view text, std::vector<KeyPath>* inline_tables, const ParseOptions& options) {
    return parse_text(text, inline_tables, nullptr, options);
}

Result<Table> parse(FileText& file) { return parse_text(file.text(), nullptr, &file, ParseOptions{}); }

}  // namespace qeld::doc
