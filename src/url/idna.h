#pragma once
// Internationalized domain names as browsers map them (UTS #46 with the URL Standard's settings).

#include <optional>
#include <string>
#include <string_view>

namespace qeld::url {

// The ASCII form of a domain given as UTF-8: non-transitional mapping, bidi and joiner rules
// checked, hyphen placement and DNS lengths not checked, ASCII punctuation left for the caller to
// judge. None when UTS #46 refuses the name. Time grows with the name's length alone, however
// many labels it has.
std::optional<std::string> unicode_domain_to_ascii(std::string_view domain);

}  // namespace qeld::url
