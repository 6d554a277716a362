#include "document/key.h"

namespace qeld::doc {

bool is_bare_key(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key) {
        if (!is_bare_key_char(c)) return false;
    }
    return true;
}

std::string quote_basic_string(std::string_view key) {
    static constexpr char digits[] = "0123456789ABCDEF";
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
                if (c < 0x20 || c == 0x7F) {
                    out += "\\u00";
                    out.push_back(digits[c >> 4]);
                    out.push_back(digits[c & 0x0F]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace qeld::doc
