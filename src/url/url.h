#pragma once
// URLs read the way web browsers read them, for resolving the schema location a document names:
// parsing a text as an absolute URL or as a reference against a base URL, writing a URL out, and
// converting between file URLs and local paths.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld::url {

struct Url {
    std::string scheme;                    // lower case
    std::optional<std::string> host;       // serialized; "" when empty, as for a file URL naming this machine
    std::string path;                      // percent-encoded, as written out after the host
    std::optional<std::string> query;      // present, possibly empty, when the text had a "?"
    std::optional<std::string> fragment;   // present, possibly empty, when the text had a "#"
    std::string username;                  // percent-encoded
    std::string password;                  // percent-encoded
    std::optional<std::uint16_t> port;     // none when absent or the scheme's default
};

// A text as an absolute URL; the failure is the parser's error text ("empty host", ...).
Result<Url> parse(std::string_view text);
// A text as a URL reference against a base URL (one made by parse or from_file_path).
Result<Url> parse_with_base(std::string_view text, const Url& base);
// The scheme a text begins with, lower case, as parsing reads it; none for a reference without one.
std::optional<std::string> leading_scheme(std::string_view text);
// The URL as one text, as browsers write it out.
std::string serialize(const Url& url);
// The file URL of an absolute path, its segments kept as they are (".." stays); none for a
// relative path.
std::optional<Url> from_file_path(std::string_view absolute_path);
// The local path of a file URL, percent-decoded; none for another scheme or a host other than
// this machine.
std::optional<std::string> to_file_path(const Url& url);

}  // namespace qeld::url
