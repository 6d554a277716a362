#pragma once
// UTF-8 as the pattern engine reads it: patterns are checked and decoded whole; haystacks are
// valid UTF-8 by contract and are decoded one code point at a time, forwards and backwards.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/utf8.h"

namespace qeld::regex {

// A whole text as code points, or none when it is not strict UTF-8.
inline std::optional<std::u32string> decode_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8_sequence_length(text);
        if (length == 0) return std::nullopt;
        out.push_back(decode_utf8_sequence(text.substr(0, length)));
        text.remove_prefix(length);
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
