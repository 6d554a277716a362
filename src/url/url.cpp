#include "url/url.h"

#include <arpa/inet.h>
#include <idn2.h>
#include <uriparser/Uri.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/invariant.h"
#include "common/utf8.h"

// Browsers read URLs by the WHATWG URL Standard, which differs from RFC 3986 in many small ways.
// This layer applies those rules to the text (clean-up, backslashes, percent-encoding, dot
// segments written as %2e, hosts, ports) and leaves the RFC 3986 merge of a reference with its
// base and the removal of dot segments to uriparser, on texts it has already put in RFC 3986 form.

namespace qeld::url {

namespace {

// The parser's error texts.
constexpr const char* empty_host = "empty host";
constexpr const char* invalid_domain = "invalid international domain name";
constexpr const char* invalid_port = "invalid port number";
constexpr const char* invalid_ipv4 = "invalid IPv4 address";
constexpr const char* invalid_ipv6 = "invalid IPv6 address";
constexpr const char* invalid_domain_character = "invalid domain character";
constexpr const char* relative_without_base = "relative URL without a base";

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_slash(char c) { return c == '/' || c == '\\'; }

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char to_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = to_lower(c);
    return out;
}

bool starts_escape(std::string_view text, std::size_t i) {
    return i + 2 < text.size() && text[i] == '%' && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0;
}

std::string percent_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (starts_escape(text, i)) {
            out.push_back(static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void append_encoded(std::string& out, unsigned char c) {
    constexpr char digits[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 0xF]);
}

// Leading and trailing C0 controls and spaces go; tabs and line breaks go wherever they stand.
std::string clean_input(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    std::string out;
    out.reserve(end - begin);
    for (char c : text.substr(begin, end - begin)) {
        if (c != '\t' && c != '\n' && c != '\r') out.push_back(c);
    }
    return out;
}

struct SchemeSplit {
    std::string scheme;  // lower case
    std::string_view rest;
};

// The scheme: a letter, then letters, digits, "+", "-" or ".", up to the first ":".
std::optional<SchemeSplit> split_scheme(std::string_view text) {
    if (text.empty() || !is_alpha(text[0])) return std::nullopt;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':') return SchemeSplit{lower_ascii(text.substr(0, i)), text.substr(i + 1)};
        if (!is_alpha(c) && !is_digit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    return std::nullopt;
}

bool is_special_scheme(std::string_view scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" || scheme == "ftp";
}

// ---- Hosts ----

// An IPv4 part: decimal, "0x" hexadecimal or "0" octal.
struct Ipv4Number {
    bool valid = false;
    bool overflow = false;  // a number beyond 32 bits
    std::uint64_t value = 0;
};

Ipv4Number parse_ipv4_number(std::string_view text) {
    if (text.empty()) return {};
    int radix = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        radix = 16;
    } else if (text.size() >= 2 && text[0] == '0') {
        text.remove_prefix(1);
        radix = 8;
    }
    Ipv4Number number{true, false, 0};
    for (char c : text) {
        int digit = hex_value(c);
        if (digit < 0 || digit >= radix) return {};
        if (!number.overflow) {
            number.value = number.value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
            if (number.value > 0xFFFFFFFFu) number.overflow = true;
        }
    }
    return number;
}

std::vector<std::string_view> split_labels(std::string_view domain) {
    std::vector<std::string_view> labels;
    std::size_t start = 0;
    for (;;) {
        std::size_t dot = domain.find('.', start);
        labels.push_back(domain.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) return labels;
        start = dot + 1;
    }
}

// A domain whose last label (before one trailing dot) is a number is read as an IPv4 address.
bool ends_in_number(std::string_view domain) {
    auto labels = split_labels(domain);
    if (labels.back().empty()) {
        if (labels.size() == 1) return false;
        labels.pop_back();
    }
    std::string_view last = labels.back();
    bool all_digits = !last.empty();
    for (char c : last) all_digits = all_digits && is_digit(c);
    return all_digits || parse_ipv4_number(last).valid;
}

bool is_valid_ipv4(std::string_view domain) {
    auto labels = split_labels(domain);
    if (labels.back().empty()) labels.pop_back();
    if (labels.size() > 4 || labels.empty()) return false;
    std::vector<std::uint64_t> numbers;
    for (auto label : labels) {
        Ipv4Number number = parse_ipv4_number(label);
        if (!number.valid || number.overflow) return false;
        numbers.push_back(number.value);
    }
    std::uint64_t last = numbers.back();
    numbers.pop_back();
    if (last > (0xFFFFFFFFu >> (8 * numbers.size()))) return false;
    for (auto n : numbers) {
        if (n > 255) return false;
    }
    return true;
}

bool is_valid_ipv6(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    std::string inner(text);
    in6_addr address;
    return inet_pton(AF_INET6, inner.c_str(), &address) == 1;
}

// Code points a domain may not hold once mapped: controls, space, DEL and these.
bool is_forbidden_in_domain(unsigned char c) {
    if (c <= 0x20 || c == 0x7F) return true;
    return std::string_view("%#/:<>?@[\\]^|").find(static_cast<char>(c)) != std::string_view::npos;
}

// Code points an opaque host (of a scheme browsers know nothing of) may not hold.
bool is_forbidden_in_opaque_host(char c) {
    return std::string_view("\t\n\r #/:<>?@[\\]^|").find(c) != std::string_view::npos;
}

bool is_valid_a_label(std::string_view label) {
    std::string text(label);
    char* output = nullptr;
    int rc = idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(text.c_str()),
                            reinterpret_cast<std::uint8_t**>(&output), IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    std::free(output);
    return rc == IDN2_OK;
}

// A domain name mapped as browsers map it: ASCII in lower case (a punycode label must decode),
// other text through IDNA with non-transitional processing; none when the name is refused.
std::optional<std::string> domain_to_ascii(const std::string& domain) {
    if (!is_valid_utf8(domain)) return std::nullopt;
    bool ascii = true;
    for (unsigned char c : domain) {
        if (c < 0x80 && is_forbidden_in_domain(c)) return std::nullopt;
        ascii = ascii && c < 0x80;
    }
    std::string mapped;
    if (ascii) {
        mapped = lower_ascii(domain);
        for (auto label : split_labels(mapped)) {
            if (label.substr(0, 4) == "xn--" && !is_valid_a_label(label)) return std::nullopt;
        }
    } else {
        char* output = nullptr;
        int rc = idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(domain.c_str()),
                                reinterpret_cast<std::uint8_t**>(&output), IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
        if (rc != IDN2_OK) {
            std::free(output);
            return std::nullopt;
        }
        mapped = output;
        std::free(output);
    }
    for (unsigned char c : mapped) {
        if (is_forbidden_in_domain(c)) return std::nullopt;
    }
    return mapped;
}

// The host of a special URL (file, http, ...) or, when not special, an opaque host.
Result<std::string> parse_host(std::string_view text, bool special) {
    if (!text.empty() && text[0] == '[') {
        if (text.size() < 2 || text.back() != ']' || !is_valid_ipv6(text.substr(1, text.size() - 2)))
            return fail(invalid_ipv6);
        return std::string(text);
    }
    if (!special) {
        for (char c : text) {
            if (c == '\0' || is_forbidden_in_opaque_host(c)) return fail(invalid_domain_character);
        }
        return std::string(text);
    }
    auto ascii = domain_to_ascii(percent_decode(text));
    if (!ascii) return fail(invalid_domain);
    if (ascii->empty()) return fail(empty_host);
    if (ends_in_number(*ascii) && !is_valid_ipv4(*ascii)) return fail(invalid_ipv4);
    return std::move(*ascii);
}

// The authority after "//": credentials, then the host, then a port. Only its validity and
// host are kept.
Result<Url> parse_authority(std::string scheme, std::string_view rest, bool special) {
    std::size_t end = rest.find_first_of(special ? std::string_view("/\\?#") : std::string_view("/?#"));
    std::string_view authority = rest.substr(0, end);
    bool followed = end != std::string_view::npos;
    bool has_credentials = false;
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        if (at == 0 && authority.size() == 1 && followed) return fail(empty_host);
        // Credentials count when a user name or a password is left: "x://:@h" has none.
        std::string_view userinfo = authority.substr(0, at);
        std::size_t colon = userinfo.find(':');
        has_credentials = colon == std::string_view::npos ? !userinfo.empty() : colon > 0 || colon + 1 < userinfo.size();
        authority = authority.substr(at + 1);
    }
    // The host runs to a ":" outside brackets.
    std::size_t host_end = authority.size();
    bool in_brackets = false;
    for (std::size_t i = 0; i < authority.size(); ++i) {
        if (authority[i] == '[') in_brackets = true;
        if (authority[i] == ']') in_brackets = false;
        if (authority[i] == ':' && !in_brackets) {
            host_end = i;
            break;
        }
    }
    std::string_view host_text = authority.substr(0, host_end);
    if (special && host_text.empty()) return fail(empty_host);
    auto host = parse_host(host_text, special);
    if (!host) return fail(host.take_error());
    bool has_port = host_end < authority.size();
    if (host->empty() && (has_port || has_credentials)) return fail(empty_host);
    if (has_port) {
        std::uint32_t port = 0;
        for (char c : authority.substr(host_end + 1)) {
            if (c == '\\') break;  // ends a port even where it ends no authority
            if (!is_digit(c)) return fail(invalid_port);
            port = port * 10 + static_cast<std::uint32_t>(c - '0');
            if (port > 65535) return fail(invalid_port);
        }
    }
    Url url;
    url.scheme = std::move(scheme);
    if (!host->empty()) url.host = std::move(*host);
    return url;
}

// ---- File URLs ----

// Bytes a path carries percent-encoded: those browsers encode (controls, space, " # < > ? ` { }
// and every non-ASCII byte) and those RFC 3986 forbids in a path while browsers keep them bare
// ([ ] ^ |). Either way the decoded path is the same.
bool path_byte_needs_encoding(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    return std::string_view("\"#<>?`{}[]^|").find(static_cast<char>(c)) != std::string_view::npos;
}

bool is_single_dot(std::string_view segment) { return segment == "." || lower_ascii(segment) == "%2e"; }

bool is_double_dot(std::string_view segment) {
    std::string s = lower_ascii(segment);
    return s == ".." || s == ".%2e" || s == "%2e." || s == "%2e%2e";
}

// A reference's path in RFC 3986 form: "\" read as "/", dot segments also when written with %2e,
// a "%" that starts no escape kept as a plain percent sign.
std::string encode_reference_path(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    std::size_t start = 0;
    for (;;) {
        std::size_t end = path.find_first_of("/\\", start);
        std::string_view segment = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (is_single_dot(segment)) {
            out += '.';
        } else if (is_double_dot(segment)) {
            out += "..";
        } else {
            for (std::size_t i = 0; i < segment.size(); ++i) {
                auto c = static_cast<unsigned char>(segment[i]);
                if (c == '%' && !starts_escape(segment, i)) {
                    out += "%25";
                } else if (path_byte_needs_encoding(c)) {
                    append_encoded(out, c);
                } else {
                    out.push_back(static_cast<char>(c));
                }
            }
        }
        if (end == std::string_view::npos) return out;
        out += '/';
        start = end + 1;
    }
}

// A query or fragment in RFC 3986 form; only its presence matters to the caller.
std::string encode_query_or_fragment(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        bool escape = c == '%' && starts_escape(text, i);
        if (!escape && (c == '%' || c == '#' || c == '\\' || path_byte_needs_encoding(c))) {
            append_encoded(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string range_text(const UriTextRangeA& range) {
    return range.first == nullptr ? std::string() : std::string(range.first, range.afterLast);
}

class ParsedUri {
public:
    explicit ParsedUri(const std::string& text) {
        const char* error_position = nullptr;
        ok_ = uriParseSingleUriExA(&uri_, text.data(), text.data() + text.size(), &error_position) == URI_SUCCESS;
    }
    ParsedUri() = default;
    ParsedUri(const ParsedUri&) = delete;
    ParsedUri& operator=(const ParsedUri&) = delete;
    ~ParsedUri() {
        if (ok_) uriFreeUriMembersA(&uri_);
    }
    bool ok() const { return ok_; }
    UriUriA& uri() { return uri_; }
    void set_ok() { ok_ = true; }

private:
    UriUriA uri_{};
    bool ok_ = false;
};

// The reference, already in RFC 3986 form, merged with the base path by uriparser; the path
// segments of the result, each still percent-encoded.
Url resolve_with_uriparser(const std::string& base_path, const std::string& reference) {
    const std::string base_text = "file://" + base_path;
    ParsedUri base(base_text);
    ParsedUri relative(reference);
    if (!base.ok() || !relative.ok()) invariant_failure("URL text not in RFC 3986 form: " + reference);
    ParsedUri resolved;
    if (uriAddBaseUriExA(&resolved.uri(), &relative.uri(), &base.uri(), URI_RESOLVE_STRICTLY) != URI_SUCCESS)
        invariant_failure("URL reference did not resolve: " + reference);
    resolved.set_ok();
    Url url;
    url.scheme = "file";
    for (const UriPathSegmentA* segment = resolved.uri().pathHead; segment != nullptr; segment = segment->next) {
        url.path += '/';
        url.path += range_text(segment->text);
    }
    // A file path never begins with empty segments.
    std::size_t slashes = url.path.find_first_not_of('/');
    if (slashes == std::string::npos) {
        url.path = "/";
    } else {
        url.path.erase(0, slashes - 1);
    }
    if (resolved.uri().query.first != nullptr) url.query = range_text(resolved.uri().query);
    if (resolved.uri().fragment.first != nullptr) url.fragment = range_text(resolved.uri().fragment);
    return url;
}

// What follows "file:" (or a whole reference without a scheme), against the path of a file base
// without a host.
Result<Url> parse_file(std::string_view rest, const std::string& base_path) {
    std::size_t path_end = rest.find_first_of("?#");
    std::string_view path = rest.substr(0, path_end);
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
    if (path_end != std::string_view::npos) {
        std::string_view tail = rest.substr(path_end + 1);
        if (rest[path_end] == '?') {
            std::size_t hash = tail.find('#');
            query = tail.substr(0, hash);
            if (hash != std::string_view::npos) fragment = tail.substr(hash + 1);
        } else {
            fragment = tail;
        }
    }

    // An absolute path is written "/./..." so that a path beginning with an empty segment does not
    // read as an authority.
    std::optional<std::string> host;
    std::string reference;
    if (path.size() >= 2 && is_slash(path[0]) && is_slash(path[1])) {
        std::string_view after = path.substr(2);
        std::size_t host_end = after.find_first_of("/\\");
        std::string_view host_text = after.substr(0, host_end);
        path = host_end == std::string_view::npos ? std::string_view() : after.substr(host_end);
        if (!host_text.empty()) {
            auto parsed = parse_host(host_text, true);
            if (!parsed) return fail(parsed.take_error());
            if (*parsed != "localhost") host = std::move(*parsed);
        }
        reference = "/./" + encode_reference_path(path.empty() ? path : path.substr(1));
    } else if (!path.empty() && is_slash(path[0])) {
        reference = "/./" + encode_reference_path(path.substr(1));
    } else if (!path.empty()) {
        // "./" keeps a first segment holding ":" from reading as a scheme.
        reference = "./" + encode_reference_path(path);
    }
    if (query) reference += "?" + encode_query_or_fragment(*query);
    if (fragment) reference += "#" + encode_query_or_fragment(*fragment);

    Url url = resolve_with_uriparser(base_path, reference);
    url.host = std::move(host);
    return url;
}

Result<Url> parse_with_scheme(SchemeSplit split, const std::string& file_base_path) {
    if (split.scheme == "file") return parse_file(split.rest, file_base_path);
    if (is_special_scheme(split.scheme)) {
        std::size_t slashes = 0;
        while (slashes < split.rest.size() && is_slash(split.rest[slashes])) ++slashes;
        return parse_authority(std::move(split.scheme), split.rest.substr(slashes), true);
    }
    if (split.rest.substr(0, 2) == "//") return parse_authority(std::move(split.scheme), split.rest.substr(2), false);
    Url url;
    url.scheme = std::move(split.scheme);
    return url;
}

}  // namespace

Result<Url> parse(std::string_view text) {
    std::string input = clean_input(text);
    auto split = split_scheme(input);
    if (!split) return fail(relative_without_base);
    // Without a base a file path starts at the root.
    return parse_with_scheme(std::move(*split), "/");
}

Result<Url> parse_with_base(std::string_view text, const Url& file_base) {
    if (file_base.scheme != "file" || file_base.host) invariant_failure("URL base is not a local file URL");
    std::string input = clean_input(text);
    auto split = split_scheme(input);
    if (split) return parse_with_scheme(std::move(*split), file_base.path);
    return parse_file(input, file_base.path);
}

std::optional<Url> from_file_path(std::string_view absolute_path) {
    if (absolute_path.empty() || absolute_path[0] != '/') return std::nullopt;
    Url url;
    url.scheme = "file";
    std::size_t start = 1;
    while (start <= absolute_path.size()) {
        std::size_t end = absolute_path.find('/', start);
        if (end == std::string_view::npos) end = absolute_path.size();
        std::string_view component = absolute_path.substr(start, end - start);
        start = end + 1;
        // Empty and "." components are no components of a path.
        if (component.empty() || component == ".") continue;
        url.path += '/';
        if (component == "..") {
            // Encoded so that uriparser keeps it: the base's own ".." segments are not applied.
            url.path += "%2E%2E";
            continue;
        }
        for (unsigned char c : component) {
            if (c == '%' || c == '\\' || path_byte_needs_encoding(c)) {
                append_encoded(url.path, c);
            } else {
                url.path.push_back(static_cast<char>(c));
            }
        }
    }
    if (url.path.empty()) url.path = "/";
    return url;
}

std::optional<std::string> to_file_path(const Url& url) {
    if (url.scheme != "file" || url.host) return std::nullopt;
    std::string path = percent_decode(url.path);
    // A path that ends like a drive letter gets the slash a drive letter needs.
    std::size_t n = path.size();
    if (n > 2 && is_alpha(path[n - 2]) && (path[n - 1] == ':' || path[n - 1] == '|')) path += '/';
    return path;
}

}  // namespace qeld::url
