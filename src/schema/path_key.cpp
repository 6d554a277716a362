#include "schema/path_key.h"

namespace qeld::schema {

namespace {

bool is_bare_key(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key) {
        const bool bare = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                          c == '-';
        if (!bare) return false;
    }
    return true;
}

// Control characters without a short escape take the four-digit form, upper-case hex.
void append_unicode_escape(std::string& out, unsigned char c) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out += "\\u00";
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 0x0F]);
}

}  // namespace

std::string encode_path_key(std::string_view key) {
    if (is_bare_key(key)) return std::string(key);
    std::string out;
    out.reserve(key.size() + 2);
    out.push_back('"');
    // Byte by byte: every byte of a multi-byte UTF-8 sequence is at least 0x80 and passes unchanged.
    for (char ch : key) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 0x20) {
                    append_unicode_escape(out, c);
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace qeld::schema
