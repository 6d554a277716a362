#pragma once
// UTF-8 as the pattern engine reads it: patterns are checked and decoded whole; haystacks are
// valid UTF-8 by contract and are decoded one code point at a time, forwards and backwards.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qeld::regex {

inline void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
inline std::optional<std::u32string> decode_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    auto byte = [&text](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    while (i < text.size()) {
        std::uint8_t b = byte(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t length;
        char32_t c;
        char32_t minimum;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2, c = b & 0x1F, minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, c = b & 0x0F, minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, c = b & 0x07, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size()) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        out.push_back(c);
        i += length;
    }
    return out;
}

// The code point starting at byte `at` of valid UTF-8 text, and its length in bytes. Text that
// breaks the contract is never read out of bounds: a truncated sequence is one U+FFFD.
struct Decoded {
    char32_t c;
    std::uint32_t length;
};

inline Decoded decode_at(std::string_view text, std::size_t at) {
    auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint8_t b = byte(at);
    if (b < 0x80) return {b, 1};
    std::size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (at + length > text.size()) return {0xFFFD, 1};
    if (b < 0xE0) return {static_cast<char32_t>(((b & 0x1F) << 6) | (byte(at + 1) & 0x3F)), 2};
    if (b < 0xF0) {
        return {static_cast<char32_t>(((b & 0x0F) << 12) | ((byte(at + 1) & 0x3F) << 6) | (byte(at + 2) & 0x3F)), 3};
    }
    return {static_cast<char32_t>(((b & 0x07) << 18) | ((byte(at + 1) & 0x3F) << 12) | ((byte(at + 2) & 0x3F) << 6) |
                                  (byte(at + 3) & 0x3F)),
            4};
}

// The code point that ends just before byte `at` (at > 0) of valid UTF-8 text.
inline char32_t decode_before(std::string_view text, std::size_t at) {
    std::size_t start = at - 1;
    while (start > 0 && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
    return decode_at(text, start).c;
}

}  // namespace qeld::regex
