#pragma once
// The lexical half of the TOML parser: a cursor over the text that reads comments, strings,
// numbers and date-times, and remembers the first fault with its byte offset.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "document/value.h"

namespace qeld::doc::detail {

// Classes of bytes for the loops over keys, strings and comments, one bit each.
enum CharClass : std::uint8_t {
    bare_key_class = 1,      // ASCII letters, digits, '_' and '-'
    basic_plain_class = 2,   // what a one-line basic string holds as it is: printable ASCII but '"' and '\\'
    literal_plain_class = 4, // the same for a literal string: printable ASCII but '\''
    comment_plain_class = 8, // what a comment holds as it is: printable ASCII and tab
};

inline constexpr auto char_classes = [] {
    struct Table {
        std::uint8_t bits[256] = {};
    } table;
    for (int c = 0; c < 256; ++c) {
        std::uint8_t b = 0;
        const bool printable = c >= 0x20 && c < 0x7F;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            b |= bare_key_class;
        }
        if (printable && c != '"' && c != '\\') b |= basic_plain_class;
        if (printable && c != '\'') b |= literal_plain_class;
        if (printable || c == '\t') b |= comment_plain_class;
        table.bits[c] = b;
    }
    return table;
}();

inline bool char_has(char c, CharClass cls) { return (char_classes.bits[static_cast<unsigned char>(c)] & cls) != 0; }

struct Fault {
    std::size_t offset = 0;
    std::string description;
};

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    const Fault& fault() const { return fault_; }

protected:
    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    char peek_at(std::size_t ahead) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    bool starts_with(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }

    // Records the fault (the first one wins) and returns false for the caller to pass up.
    bool fail(std::size_t offset, std::string description);

    void skip_whitespace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    // At '#': moves to the line break or the end of the text.
    bool skip_comment();
    // Whitespace, comments and line breaks, as allowed between array items and inline-table
    // entries.
    bool skip_blank_space();

    // At the opening quote of a one-line string. `view` receives the contents: a slice of the
    // text when nothing needed decoding, else `buffer`, which then holds the decoded bytes.
    bool read_basic_string(std::string_view& view, std::string& buffer);
    bool read_literal_string(std::string_view& view);
    // At the opening delimiter of any of the four string forms; `view` as for read_basic_string.
    bool read_string_value(std::string_view& view, std::string& buffer);

    // At a digit, a sign, "inf" or "nan": an integer, a float or a date-time.
    bool read_number_or_datetime(Value& out, std::string& buffer);

    std::string_view text_;
    std::size_t pos_ = 0;

private:
    bool read_escape(std::string& buffer);
    bool read_multiline_basic(std::string_view& view, std::string& buffer);
    bool read_multiline_literal(std::string_view& view, std::string& buffer);
    // Passes one character inside a string body: a valid UTF-8 sequence or a permitted ASCII byte.
    bool pass_string_byte(unsigned char c, bool multiline);

    bool read_datetime(Value& out);
    bool read_time(Time& time);
    bool read_offset(Offset& offset);
    bool read_special_float(Value& out, bool negative);
    bool read_radix_integer(Value& out, std::size_t start);
    bool read_decimal(Value& out, std::string& buffer);
    // The decimal digits read so far: their count, and the value of the first nineteen.
    struct DecimalDigits {
        std::uint64_t value = 0;
        std::size_t count = 0;
    };
    // As read_digits for radix 10, adding the digits to `digits`.
    bool read_decimal_digits(const char* what, DecimalDigits& digits);
    // The float from start to the cursor, converted from its text.
    bool read_float_text(Value& out, std::size_t start, std::string& buffer);
    // Digits of `radix`, single underscores between them; at least one digit.
    bool read_digits(int radix, const char* what);
    bool refuse_trailing_number_char();

    Fault fault_;
    bool failed_ = false;
};

}  // namespace qeld::doc::detail
