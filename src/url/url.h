#pragma once
// URLs read the way web browsers read them, for resolving the schema location a document names:
// parsing a text as an absolute URL or as a reference against a file URL, and converting between
// file URLs and local paths. Only file URLs are taken apart fully; of any other URL the parser
// checks the authority and keeps the scheme and host.

#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld::url {

struct Url {
    std::string scheme;                    // lower case
    std::optional<std::string> host;       // none for a file URL that names this machine
    std::string path;                      // percent-encoded; a file URL's path begins with "/"
    std::optional<std::string> query;      // present, possibly empty, when the text had a "?"
    std::optional<std::string> fragment;   // present, possibly empty, when the text had a "#"
};

// A text as an absolute URL; the failure is the parser's error text ("empty host", ...).
Result<Url> parse(std::string_view text);
// A text as a URL reference against a file URL (one made by from_file_path or parsed as file:).
Result<Url> parse_with_base(std::string_view text, const Url& file_base);
// The file URL of an absolute path, its segments kept as they are (".." stays); none for a
// relative path.
std::optional<Url> from_file_path(std::string_view absolute_path);
// The local path of a file URL, percent-decoded; none for another scheme or a host other than
// this machine.
std::optional<std::string> to_file_path(const Url& url);

}  // namespace qeld::url
