#include "document/scanner.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/utf8.h"

namespace qeld::doc::detail {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c, int radix) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < radix ? v : -1;
}

bool is_control(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

int days_in_month(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

int two_digits(std::string_view text, std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); }

// From p, the offset of the first byte that needs a look of its own: one from 0x80, below 0x20
// (tab included), 0x7F, or either stop byte. Eight bytes at a time, so it may stop short of such
// a byte within the last eight bytes of the text.
std::size_t skip_plain(const char* s, std::size_t p, std::size_t n, char stop1, char stop2) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101ull;
        constexpr std::uint64_t high = 0x8080808080808080ull;
        const std::uint64_t first = ones * static_cast<unsigned char>(stop1);
        const std::uint64_t second = ones * static_cast<unsigned char>(stop2);
        // The high bit of each byte that is zero; the lowest one marked is exact.
        auto zeros = [](std::uint64_t x) { return (x - ones) & ~x & high; };
        while (p + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + p, 8);
            const std::uint64_t marks = (w & high) | ((w - ones * 0x20) & ~w & high) | zeros(w ^ (ones * 0x7F)) |
                                        zeros(w ^ first) | zeros(w ^ second);
            if (marks != 0) return p + static_cast<std::size_t>(std::countr_zero(marks) / 8);
            p += 8;
        }
    }
    return p;
}

constexpr const char* control_in_string = "control characters other than tab must be escaped in strings";
constexpr const char* lone_carriage_return = "a carriage return must be followed by a line feed";
constexpr const char* invalid_utf8 = "invalid UTF-8";

}  // namespace

bool Scanner::fail(std::size_t offset, std::string description) {
    if (!failed_) {
        failed_ = true;
        fault_.offset = offset;
        fault_.description = std::move(description);
    }
    return false;
}

bool Scanner::skip_comment() {
    const std::size_t n = text_.size();
    ++pos_;
    while (pos_ < n) {
        pos_ = skip_plain(text_.data(), pos_, n, '\x7F', '\x7F');
        if (pos_ >= n) break;
        unsigned char c = static_cast<unsigned char>(text_[pos_]);
        if (c >= 0x20 && c < 0x7F) {
            ++pos_;
        } else if (c == '\n') {
            return true;
        } else if (c == '\r') {
            return peek_at(1) == '\n' ? true : fail(pos_, lone_carriage_return);
        } else if (c == '\t') {
            ++pos_;
        } else if (c >= 0x80) {
            std::size_t length = utf8_sequence_length(std::string_view(text_.data() + pos_, n - pos_));
            if (length == 0) return fail(pos_, invalid_utf8);
            pos_ += length;
        } else {
            return fail(pos_, "control characters other than tab are not allowed in comments");
        }
    }
    return true;
}

bool Scanner::skip_blank_space() {
    while (pos_ < text_.size()) {
        char c = text_[pos_];
        if (c == ' ' || c == '\t' || c == '\n') {
            ++pos_;
        } else if (c == '\r') {
            if (peek_at(1) != '\n') return fail(pos_, lone_carriage_return);
            pos_ += 2;
        } else if (c == '#') {
            if (!skip_comment()) return false;
        } else {
            break;
        }
    }
    return true;
}

bool Scanner::pass_string_byte(unsigned char c, bool multiline) {
    if (c >= 0x80) {
        std::size_t length = utf8_sequence_length(text_.substr(pos_));
        if (length == 0) return fail(pos_, invalid_utf8);
        pos_ += length;
        return true;
    }
    if (c == '\t' || (multiline && c == '\n')) {
        ++pos_;
        return true;
    }
    if (c == '\r') {
        if (multiline) return fail(pos_, lone_carriage_return);
        if (peek_at(1) == '\n') return fail(pos_, "unterminated string: a one-line string must close on its line");
        return fail(pos_, control_in_string);
    }
    if (c == '\n') return fail(pos_, "unterminated string: a one-line string must close on its line");
    if (is_control(c)) return fail(pos_, control_in_string);
    ++pos_;
    return true;
}

bool Scanner::read_escape(std::string& buffer) {
    const std::size_t start = pos_;
    if (pos_ + 1 >= text_.size()) return fail(start, "unterminated string: incomplete escape sequence");
    char c = text_[pos_ + 1];
    int digits = 0;
    switch (c) {
        case 'b': buffer.push_back('\b'); break;
        case 't': buffer.push_back('\t'); break;
        case 'n': buffer.push_back('\n'); break;
        case 'f': buffer.push_back('\f'); break;
        case 'r': buffer.push_back('\r'); break;
        case 'e': buffer.push_back('\x1B'); break;
        case '"': buffer.push_back('"'); break;
        case '\\': buffer.push_back('\\'); break;
        case 'x': digits = 2; break;
        case 'u': digits = 4; break;
        case 'U': digits = 8; break;
        default: {
            unsigned char u = static_cast<unsigned char>(c);
            std::string shown = (u > 0x20 && u < 0x7F) ? std::string(" \\") + c : std::string();
            return fail(start, "invalid escape sequence" + shown +
                                   "; valid are \\b \\t \\n \\f \\r \\e \\\" \\\\ \\xHH \\uHHHH \\UHHHHHHHH");
        }
    }
    pos_ += 2;
    if (digits == 0) return true;
    std::uint32_t cp = 0;
    for (int i = 0; i < digits; ++i) {
        int v = digit_value(peek(), 16);
        if (v < 0) return fail(pos_, "expected a hexadecimal digit in the escape sequence");
        cp = cp * 16 + static_cast<std::uint32_t>(v);
        ++pos_;
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        return fail(start, "the escape sequence is not a Unicode scalar value");
    }
    append_utf8(buffer, cp);
    return true;
}

bool Scanner::read_basic_string(std::string_view& view, std::string& buffer) {
    const char* s = text_.data();
    const std::size_t n = text_.size();
    const std::size_t start = ++pos_;
    std::size_t chunk = start;
    bool decoded = false;
    for (;;) {
        pos_ = skip_plain(s, pos_, n, '"', '\\');
        if (pos_ >= n) return fail(pos_, "unterminated string: expected a closing '\"'");
        unsigned char c = static_cast<unsigned char>(s[pos_]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            ++pos_;
            continue;
        }
        if (c == '"') break;
        if (c == '\\') {
            if (!decoded) buffer.clear();
            decoded = true;
            buffer.append(s + chunk, pos_ - chunk);
            if (!read_escape(buffer)) return false;
            chunk = pos_;
            continue;
        }
        if (!pass_string_byte(c, false)) return false;
    }
    if (decoded) {
        buffer.append(s + chunk, pos_ - chunk);
        view = buffer;
    } else {
        view = text_.substr(start, pos_ - start);
    }
    ++pos_;
    return true;
}

bool Scanner::read_literal_string(std::string_view& view) {
    const char* s = text_.data();
    const std::size_t n = text_.size();
    const std::size_t start = ++pos_;
    for (;;) {
        pos_ = skip_plain(s, pos_, n, '\'', '\'');
        if (pos_ >= n) return fail(pos_, "unterminated string: expected a closing \"'\"");
        unsigned char c = static_cast<unsigned char>(s[pos_]);
        if (c >= 0x20 && c < 0x7F && c != '\'') {
            ++pos_;
            continue;
        }
        if (c == '\'') break;
        if (!pass_string_byte(c, false)) return false;
    }
    view = text_.substr(start, pos_ - start);
    ++pos_;
    return true;
}

bool Scanner::read_multiline_basic(std::string_view& view, std::string& buffer) {
    const char* s = text_.data();
    const std::size_t n = text_.size();
    pos_ += 3;
    if (peek() == '\n') {
        ++pos_;
    } else if (peek() == '\r' && peek_at(1) == '\n') {
        pos_ += 2;
    }
    const std::size_t start = pos_;
    std::size_t chunk = start;
    bool decoded = false;
    auto begin_decoding = [&] {
        if (!decoded) buffer.clear();
        decoded = true;
        buffer.append(s + chunk, pos_ - chunk);
    };
    std::size_t end;
    for (;;) {
        if (pos_ >= n) return fail(pos_, "unterminated string: expected a closing '\"\"\"'");
        unsigned char c = static_cast<unsigned char>(s[pos_]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            ++pos_;
        } else if (c == '"') {
            std::size_t run = 1;
            while (pos_ + run < n && s[pos_ + run] == '"') ++run;
            if (run >= 3) {
                // Up to two quotes may stand just inside the closing delimiter.
                std::size_t taken = std::min<std::size_t>(run, 5);
                end = pos_ + taken - 3;
                pos_ += taken;
                break;
            }
            pos_ += run;
        } else if (c == '\\') {
            std::size_t p = pos_ + 1;
            while (p < n && (s[p] == ' ' || s[p] == '\t')) ++p;
            if (p < n && (s[p] == '\n' || (s[p] == '\r' && p + 1 < n && s[p + 1] == '\n'))) {
                // A line-ending backslash drops the line break and the blank space after it.
                begin_decoding();
                pos_ = p;
                for (;;) {
                    char w = peek();
                    if (w == ' ' || w == '\t' || w == '\n') {
                        ++pos_;
                    } else if (w == '\r' && pos_ < n) {
                        if (peek_at(1) != '\n') return fail(pos_, lone_carriage_return);
                        pos_ += 2;
                    } else {
                        break;
                    }
                }
                chunk = pos_;
            } else {
                begin_decoding();
                if (!read_escape(buffer)) return false;
                chunk = pos_;
            }
        } else if (c == '\r' && peek_at(1) == '\n') {
            // Line breaks are kept as line feeds.
            begin_decoding();
            buffer.push_back('\n');
            pos_ += 2;
            chunk = pos_;
        } else if (!pass_string_byte(c, true)) {
            return false;
        }
    }
    if (decoded) {
        buffer.append(s + chunk, end - chunk);
        view = buffer;
    } else {
        view = text_.substr(start, end - start);
    }
    return true;
}

bool Scanner::read_multiline_literal(std::string_view& view, std::string& buffer) {
    const char* s = text_.data();
    const std::size_t n = text_.size();
    pos_ += 3;
    if (peek() == '\n') {
        ++pos_;
    } else if (peek() == '\r' && peek_at(1) == '\n') {
        pos_ += 2;
    }
    const std::size_t start = pos_;
    std::size_t chunk = start;
    bool decoded = false;
    std::size_t end;
    for (;;) {
        if (pos_ >= n) return fail(pos_, "unterminated string: expected a closing \"'''\"");
        unsigned char c = static_cast<unsigned char>(s[pos_]);
        if (c >= 0x20 && c < 0x7F && c != '\'') {
            ++pos_;
        } else if (c == '\'') {
            std::size_t run = 1;
            while (pos_ + run < n && s[pos_ + run] == '\'') ++run;
            if (run >= 3) {
                std::size_t taken = std::min<std::size_t>(run, 5);
                end = pos_ + taken - 3;
                pos_ += taken;
                break;
            }
            pos_ += run;
        } else if (c == '\r' && peek_at(1) == '\n') {
            if (!decoded) buffer.clear();
            decoded = true;
            buffer.append(s + chunk, pos_ - chunk);
            buffer.push_back('\n');
            pos_ += 2;
            chunk = pos_;
        } else if (!pass_string_byte(c, true)) {
            return false;
        }
    }
    if (decoded) {
        buffer.append(s + chunk, end - chunk);
        view = buffer;
    } else {
        view = text_.substr(start, end - start);
    }
    return true;
}

bool Scanner::read_string_value(std::string_view& view, std::string& buffer) {
    bool ok;
    if (starts_with("\"\"\"")) {
        ok = read_multiline_basic(view, buffer);
    } else if (starts_with("'''")) {
        ok = read_multiline_literal(view, buffer);
    } else if (peek() == '"') {
        ok = read_basic_string(view, buffer);
    } else {
        ok = read_literal_string(view);
    }
    return ok;
}

bool Scanner::read_digits(int radix, const char* what) {
    if (digit_value(peek(), radix) < 0) return fail(pos_, std::string("expected ") + what);
    for (;;) {
        char c = peek();
        if (digit_value(c, radix) >= 0) {
            ++pos_;
        } else if (c == '_') {
            if (digit_value(peek_at(1), radix) < 0) return fail(pos_, "an underscore in a number must stand between two digits");
            ++pos_;
        } else {
            return true;
        }
    }
}

bool Scanner::refuse_trailing_number_char() {
    char c = peek();
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (letter || is_digit(c) || c == '_' || c == '.') {
        return fail(pos_, std::string("invalid character '") + c + "' in a number");
    }
    return true;
}

bool Scanner::read_special_float(Value& out, bool negative) {
    double v;
    if (starts_with("inf")) {
        v = std::numeric_limits<double>::infinity();
    } else if (starts_with("nan")) {
        v = std::numeric_limits<double>::quiet_NaN();
    } else {
        return fail(pos_, "expected a number");
    }
    pos_ += 3;
    if (!refuse_trailing_number_char()) return false;
    out = Value(negative ? -v : v);
    return true;
}

bool Scanner::read_radix_integer(Value& out, std::size_t start) {
    const char prefix = text_[pos_ + 1];
    const int radix = prefix == 'x' ? 16 : prefix == 'o' ? 8 : 2;
    const int shift = radix == 16 ? 4 : radix == 8 ? 3 : 1;
    pos_ += 2;
    const char* what = radix == 16 ? "a hexadecimal digit" : radix == 8 ? "an octal digit" : "a binary digit";
    const std::size_t digits_start = pos_;
    if (!read_digits(radix, what)) return false;
    std::uint64_t v = 0;
    for (std::size_t i = digits_start; i < pos_; ++i) {
        int d = digit_value(text_[i], radix);
        if (d < 0) continue;  // an underscore
        if (v > (static_cast<std::uint64_t>(INT64_MAX) >> shift)) return fail(start, "integer does not fit in 64 bits");
        v = (v << shift) | static_cast<std::uint64_t>(d);
    }
    if (!refuse_trailing_number_char()) return false;
    out = Value(static_cast<std::int64_t>(v));
    return true;
}

bool Scanner::read_decimal_digits(const char* what, DecimalDigits& digits) {
    const char* s = text_.data();
    const std::size_t n = text_.size();
    std::size_t p = pos_;
    if (p >= n || !is_digit(s[p])) return fail(pos_, std::string("expected ") + what);
    std::uint64_t value = digits.value;
    std::size_t count = digits.count;
    for (;;) {
        for (; p < n && is_digit(s[p]); ++p, ++count) {
            // Nineteen decimal digits always fit in 64 bits.
            if (count < 19) value = value * 10 + static_cast<std::uint64_t>(s[p] - '0');
        }
        if (p >= n || s[p] != '_') break;
        if (p + 1 >= n || !is_digit(s[p + 1])) {
            pos_ = p;
            return fail(p, "an underscore in a number must stand between two digits");
        }
        ++p;
    }
    pos_ = p;
    digits.value = value;
    digits.count = count;
    return true;
}

bool Scanner::read_decimal(Value& out, std::string& buffer) {
    const std::size_t start = pos_;
    bool negative = false;
    if (peek() == '+' || peek() == '-') {
        negative = peek() == '-';
        ++pos_;
    }
    char c = peek();
    if (c == 'i' || c == 'n') return read_special_float(out, negative);
    if (!is_digit(c)) return fail(pos_, "expected a digit");
    char next = peek_at(1);
    if (c == '0' && (next == 'x' || next == 'o' || next == 'b')) {
        if (pos_ != start) return fail(start, "a sign cannot stand before a hexadecimal, octal or binary integer");
        return read_radix_integer(out, start);
    }
    if (c == '0' && (is_digit(next) || next == '_')) return fail(pos_, "leading zeros are not allowed in a number");
    DecimalDigits mantissa;
    if (!read_decimal_digits("a digit", mantissa)) return false;
    const std::size_t integer_digits = mantissa.count;
    bool is_float = false;
    if (peek() == '.') {
        is_float = true;
        ++pos_;
        if (!read_decimal_digits("a digit after the decimal point", mantissa)) return false;
    }
    bool exponent_negative = false;
    DecimalDigits exponent;
    if (peek() == 'e' || peek() == 'E') {
        is_float = true;
        ++pos_;
        if (peek() == '+' || peek() == '-') {
            exponent_negative = peek() == '-';
            ++pos_;
        }
        if (!read_decimal_digits("a digit in the exponent", exponent)) return false;
    }
    if (!refuse_trailing_number_char()) return false;

    if (is_float) {
        // A mantissa and a power of ten that doubles hold exactly give the correctly rounded
        // value in one multiplication or division; anything else goes to from_chars.
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        if (mantissa.count <= 19 && mantissa.value <= (std::uint64_t{1} << 53) && exponent.count <= 4) {
            const auto fraction_digits = static_cast<long>(mantissa.count - integer_digits);
            const long e = (exponent_negative ? -static_cast<long>(exponent.value) : static_cast<long>(exponent.value)) -
                           fraction_digits;
            if (e >= -22 && e <= 22) {
                const auto m = static_cast<double>(mantissa.value);
                const double v = e >= 0 ? m * powers[e] : m / powers[-e];
                out = Value(negative ? -v : v);
                return true;
            }
        }
        return read_float_text(out, start, buffer);
    }
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(INT64_MAX) + 1 : static_cast<std::uint64_t>(INT64_MAX);
    if (mantissa.count > 19 || mantissa.value > limit) return fail(start, "integer does not fit in 64 bits");
    const std::uint64_t v = mantissa.value;
    out = Value(negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v));
    return true;
}

bool Scanner::read_float_text(Value& out, std::size_t start, std::string& buffer) {
    // from_chars takes no '+' and no underscores.
    buffer.clear();
    for (std::size_t i = start; i < pos_; ++i) {
        const char c = text_[i];
        if (c != '_' && !(c == '+' && i == start)) buffer.push_back(c);
    }
    double v = 0;
    const char* first = buffer.data();
    const char* last = first + buffer.size();
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec == std::errc::result_out_of_range) {
        // Too small rounds to zero or a subnormal; too large would become infinity, which
        // the text did not say.
        v = std::strtod(buffer.c_str(), nullptr);
        if (std::isinf(v)) return fail(start, "float is too large for a 64-bit float");
    } else if (ec != std::errc() || ptr != last) {
        return fail(start, "invalid float");
    }
    out = Value(v);
    return true;
}

bool Scanner::read_time(Time& time) {
    // The caller has seen two digits and a colon.
    const std::size_t hour_at = pos_;
    if (!is_digit(peek_at(3)) || !is_digit(peek_at(4))) {
        return fail(is_digit(peek_at(3)) ? pos_ + 4 : pos_ + 3, "expected a two-digit minute");
    }
    int hour = two_digits(text_, pos_);
    int minute = two_digits(text_, pos_ + 3);
    if (hour > 23) return fail(hour_at, "hour must be 00 to 23");
    if (minute > 59) return fail(hour_at + 3, "minute must be 00 to 59");
    time.hour = static_cast<std::uint8_t>(hour);
    time.minute = static_cast<std::uint8_t>(minute);
    pos_ += 5;
    if (peek() != ':') return true;  // seconds may be left out
    if (!is_digit(peek_at(1)) || !is_digit(peek_at(2))) {
        return fail(is_digit(peek_at(1)) ? pos_ + 2 : pos_ + 1, "expected two-digit seconds");
    }
    int second = two_digits(text_, pos_ + 1);
    if (second > 60) return fail(pos_ + 1, "second must be 00 to 60");
    time.second = static_cast<std::uint8_t>(second);
    pos_ += 3;
    if (peek() != '.') return true;
    ++pos_;
    if (!is_digit(peek())) return fail(pos_, "expected a digit after the decimal point of the seconds");
    std::uint32_t nanos = 0;
    int kept = 0;
    while (is_digit(peek())) {
        // Digits past nanoseconds are dropped, not rounded.
        if (kept < 9) {
            nanos = nanos * 10 + static_cast<std::uint32_t>(peek() - '0');
            ++kept;
        }
        ++pos_;
    }
    for (; kept < 9; ++kept) nanos *= 10;
    time.nanosecond = nanos;
    return true;
}

bool Scanner::read_offset(Offset& offset) {
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    for (std::size_t i = 1; i <= 5; ++i) {
        bool ok = i == 3 ? peek_at(i) == ':' : is_digit(peek_at(i));
        if (!ok) return fail(start + i, "expected a time offset of the form +HH:MM or -HH:MM");
    }
    int hours = two_digits(text_, start + 1);
    int minutes = two_digits(text_, start + 4);
    if (hours > 23) return fail(start + 1, "offset hour must be 00 to 23");
    if (minutes > 59) return fail(start + 4, "offset minute must be 00 to 59");
    int total = hours * 60 + minutes;
    offset.z = false;
    offset.minutes = static_cast<std::int16_t>(negative ? -total : total);
    pos_ += 6;
    return true;
}

bool Scanner::read_datetime(Value& out) {
    DateTime dt;
    if (peek_at(2) == ':') {
        Time time;
        if (!read_time(time)) return false;
        dt.time = time;
        out = Value(dt);
        return true;
    }
    // Four digits and a dash have been seen.
    const std::size_t start = pos_;
    for (std::size_t i = 5; i < 10; ++i) {
        bool ok = i == 7 ? peek_at(i) == '-' : is_digit(peek_at(i));
        if (!ok) return fail(start + i, "expected a date of the form YYYY-MM-DD");
    }
    int year = (text_[start] - '0') * 1000 + (text_[start + 1] - '0') * 100 + two_digits(text_, start + 2);
    int month = two_digits(text_, start + 5);
    int day = two_digits(text_, start + 8);
    if (month < 1 || month > 12) return fail(start + 5, "month must be 01 to 12");
    if (day < 1 || day > days_in_month(year, month)) return fail(start + 8, "day is out of range for the month");
    dt.date = Date{static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day)};
    pos_ += 10;

    const char delimiter = peek();
    const bool time_follows = is_digit(peek_at(1)) && is_digit(peek_at(2)) && peek_at(3) == ':';
    if (delimiter == 'T' || delimiter == 't') {
        if (!time_follows) return fail(pos_ + 1, "expected a time of the form HH:MM after the date");
    } else if (delimiter != ' ' || !time_follows) {
        out = Value(dt);  // a local date
        return true;
    }
    ++pos_;
    Time time;
    if (!read_time(time)) return false;
    dt.time = time;
    const char c = peek();
    if (c == 'Z' || c == 'z') {
        dt.offset = Offset{true, 0};
        ++pos_;
    } else if (c == '+' || c == '-') {
        Offset offset;
        if (!read_offset(offset)) return false;
        dt.offset = offset;
    }
    out = Value(dt);
    return true;
}

bool Scanner::read_number_or_datetime(Value& out, std::string& buffer) {
    if (is_digit(peek()) && is_digit(peek_at(1))) {
        if (peek_at(2) == ':') return read_datetime(out);
        if (is_digit(peek_at(2)) && is_digit(peek_at(3)) && peek_at(4) == '-') return read_datetime(out);
    }
    return read_decimal(out, buffer);
}

}  // namespace qeld::doc::detail
