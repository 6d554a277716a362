#include "url/percent.h"

namespace qeld::url {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool contains(std::string_view bytes, unsigned char byte) {
    return bytes.find(static_cast<char>(byte)) != std::string_view::npos;
}

}  // namespace

bool in_encode_set(unsigned char byte, EncodeSet set) {
    if (byte < 0x20 || byte > 0x7E) return true;
    switch (set) {
        case EncodeSet::C0Control:
            return false;
        case EncodeSet::Fragment:
            return contains(" \"<>`", byte);
        case EncodeSet::Query:
            return contains(" \"#<>", byte);
        case EncodeSet::SpecialQuery:
            return contains(" \"#<>'", byte);
        case EncodeSet::Path:
            return contains(" \"#<>?^`{}", byte);
        case EncodeSet::Userinfo:
            return contains(" \"#<>?^`{}/:;=@[\\]|", byte);
    }
    return true;
}

void append_escaped(std::string& out, unsigned char byte) {
    constexpr char digits[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0xF]);
}

void append_percent_encoded(std::string& out, unsigned char byte, EncodeSet set) {
    if (in_encode_set(byte, set)) {
        append_escaped(out, byte);
    } else {
        out.push_back(static_cast<char>(byte));
    }
}

std::string percent_encode(std::string_view text, EncodeSet set) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) append_percent_encoded(out, static_cast<unsigned char>(c), set);
    return out;
}

std::string percent_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace qeld::url
