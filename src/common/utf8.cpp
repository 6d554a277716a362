#include "common/utf8.h"

#include <cstdint>
#include <cstring>

namespace qeld {

namespace {

struct SequenceScan {
    std::size_t taken;  // bytes of the longest prefix that can start a valid sequence
    bool complete;      // whether those bytes are a whole sequence
};

// Reads one sequence strictly: the second byte's range excludes overlong forms, surrogates and
// values past U+10FFFF, so that every later byte is a plain continuation byte.
SequenceScan scan_sequence(std::string_view bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return {1, true};
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, false};
    }
    std::size_t taken = 1;
    while (taken < length && taken < bytes.size()) {
        const unsigned char byte = at(taken);
        if (byte < (taken == 1 ? low : 0x80) || byte > (taken == 1 ? high : 0xBF)) break;
        ++taken;
    }
    return {taken, taken == length};
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const SequenceScan scan = scan_sequence(bytes);
    return scan.complete ? scan.taken : 0;
}

namespace {

// Where the first of the 32-byte blocks from `i` on that holds a non-ASCII byte starts (or the
// last short block): most text is ASCII, and four words tested together keep the loop short.
std::size_t skip_ascii_blocks(std::string_view text, std::size_t i) {
    constexpr std::uint64_t high = 0x8080808080808080ull;
    const char* data = text.data();
    for (; text.size() - i >= 32; i += 32) {
        std::uint64_t words[4];
        std::memcpy(words, data + i, sizeof words);
        if (((words[0] | words[1] | words[2] | words[3]) & high) != 0) break;
    }
    return i;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    std::size_t i = skip_ascii_blocks(text, 0);
    while (i < text.size()) {
        // Past a multi-byte sequence, whole ASCII blocks are passed again.
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = utf8_sequence_length(text.substr(i));
        if (length == 0) return false;
        i = skip_ascii_blocks(text, i + length);
    }
    return true;
}

char32_t decode_utf8_sequence(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) return lead;
    char32_t value = lead & (0x7F >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    }
    return value;
}

void append_utf8(std::string& out, char32_t scalar) {
    if (scalar < 0x80) {
        out.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
}

std::string replace_invalid_utf8(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const SequenceScan scan = scan_sequence(bytes.substr(i));
        if (scan.complete) {
            out.append(bytes.substr(i, scan.taken));
        } else {
            out += "\xEF\xBF\xBD";
        }
        i += scan.taken;
    }
    return out;
}

std::size_t count_scalar_values(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace qeld
