#include "url/url.h"

#include <cstdint>
#include <vector>

#include "url/host.h"
#include "url/percent.h"

// The basic URL parser of the WHATWG URL Standard, without its state overrides and with UTF-8 as
// the only encoding. The text is read byte by byte: every byte outside ASCII is percent-encoded
// wherever it lands, which for UTF-8 text is the same as encoding each code point.

namespace qeld::url {

namespace {

constexpr const char* relative_without_base = "relative URL without a base";
constexpr const char* relative_with_opaque_base = "relative URL with a cannot-be-a-base base";
constexpr const char* too_long = "URLs more than 4 GB are not supported";

// A URL while it is parsed: its path as a list of segments unless the path is opaque.
struct Record {
    std::string scheme;
    std::string username;
    std::string password;
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    std::vector<std::string> path;
    bool opaque = false;
    std::string opaque_path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

bool is_alpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
char to_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
// What a scheme holds after its first letter.
bool is_scheme_code_point(int c) { return is_alpha(c) || is_digit(c) || c == '+' || c == '-' || c == '.'; }
bool is_tab_or_line_break(int c) { return c == '\t' || c == '\n' || c == '\r'; }

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = to_lower(c);
    return out;
}

bool is_special(std::string_view scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" || scheme == "ftp" ||
           scheme == "file";
}

std::optional<std::uint16_t> default_port(std::string_view scheme) {
    if (scheme == "http" || scheme == "ws") return 80;
    if (scheme == "https" || scheme == "wss") return 443;
    if (scheme == "ftp") return 21;
    return std::nullopt;
}

// ---- Windows drive letters ----

bool is_windows_drive_letter(std::string_view text) {
    return text.size() == 2 && is_alpha(text[0]) && (text[1] == ':' || text[1] == '|');
}

bool is_normalized_windows_drive_letter(std::string_view text) {
    return is_windows_drive_letter(text) && text[1] == ':';
}

bool starts_with_windows_drive_letter(std::string_view text) {
    if (text.size() < 2 || !is_windows_drive_letter(text.substr(0, 2))) return false;
    return text.size() == 2 || std::string_view("/\\?#").find(text[2]) != std::string_view::npos;
}

// ---- Paths ----

bool is_single_dot(std::string_view segment) { return segment == "." || lower_ascii(segment) == "%2e"; }

bool is_double_dot(std::string_view segment) {
    if (segment.size() < 2 || segment.size() > 6) return false;
    std::string s = lower_ascii(segment);
    return s == ".." || s == ".%2e" || s == "%2e." || s == "%2e%2e";
}

// Removes the last segment, except a file URL's lone drive letter.
void shorten(Record& url) {
    if (url.scheme == "file" && url.path.size() == 1 && is_normalized_windows_drive_letter(url.path[0])) return;
    if (!url.path.empty()) url.path.pop_back();
}

// ---- Conversion between Url and Record ----

bool has_opaque_path(const Url& url) {
    return !is_special(url.scheme) && !url.host && (url.path.empty() || url.path[0] != '/');
}

Record to_record(const Url& url) {
    Record record;
    record.scheme = url.scheme;
    record.username = url.username;
    record.password = url.password;
    record.host = url.host;
    record.port = url.port;
    record.query = url.query;
    record.fragment = url.fragment;
    if (has_opaque_path(url)) {
        record.opaque = true;
        record.opaque_path = url.path;
        return record;
    }
    std::string_view rest = url.path;
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the "/" before each segment
        std::size_t slash = rest.find('/');
        record.path.emplace_back(rest.substr(0, slash));
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash);
    }
    return record;
}

Url to_url(Record record) {
    Url url;
    url.scheme = std::move(record.scheme);
    url.username = std::move(record.username);
    url.password = std::move(record.password);
    url.host = std::move(record.host);
    url.port = record.port;
    url.query = std::move(record.query);
    url.fragment = std::move(record.fragment);
    if (record.opaque) {
        url.path = std::move(record.opaque_path);
    } else {
        for (const auto& segment : record.path) {
            url.path += '/';
            url.path += segment;
        }
    }
    return url;
}

// ---- The state machine ----

enum class State {
    SchemeStart,
    Scheme,
    NoScheme,
    SpecialRelativeOrAuthority,
    PathOrAuthority,
    Relative,
    RelativeSlash,
    SpecialAuthoritySlashes,
    SpecialAuthorityIgnoreSlashes,
    Authority,
    Host,
    Port,
    File,
    FileSlash,
    FileHost,
    PathStart,
    Path,
    OpaquePath,
    Query,
    Fragment,
};

constexpr int eof = -1;

// Leading and trailing C0 controls and spaces go; tabs and line breaks go wherever they stand.
std::string clean_input(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    std::string out;
    out.reserve(end - begin);
    for (char c : text.substr(begin, end - begin)) {
        if (!is_tab_or_line_break(c)) out.push_back(c);
    }
    return out;
}

class Parser {
public:
    Parser(std::string input, const Record* base) : input_(std::move(input)), base_(base) {}

    Result<Record> run() {
        for (;; ++pointer_) {
            int c = at(pointer_);
            if (auto failure = step(c)) return fail(failure);
            if (pointer_ >= static_cast<std::ptrdiff_t>(input_.size())) break;
        }
        return std::move(url_);
    }

private:
    int at(std::ptrdiff_t i) const {
        if (i < 0 || i >= static_cast<std::ptrdiff_t>(input_.size())) return eof;
        return static_cast<unsigned char>(input_[static_cast<std::size_t>(i)]);
    }
    std::string_view from(std::ptrdiff_t i) const {
        if (i >= static_cast<std::ptrdiff_t>(input_.size())) return {};
        return std::string_view(input_).substr(static_cast<std::size_t>(i));
    }
    // What follows the current byte.
    std::string_view remaining() const { return from(pointer_ + 1); }
    bool special() const { return is_special(url_.scheme); }
    bool base_is_file() const { return base_ != nullptr && base_->scheme == "file"; }

    // One run of the current state on byte c; the error text that stops parsing, or null.
    const char* step(int c) {
        switch (state_) {
            case State::SchemeStart: return scheme_start(c);
            case State::Scheme: return scheme(c);
            case State::NoScheme: return no_scheme(c);
            case State::SpecialRelativeOrAuthority:
                if (c == '/' && remaining().substr(0, 1) == "/") {
                    state_ = State::SpecialAuthorityIgnoreSlashes;
                    ++pointer_;
                } else {
                    state_ = State::Relative;
                    --pointer_;
                }
                return nullptr;
            case State::PathOrAuthority:
                if (c == '/') {
                    state_ = State::Authority;
                } else {
                    state_ = State::Path;
                    --pointer_;
                }
                return nullptr;
            case State::Relative: return relative(c);
            case State::RelativeSlash: return relative_slash(c);
            case State::SpecialAuthoritySlashes:
                state_ = State::SpecialAuthorityIgnoreSlashes;
                if (c == '/' && remaining().substr(0, 1) == "/") {
                    ++pointer_;
                } else {
                    --pointer_;
                }
                return nullptr;
            case State::SpecialAuthorityIgnoreSlashes:
                if (c != '/' && c != '\\') {
                    state_ = State::Authority;
                    --pointer_;
                }
                return nullptr;
            case State::Authority: return authority(c);
            case State::Host: return host(c);
            case State::Port: return port(c);
            case State::File: return file(c);
            case State::FileSlash: return file_slash(c);
            case State::FileHost: return file_host(c);
            case State::PathStart: return path_start(c);
            case State::Path: return path(c);
            case State::OpaquePath: return opaque_path(c);
            case State::Query: return query(c);
            case State::Fragment:
                if (c != eof) {
                    append_percent_encoded(*url_.fragment, static_cast<unsigned char>(c), EncodeSet::Fragment);
                }
                return nullptr;
        }
        return nullptr;
    }

    const char* scheme_start(int c) {
        if (is_alpha(c)) {
            buffer_.push_back(to_lower(static_cast<char>(c)));
            state_ = State::Scheme;
        } else {
            state_ = State::NoScheme;
            --pointer_;
        }
        return nullptr;
    }

    const char* scheme(int c) {
        if (is_scheme_code_point(c)) {
            buffer_.push_back(to_lower(static_cast<char>(c)));
            return nullptr;
        }
        if (c != ':') {
            // Not a scheme after all: start over as a reference without one.
            buffer_.clear();
            state_ = State::NoScheme;
            pointer_ = -1;
            return nullptr;
        }
        url_.scheme = std::move(buffer_);
        buffer_.clear();
        if (url_.scheme == "file") {
            state_ = State::File;
        } else if (special() && base_ != nullptr && base_->scheme == url_.scheme) {
            state_ = State::SpecialRelativeOrAuthority;
        } else if (special()) {
            state_ = State::SpecialAuthoritySlashes;
        } else if (remaining().substr(0, 1) == "/") {
            state_ = State::PathOrAuthority;
            ++pointer_;
        } else {
            url_.opaque = true;
            state_ = State::OpaquePath;
        }
        return nullptr;
    }

    const char* no_scheme(int c) {
        if (base_ == nullptr) return relative_without_base;
        if (base_->opaque && c != '#') return relative_with_opaque_base;
        if (base_->opaque) {
            url_.scheme = base_->scheme;
            url_.opaque = true;
            url_.opaque_path = base_->opaque_path;
            url_.query = base_->query;
            url_.fragment = "";
            state_ = State::Fragment;
        } else {
            state_ = base_->scheme == "file" ? State::File : State::Relative;
            --pointer_;
        }
        return nullptr;
    }

    void copy_base_authority() {
        url_.username = base_->username;
        url_.password = base_->password;
        url_.host = base_->host;
        url_.port = base_->port;
    }

    // "?" starts the query and "#" the fragment; true when c is one of them.
    bool begin_query_or_fragment(int c) {
        if (c == '?') {
            url_.query = "";
            state_ = State::Query;
            return true;
        }
        if (c == '#') {
            url_.fragment = "";
            state_ = State::Fragment;
            return true;
        }
        return false;
    }

    const char* relative(int c) {
        url_.scheme = base_->scheme;
        if (c == '/' || (special() && c == '\\')) {
            state_ = State::RelativeSlash;
            return nullptr;
        }
        copy_base_authority();
        url_.path = base_->path;
        url_.query = base_->query;
        if (!begin_query_or_fragment(c) && c != eof) {
            url_.query.reset();
            shorten(url_);
            state_ = State::Path;
            --pointer_;
        }
        return nullptr;
    }

    const char* relative_slash(int c) {
        if (special() && (c == '/' || c == '\\')) {
            state_ = State::SpecialAuthorityIgnoreSlashes;
        } else if (c == '/') {
            state_ = State::Authority;
        } else {
            copy_base_authority();
            state_ = State::Path;
            --pointer_;
        }
        return nullptr;
    }

    const char* authority(int c) {
        if (c == '@') {
            if (at_sign_seen_) buffer_.insert(0, "%40");
            at_sign_seen_ = true;
            for (char byte : buffer_) {
                if (byte == ':' && !password_token_seen_) {
                    password_token_seen_ = true;
                    continue;
                }
                std::string& target = password_token_seen_ ? url_.password : url_.username;
                append_percent_encoded(target, static_cast<unsigned char>(byte), EncodeSet::Userinfo);
            }
            buffer_.clear();
        } else if (c == eof || c == '/' || c == '?' || c == '#' || (special() && c == '\\')) {
            if (at_sign_seen_ && buffer_.empty()) return empty_host;
            pointer_ -= static_cast<std::ptrdiff_t>(buffer_.size()) + 1;
            buffer_.clear();
            state_ = State::Host;
        } else {
            buffer_.push_back(static_cast<char>(c));
        }
        return nullptr;
    }

    const char* host(int c) {
        if (c == ':' && !inside_brackets_) {
            if (buffer_.empty()) return empty_host;
            if (auto failure = set_host()) return failure;
            state_ = State::Port;
        } else if (c == eof || c == '/' || c == '?' || c == '#' || (special() && c == '\\')) {
            --pointer_;
            if (special() && buffer_.empty()) return empty_host;
            if (auto failure = set_host()) return failure;
            state_ = State::PathStart;
        } else {
            if (c == '[') inside_brackets_ = true;
            if (c == ']') inside_brackets_ = false;
            buffer_.push_back(static_cast<char>(c));
        }
        return nullptr;
    }

    const char* set_host() {
        auto parsed = parse_host(buffer_, !special());
        if (!parsed) return error_text(parsed.error());
        url_.host = std::move(*parsed);
        buffer_.clear();
        return nullptr;
    }

    const char* port(int c) {
        if (is_digit(c)) {
            buffer_.push_back(static_cast<char>(c));
            return nullptr;
        }
        if (c != eof && c != '/' && c != '?' && c != '#' && !(special() && c == '\\')) return invalid_port;
        if (!buffer_.empty()) {
            std::uint32_t value = 0;
            for (char digit : buffer_) {
                value = value * 10 + static_cast<std::uint32_t>(digit - '0');
                if (value > 65535) return invalid_port;
            }
            auto number = static_cast<std::uint16_t>(value);
            if (default_port(url_.scheme) == number) {
                url_.port.reset();
            } else {
                url_.port = number;
            }
            buffer_.clear();
        }
        state_ = State::PathStart;
        --pointer_;
        return nullptr;
    }

    const char* file(int c) {
        url_.scheme = "file";
        url_.host = "";
        if (c == '/' || c == '\\') {
            state_ = State::FileSlash;
            return nullptr;
        }
        if (!base_is_file()) {
            state_ = State::Path;
            --pointer_;
            return nullptr;
        }
        url_.host = base_->host;
        url_.path = base_->path;
        url_.query = base_->query;
        if (!begin_query_or_fragment(c) && c != eof) {
            url_.query.reset();
            // A drive letter replaces the base's whole path.
            if (starts_with_windows_drive_letter(from(pointer_))) {
                url_.path.clear();
            } else {
                shorten(url_);
            }
            state_ = State::Path;
            --pointer_;
        }
        return nullptr;
    }

    const char* file_slash(int c) {
        if (c == '/' || c == '\\') {
            state_ = State::FileHost;
            return nullptr;
        }
        if (base_is_file()) {
            url_.host = base_->host;
            // An absolute path keeps the drive letter of the base.
            if (!starts_with_windows_drive_letter(from(pointer_)) && !base_->path.empty() &&
                is_normalized_windows_drive_letter(base_->path[0]))
                url_.path.push_back(base_->path[0]);
        }
        state_ = State::Path;
        --pointer_;
        return nullptr;
    }

    const char* file_host(int c) {
        if (c != eof && c != '/' && c != '\\' && c != '?' && c != '#') {
            buffer_.push_back(static_cast<char>(c));
            return nullptr;
        }
        --pointer_;
        if (is_windows_drive_letter(buffer_)) {
            // A drive letter where the host would be: it starts the path instead.
            state_ = State::Path;
        } else if (buffer_.empty()) {
            url_.host = "";
            state_ = State::PathStart;
        } else {
            if (auto failure = set_host()) return failure;
            if (url_.host == "localhost") url_.host = "";
            state_ = State::PathStart;
        }
        return nullptr;
    }

    const char* path_start(int c) {
        if (special()) {
            state_ = State::Path;
            if (c != '/' && c != '\\') --pointer_;
        } else if (!begin_query_or_fragment(c) && c != eof) {
            state_ = State::Path;
            if (c != '/') --pointer_;
        }
        return nullptr;
    }

    const char* path(int c) {
        bool slash = c == '/' || (special() && c == '\\');
        if (c != eof && !slash && c != '?' && c != '#') {
            append_percent_encoded(buffer_, static_cast<unsigned char>(c), EncodeSet::Path);
            return nullptr;
        }
        if (is_double_dot(buffer_)) {
            shorten(url_);
            if (!slash) url_.path.emplace_back();
        } else if (is_single_dot(buffer_)) {
            if (!slash) url_.path.emplace_back();
        } else {
            if (url_.scheme == "file" && url_.path.empty() && is_windows_drive_letter(buffer_)) buffer_[1] = ':';
            url_.path.push_back(std::move(buffer_));
        }
        buffer_.clear();
        begin_query_or_fragment(c);
        return nullptr;
    }

    const char* opaque_path(int c) {
        if (begin_query_or_fragment(c)) return nullptr;
        if (c == ' ') {
            // A space that would end the path is kept visible.
            char next = remaining().empty() ? '\0' : remaining()[0];
            url_.opaque_path += (next == '?' || next == '#') ? "%20" : " ";
        } else if (c != eof) {
            append_percent_encoded(url_.opaque_path, static_cast<unsigned char>(c), EncodeSet::C0Control);
        }
        return nullptr;
    }

    const char* query(int c) {
        if (c != eof && c != '#') {
            buffer_.push_back(static_cast<char>(c));
            return nullptr;
        }
        *url_.query += percent_encode(buffer_, special() ? EncodeSet::SpecialQuery : EncodeSet::Query);
        buffer_.clear();
        if (c == '#') {
            url_.fragment = "";
            state_ = State::Fragment;
        }
        return nullptr;
    }

    // The host parser's texts are constants, so a pointer to the matching one is kept.
    static const char* error_text(const std::string& message) {
        for (const char* text : {empty_host, invalid_domain, invalid_ipv4, invalid_ipv6, invalid_domain_character}) {
            if (message == text) return text;
        }
        return invalid_domain;
    }

    std::string input_;
    const Record* base_;
    Record url_;
    State state_ = State::SchemeStart;
    std::string buffer_;
    bool at_sign_seen_ = false;
    bool inside_brackets_ = false;
    bool password_token_seen_ = false;
    std::ptrdiff_t pointer_ = 0;
};

Result<Url> parse_record(std::string_view text, const Record* base) {
    if (text.size() > UINT32_MAX) return fail(too_long);
    auto record = Parser(clean_input(text), base).run();
    if (!record) return fail(record.take_error());
    return to_url(std::move(*record));
}

}  // namespace

Result<Url> parse(std::string_view text) { return parse_record(text, nullptr); }

std::optional<std::string> leading_scheme(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
    std::string scheme;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (is_tab_or_line_break(c)) continue;
        if (c == ':' && !scheme.empty()) return scheme;
        if (scheme.empty() ? !is_alpha(c) : !is_scheme_code_point(c)) return std::nullopt;
        scheme.push_back(to_lower(c));
    }
    return std::nullopt;
}

Result<Url> parse_with_base(std::string_view text, const Url& base) {
    Record record = to_record(base);
    return parse_record(text, &record);
}

std::string serialize(const Url& url) {
    std::string out = url.scheme + ":";
    if (url.host) {
        out += "//";
        if (!url.username.empty() || !url.password.empty()) {
            out += url.username;
            if (!url.password.empty()) {
                out += ':';
                out += url.password;
            }
            out += "@";
        }
        out += *url.host;
        if (url.port) {
            out += ':';
            out += std::to_string(*url.port);
        }
    } else if (!has_opaque_path(url) && url.path.size() > 1 && url.path[0] == '/' && url.path[1] == '/') {
        // Keeps "/.//x" from reading back as a host.
        out += "/.";
    }
    out += url.path;
    // Appended piece by piece: g++ 12 at -O3 misreads "?" + text as an overlapping copy.
    if (url.query) {
        out += '?';
        out += *url.query;
    }
    if (url.fragment) {
        out += '#';
        out += *url.fragment;
    }
    return out;
}

std::optional<Url> from_file_path(std::string_view absolute_path) {
    if (absolute_path.empty() || absolute_path[0] != '/') return std::nullopt;
    Url url;
    url.scheme = "file";
    url.host = "";
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
            // Encoded so that the base's own ".." segments are never applied.
            url.path += "%2E%2E";
            continue;
        }
        for (unsigned char c : component) {
            // "%" and "\" would read back as an escape and a separator.
            if (c == '%' || c == '\\') {
                append_escaped(url.path, c);
            } else {
                append_percent_encoded(url.path, c, EncodeSet::Path);
            }
        }
    }
    if (url.path.empty()) url.path.push_back('/');
    return url;
}

std::optional<std::string> to_file_path(const Url& url) {
    if (url.scheme != "file" || (url.host && !url.host->empty())) return std::nullopt;
    return percent_decode(url.path);
}

}  // namespace qeld::url
