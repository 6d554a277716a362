#pragma once
// Loose matching of Unicode property names and values: case, spaces, '_' and '-' do not count,
// nor does a leading "is" (so "IsGreek" is "Greek"). Bytes outside ASCII are dropped. Shared by
// the lookup of a pattern's \p{...} and, as its own copy in tools/tablegen.mjs, by the table
// generator, which files every alias under this key.

#include <string>
#include <string_view>

namespace qeld::regex {

inline std::string normalize_property_name(std::string_view name) {
    std::size_t start = 0;
    bool starts_with_is = false;
    if (name.size() >= 2 && (name[0] == 'i' || name[0] == 'I') && (name[1] == 's' || name[1] == 'S')) {
        starts_with_is = true;
        start = 2;
    }
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = start; i < name.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(name[i]);
        if (b == ' ' || b == '_' || b == '-' || b >= 0x80) continue;
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
        out.push_back(static_cast<char>(b));
    }
    // "isc" is the short alias of ISO_Comment; dropping its "is" would make "c" (the Other
    // category) one of its aliases.
    if (starts_with_is && out == "c") out = "isc";
    return out;
}

}  // namespace qeld::regex
