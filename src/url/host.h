#pragma once
// The host of a URL: a domain, an IPv4 or IPv6 address, or (for schemes browsers do not know) an
// opaque host, each parsed and written out as browsers do.

#include <string_view>

#include "common/result.h"

namespace qeld::url {

// The parser's error texts, shared with the rest of the URL parser.
inline constexpr const char* empty_host = "empty host";
inline constexpr const char* invalid_domain = "invalid international domain name";
inline constexpr const char* invalid_port = "invalid port number";
inline constexpr const char* invalid_ipv4 = "invalid IPv4 address";
inline constexpr const char* invalid_ipv6 = "invalid IPv6 address";
inline constexpr const char* invalid_domain_character = "invalid domain character";

// The serialized host of the text between "//" and the port or path: an address in its canonical
// form, a domain in lower-case ASCII, an opaque host percent-encoded; "" for an empty opaque host.
Result<std::string> parse_host(std::string_view input, bool is_opaque);

}  // namespace qeld::url
