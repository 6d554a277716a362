#pragma once
// Percent-encoding as URLs use it: which bytes each part of a URL writes as %XX, and decoding.

#include <string>
#include <string_view>

namespace qeld::url {

// The byte sets of the parts of a URL, each a superset of the one before it except where noted.
enum class EncodeSet {
    C0Control,     // controls and every byte above "~" (so all of UTF-8 beyond ASCII)
    Fragment,      // C0Control and space " < > `
    Query,         // C0Control and space " # < >
    SpecialQuery,  // Query and '
    Path,          // Query and ? ^ ` { }
    Userinfo,      // Path and / : ; = @ [ \ ] ^ |
};

bool in_encode_set(unsigned char byte, EncodeSet set);

// Appends the byte as %XX.
void append_escaped(std::string& out, unsigned char byte);
// Appends the byte, written as %XX when the set holds it.
void append_percent_encoded(std::string& out, unsigned char byte, EncodeSet set);

std::string percent_encode(std::string_view text, EncodeSet set);

// Every "%" followed by two hex digits becomes its byte; any other "%" stays.
std::string percent_decode(std::string_view text);

}  // namespace qeld::url
