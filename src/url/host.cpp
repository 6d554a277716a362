#include "url/host.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/utf8.h"
#include "url/idna.h"
#include "url/percent.h"

namespace qeld::url {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char to_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string_view> split_on_dots(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t dot = text.find('.');
        parts.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos) return parts;
        text.remove_prefix(dot + 1);
    }
}

// ---- IPv4 ----

// One part of an IPv4 address: decimal, "0x" hexadecimal or "0" octal; none when it is not a
// number. A value beyond 32 bits is kept as "too large" rather than exactly.
std::optional<std::uint64_t> parse_ipv4_number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int radix = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        radix = 16;
    } else if (text.size() >= 2 && text[0] == '0') {
        text.remove_prefix(1);
        radix = 8;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = hex_value(c);
        if (digit < 0 || digit >= radix) return std::nullopt;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) value = 0x100000000ull;  // saturates: already out of range
    }
    return value;
}

// A domain whose last label (before one trailing dot) is a number is read as an IPv4 address.
bool ends_in_a_number(std::string_view domain) {
    auto parts = split_on_dots(domain);
    if (parts.back().empty()) {
        if (parts.size() == 1) return false;
        parts.pop_back();
    }
    std::string_view last = parts.back();
    bool all_digits = !last.empty();
    for (char c : last) all_digits = all_digits && is_digit(c);
    return all_digits || parse_ipv4_number(last).has_value();
}

Result<std::string> parse_ipv4(std::string_view domain) {
    auto parts = split_on_dots(domain);
    if (parts.back().empty() && parts.size() > 1) parts.pop_back();
    if (parts.size() > 4) return fail(invalid_ipv4);
    std::vector<std::uint64_t> numbers;
    for (auto part : parts) {
        auto number = parse_ipv4_number(part);
        if (!number) return fail(invalid_ipv4);
        numbers.push_back(*number);
    }
    for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
        if (numbers[i] > 255) return fail(invalid_ipv4);
    }
    std::uint64_t address = numbers.back();
    if (address >= (1ull << (8 * (5 - numbers.size())))) return fail(invalid_ipv4);
    for (std::size_t i = 0; i + 1 < numbers.size(); ++i) address += numbers[i] << (8 * (3 - i));
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) out.push_back('.');
        out += std::to_string((address >> shift) & 0xFF);
    }
    return out;
}

// ---- IPv6 ----

using Ipv6Address = std::array<std::uint16_t, 8>;

// The IPv4 tail of an IPv6 address ("::1.2.3.4"), written into two pieces from `piece` on.
bool parse_ipv4_in_ipv6(std::string_view text, std::size_t& i, Ipv6Address& address, std::size_t& piece) {
    if (piece > 6) return false;
    int numbers_seen = 0;
    while (i < text.size()) {
        if (numbers_seen > 0) {
            if (text[i] != '.' || numbers_seen >= 4) return false;
            ++i;
        }
        if (i >= text.size() || !is_digit(text[i])) return false;
        int value = -1;
        while (i < text.size() && is_digit(text[i])) {
            int digit = text[i] - '0';
            if (value == 0) return false;  // no leading zeros
            value = value < 0 ? digit : value * 10 + digit;
            if (value > 255) return false;
            ++i;
        }
        address[piece] = static_cast<std::uint16_t>(address[piece] * 0x100 + value);
        ++numbers_seen;
        if (numbers_seen == 2 || numbers_seen == 4) ++piece;
    }
    return numbers_seen == 4;
}

std::optional<Ipv6Address> parse_ipv6(std::string_view text) {
    Ipv6Address address{};
    std::size_t piece = 0;
    std::optional<std::size_t> compress;
    std::size_t i = 0;
    if (i < text.size() && text[i] == ':') {
        if (i + 1 >= text.size() || text[i + 1] != ':') return std::nullopt;
        i += 2;
        compress = ++piece;
    }
    while (i < text.size()) {
        if (piece == 8) return std::nullopt;
        if (text[i] == ':') {
            if (compress) return std::nullopt;
            ++i;
            compress = ++piece;
            continue;
        }
        unsigned value = 0;
        std::size_t length = 0;
        while (length < 4 && i < text.size() && hex_value(text[i]) >= 0) {
            value = value * 0x10 + static_cast<unsigned>(hex_value(text[i]));
            ++i;
            ++length;
        }
        if (i < text.size() && text[i] == '.') {
            if (length == 0) return std::nullopt;
            i -= length;
            if (!parse_ipv4_in_ipv6(text, i, address, piece)) return std::nullopt;
            break;
        }
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (i >= text.size()) return std::nullopt;
        } else if (i < text.size()) {
            return std::nullopt;
        }
        address[piece++] = static_cast<std::uint16_t>(value);
    }
    if (compress) {
        std::size_t swaps = piece - *compress;
        for (std::size_t last = 7; last != 0 && swaps > 0; --last, --swaps) {
            std::swap(address[last], address[*compress + swaps - 1]);
        }
    } else if (piece != 8) {
        return std::nullopt;
    }
    return address;
}

// Lower-case hexadecimal pieces; the first longest run of two or more zero pieces becomes "::".
std::string serialize_ipv6(const Ipv6Address& address) {
    std::optional<std::size_t> compress;
    std::size_t best = 1;
    for (std::size_t start = 0; start < 8;) {
        std::size_t end = start;
        while (end < 8 && address[end] == 0) ++end;
        if (end - start > best) {
            best = end - start;
            compress = start;
        }
        start = end == start ? start + 1 : end;
    }
    constexpr char digits[] = "0123456789abcdef";
    std::string out = "[";
    bool ignore_zero = false;
    for (std::size_t i = 0; i < 8; ++i) {
        if (ignore_zero && address[i] == 0) continue;
        ignore_zero = false;
        if (compress == i) {
            out += i == 0 ? "::" : ":";
            ignore_zero = true;
            continue;
        }
        std::string hex;
        for (unsigned value = address[i]; value != 0 || hex.empty(); value >>= 4)
            hex.insert(hex.begin(), digits[value & 0xF]);
        out += hex;
        if (i != 7) out.push_back(':');
    }
    out.push_back(']');
    return out;
}

// ---- Domains and opaque hosts ----

bool is_forbidden_host_code_point(unsigned char c) {
    return c == 0 || std::string_view("\t\n\r #/:<>?@[\\]^|").find(static_cast<char>(c)) != std::string_view::npos;
}

bool is_forbidden_domain_code_point(unsigned char c) {
    return is_forbidden_host_code_point(c) || c <= 0x1F || c == '%' || c == 0x7F;
}

bool has_ace_label(std::string_view domain) {
    for (auto label : split_on_dots(domain)) {
        if (label.size() >= 4 && to_lower(label[0]) == 'x' && to_lower(label[1]) == 'n' && label[2] == '-' &&
            label[3] == '-')
            return true;
    }
    return false;
}

// ASCII names that need no IDNA are only lower-cased; all others go through UTS #46.
Result<std::string> domain_to_ascii(const std::string& domain) {
    bool ascii = true;
    for (unsigned char c : domain) ascii = ascii && c < 0x80;
    std::string result;
    if (ascii && !has_ace_label(domain)) {
        result = domain;
        for (char& c : result) c = to_lower(c);
    } else {
        auto mapped = unicode_domain_to_ascii(domain);
        if (!mapped) return fail(invalid_domain);
        result = std::move(*mapped);
    }
    if (result.empty()) return fail(empty_host);
    for (unsigned char c : result) {
        if (is_forbidden_domain_code_point(c)) return fail(invalid_domain);
    }
    return result;
}

}  // namespace

Result<std::string> parse_host(std::string_view input, bool is_opaque) {
    if (!input.empty() && input[0] == '[') {
        if (input.back() != ']' || input.size() < 2) return fail(invalid_ipv6);
        auto address = parse_ipv6(input.substr(1, input.size() - 2));
        if (!address) return fail(invalid_ipv6);
        return serialize_ipv6(*address);
    }
    if (is_opaque) {
        for (unsigned char c : input) {
            if (is_forbidden_host_code_point(c)) return fail(invalid_domain_character);
        }
        return percent_encode(input, EncodeSet::C0Control);
    }
    // Bytes that are not UTF-8 would decode to U+FFFD, which no domain may hold.
    std::string domain = percent_decode(input);
    if (!is_valid_utf8(domain)) return fail(invalid_domain);
    auto ascii = domain_to_ascii(domain);
    if (!ascii) return ascii;
    if (ends_in_a_number(*ascii)) return parse_ipv4(*ascii);
    return ascii;
}

}  // namespace qeld::url
