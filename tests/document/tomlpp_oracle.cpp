// The test oracle: parses a text with toml++ and converts toml++'s tree into the document
// tree, restoring what toml++ does not record (written seconds and fractions, Z against
// +00:00) from each value's own source text. It is the adapter the program used before it had
// its own parser, kept to check that parser against an independent one.

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_UNRELEASED_FEATURES 1
#define TOML_ENABLE_FORMATTERS 0
// toml++'s internal assertions abort on some malformed headers; its error path handles them.
#define TOML_ASSERT(expr) static_cast<void>(0)
#define TOML_ASSERT_ASSUME(expr) static_cast<void>(0)
#include <toml++/toml.h>

#include "document/tomlpp_oracle.h"

#include "document/parse.h"

#include <algorithm>
#include <charconv>

namespace qeld::doc::testing {

namespace {

// Byte offsets of line starts, to turn toml++'s (line, character column) into an offset.
class LineIndex {
public:
    explicit LineIndex(std::string_view text) : text_(text) {
        starts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') starts_.push_back(i + 1);
        }
    }

    // Offset of a 1-based line and character column, or npos when outside the text.
    std::size_t offset(std::size_t line, std::size_t column) const {
        if (line == 0 || line > starts_.size() || column == 0) return std::string_view::npos;
        std::size_t pos = starts_[line - 1];
        for (std::size_t c = 1; c < column && pos < text_.size(); ++c) {
            ++pos;
            while (pos < text_.size() && (static_cast<unsigned char>(text_[pos]) & 0xC0) == 0x80) ++pos;
        }
        return pos < text_.size() ? pos : std::string_view::npos;
    }

private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

bool is_bare_key_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

struct ScanFault {
    std::size_t offset;
    std::string description;
};

// A lexical pass before toml++ runs, for what toml++ either accepts beyond TOML 1.1.0
// (non-ASCII outside strings and comments) or cannot survive (keys of very many dotted
// segments overflow its recursion).
std::optional<ScanFault> prescan(std::string_view text) {
    std::size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // toml++ skips a byte order mark
    const std::size_t n = text.size();
    std::size_t segments = 0;  // segments of the dotted run being read
    enum class After { Nothing, Segment, Dot } after = After::Nothing;

    auto start_segment = [&](std::size_t at) -> std::optional<ScanFault> {
        segments = (after == After::Dot) ? segments + 1 : 1;
        after = After::Segment;
        if (segments > max_key_segments) {
            return ScanFault{at, "key has more than " + std::to_string(max_key_segments) + " dotted segments"};
        }
        return std::nullopt;
    };

    while (i < n) {
        char c = text[i];
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '#') {
            while (i < n && text[i] != '\n') ++i;
            after = After::Nothing;
            continue;
        }
        if (c == '"' || c == '\'') {
            const bool basic = c == '"';
            const bool multi = i + 2 < n && text[i + 1] == c && text[i + 2] == c;
            std::size_t start = i;
            if (multi) {
                i += 3;
                while (i < n) {
                    if (basic && text[i] == '\\') {
                        i += 2;
                        continue;
                    }
                    if (i + 2 < n && text[i] == c && text[i + 1] == c && text[i + 2] == c) {
                        i += 3;
                        for (int extra = 0; extra < 2 && i < n && text[i] == c; ++extra) ++i;
                        break;
                    }
                    ++i;
                }
                after = After::Nothing;
                continue;
            }
            if (auto fault = start_segment(start)) return fault;
            ++i;
            while (i < n && text[i] != c && text[i] != '\n') {
                if (basic && text[i] == '\\' && i + 1 < n && text[i + 1] != '\n') ++i;
                ++i;
            }
            if (i < n && text[i] == c) ++i;
            continue;
        }
        if (u >= 0x80) {
            return ScanFault{i, "non-ASCII character outside a string or comment"};
        }
        if (is_bare_key_char(c)) {
            if (auto fault = start_segment(i)) return fault;
            while (i < n && is_bare_key_char(text[i])) ++i;
            continue;
        }
        if (c == '.') {
            after = (after == After::Segment) ? After::Dot : After::Nothing;
            ++i;
            continue;
        }
        if (c != ' ' && c != '\t') after = After::Nothing;
        ++i;
    }
    return std::nullopt;
}

struct ConvertFault {
    std::size_t line;
    std::size_t column;
    std::string description;
};

class Converter {
public:
    Converter(std::string_view text, std::vector<KeyPath>* inline_tables)
        : text_(text), lines_(text), inline_tables_(inline_tables) {}

    std::optional<ConvertFault> fault;

    Table convert_table(toml::table& source, bool in_array) {
        std::vector<Entry> entries;
        entries.reserve(source.size());
        for (auto&& [key, node] : source) {
            if (fault) break;
            check_key(key);
            const bool track = inline_tables_ != nullptr && !in_array;
            if (track) path_.push_back(std::string(key.str()));
            if (track && node.is_table() && starts_with_brace(node)) inline_tables_->push_back(path_);
            Value converted = convert(node, in_array);
            if (track) path_.pop_back();
            entries.push_back(Entry{Key(key.str()), std::move(converted)});
        }
        // toml++ keeps keys in a std::map ordered by std::string, which is byte order already.
        return Table(std::move(entries));
    }

    Value convert(toml::node& node, bool in_array) {
        switch (node.type()) {
            case toml::node_type::table:
                return Value(convert_table(*node.as_table(), in_array));
            case toml::node_type::array: {
                toml::array& source = *node.as_array();
                std::vector<Value> items;
                items.reserve(source.size());
                for (auto& item : source) {
                    if (fault) break;
                    items.push_back(convert(item, true));
                }
                return Value(Array(std::move(items)));
            }
            case toml::node_type::string:
                return Value(std::move(node.as_string()->get()));
            case toml::node_type::integer:
                return Value(static_cast<std::int64_t>(node.as_integer()->get()));
            case toml::node_type::floating_point:
                check_float(node);
                return Value(node.as_floating_point()->get());
            case toml::node_type::boolean:
                return Value(node.as_boolean()->get());
            case toml::node_type::date:
            case toml::node_type::time:
            case toml::node_type::date_time:
                return Value(convert_datetime(node));
            case toml::node_type::none:
                break;
        }
        return Value(false);
    }

private:
    std::size_t offset_of(const toml::source_region& region) const {
        return lines_.offset(region.begin.line, region.begin.column);
    }

    bool starts_with_brace(const toml::node& node) const {
        std::size_t off = offset_of(node.source());
        return off != std::string_view::npos && text_[off] == '{';
    }

    void set_fault(const toml::source_region& region, std::string description) {
        if (!fault) fault = ConvertFault{region.begin.line, region.begin.column, std::move(description)};
    }

    // toml++ accepts '+' in bare keys; TOML 1.1.0 does not.
    void check_key(const toml::key& key) {
        std::string_view k = key.str();
        if (k.find('+') == std::string_view::npos) return;
        std::size_t off = offset_of(key.source());
        if (off == std::string_view::npos || text_[off] == '"' || text_[off] == '\'') return;
        set_fault(key.source(), "invalid bare key: only ASCII letters, digits, '_' and '-' may stand unquoted");
    }

    // toml++ accepts hexadecimal floats; TOML 1.1.0 does not.
    void check_float(const toml::node& node) {
        std::size_t off = offset_of(node.source());
        if (off == std::string_view::npos) return;
        if (text_[off] == '+' || text_[off] == '-') ++off;
        if (off + 1 < text_.size() && text_[off] == '0' && (text_[off + 1] == 'x' || text_[off + 1] == 'X')) {
            set_fault(node.source(), "hexadecimal floats are not TOML");
        }
    }

    // Reads HH:MM[:SS[.fraction]] at pos; fills the parts toml++ does not keep.
    std::size_t read_time_text(std::size_t pos, Time& time) const {
        pos += 5;  // HH:MM
        if (pos < text_.size() && text_[pos] == ':') {
            pos += 3;
            if (pos < text_.size() && text_[pos] == '.') {
                ++pos;
                std::uint32_t nanos = 0;
                int digits = 0;
                while (pos < text_.size() && text_[pos] >= '0' && text_[pos] <= '9') {
                    if (digits < 9) {
                        nanos = nanos * 10 + static_cast<std::uint32_t>(text_[pos] - '0');
                        ++digits;
                    }
                    ++pos;
                }
                for (; digits < 9; ++digits) nanos *= 10;
                time.nanosecond = nanos;
            }
        } else {
            time.second.reset();
        }
        return pos;
    }

    DateTime convert_datetime(toml::node& node) {
        DateTime out;
        std::size_t pos = offset_of(node.source());
        auto make_time = [](const toml::time& t) {
            Time time;
            time.hour = t.hour;
            time.minute = t.minute;
            time.second = t.second;
            return time;
        };
        auto make_date = [](const toml::date& d) { return Date{d.year, d.month, d.day}; };
        if (auto* d = node.as_date()) {
            out.date = make_date(d->get());
        } else if (auto* t = node.as_time()) {
            out.time = make_time(t->get());
            if (pos != std::string_view::npos) read_time_text(pos, *out.time);
        } else if (auto* dt = node.as_date_time()) {
            const toml::date_time& v = dt->get();
            out.date = make_date(v.date);
            out.time = make_time(v.time);
            if (pos != std::string_view::npos) {
                std::size_t end = read_time_text(pos + 11, *out.time);  // YYYY-MM-DD and the delimiter
                if (v.offset) {
                    bool z = end < text_.size() && (text_[end] == 'Z' || text_[end] == 'z');
                    out.offset = Offset{z, z ? std::int16_t{0} : v.offset->minutes};
                }
            } else if (v.offset) {
                out.offset = Offset{false, v.offset->minutes};
            }
        }
        return out;
    }

    std::string_view text_;
    LineIndex lines_;
    std::vector<KeyPath>* inline_tables_;
    KeyPath path_;
};

}  // namespace

Result<Table> parse_with_tomlpp(std::string_view text, std::vector<KeyPath>* inline_tables) {
    if (auto fault = prescan(text)) {
        TextPosition p = position_of(text, fault->offset);
        return fail(format_parse_error(text, p.line, p.column, fault->description));
    }
    toml::parse_result parsed = toml::parse(text);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        std::size_t line = error.source().begin.line;
        std::size_t column = error.source().begin.column;
        return fail(format_parse_error(text, line == 0 ? 1 : line, column == 0 ? 1 : column, error.description()));
    }
    Converter converter(text, inline_tables);
    Table root = converter.convert_table(parsed.table(), false);
    if (converter.fault) {
        if (inline_tables) inline_tables->clear();
        return fail(format_parse_error(text, converter.fault->line, converter.fault->column, converter.fault->description));
    }
    return root;
}

}  // namespace qeld::doc::testing
