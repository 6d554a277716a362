#include "schema/locate/locate.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "common/invariant.h"
#include "common/system_error.h"
#include "common/utf8.h"
#include "schema/semver.h"
#include "schema/load/source.h"
#include "url/url.h"

namespace qeld::schema {

namespace {

constexpr std::string_view no_location = "document does not contain [vantle].location";

// The major version of a SemVer text, or none when the whole text is not SemVer.
std::optional<std::string> semver_major(std::string_view text) {
    auto semver = parse_semver(text);
    if (!semver) return std::nullopt;
    return std::string(semver->major);
}

// The Unicode White_Space characters.
bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Valid UTF-8 without White_Space at either end.
std::string_view trim_white_space(std::string_view text) {
    while (!text.empty()) {
        std::size_t length = utf8_sequence_length(text);
        if (!is_white_space(decode_utf8_sequence(text.substr(0, length)))) break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        if (!is_white_space(decode_utf8_sequence(text.substr(start)))) break;
        text.remove_suffix(text.size() - start);
    }
    return text;
}

Result<std::string> current_directory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return fail(system_error_text(errno));
        buffer.resize(buffer.size() * 2);
    }
}

// The document path made absolute by a plain join: nothing normalized, no link resolved.
Result<std::string> absolute_document_path(std::string_view document_path) {
    if (!document_path.empty() && document_path[0] == '/') return std::string(document_path);
    auto directory = current_directory();
    if (!directory) return fail("invalid current directory: " + directory.error());
    std::string path = std::move(*directory);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(document_path);
    return path;
}

std::string invalid_file_location(std::string_view location) {
    return "invalid file schema location: " + std::string(location);
}

// The schema file's text. A decoded location may hold a NUL byte, which no file name can: the
// system would read the name only up to it, so that is refused here rather than opening another
// file. The document's author chose this file, so only a regular file of bounded size is read.
Result<std::string> read_schema_text(const std::string& path) {
    std::string shown = replace_invalid_utf8(path);
    if (path.find('\0') != std::string::npos)
        return fail("unable to parse schema " + shown + ": " + shown + ": file name contained an unexpected NUL byte");
    auto text = read_toml_source(path, document_named_file);
    if (text) return text;
    std::string reader = text.take_error();
    if (reader.compare(0, path.size(), path) == 0) reader = shown + reader.substr(path.size());
    return fail("unable to parse schema " + shown + ": " + reader);
}

}  // namespace

bool contains_percent_encoded_separator(std::string_view text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] != '%') continue;
        char letter = static_cast<char>(text[i + 2] | 0x20);
        if ((text[i + 1] == '2' && letter == 'f') || (text[i + 1] == '5' && letter == 'c')) return true;
    }
    return false;
}

Result<std::string> resolve_schema_location(std::string_view document_path, std::string_view location) {
    // A location that parses on its own as a file URL must continue with a slash after "file:".
    // Against a file URL as base, a location with a scheme of its own parses exactly when it parses
    // on its own (the base only lends a file URL its host and drive letter), so the one parse
    // against the document's URL answers that too.
    const bool lacks_slash = url::leading_scheme(location) == "file" && (location.size() <= 5 || location[5] != '/');

    auto base_path = absolute_document_path(document_path);
    std::optional<url::Url> base;
    if (base_path) base = url::from_file_path(*base_path);
    if (!base) {
        // The location's own form is reported first.
        if (lacks_slash && url::parse(location)) return fail(invalid_file_location(location));
        if (!base_path) return fail(base_path.take_error());
        return fail("invalid document path: " + replace_invalid_utf8(document_path));
    }

    auto resolved = url::parse_with_base(location, *base);
    if (resolved && lacks_slash) return fail(invalid_file_location(location));
    if (!resolved) return fail("invalid [vantle].location URI: " + std::string(location) + ": " + resolved.error());
    if (resolved->scheme != "file") return fail("unsupported schema location URI scheme: " + resolved->scheme);
    if (resolved->query || resolved->fragment || contains_percent_encoded_separator(resolved->path))
        return fail(invalid_file_location(location));
    auto path = url::to_file_path(*resolved);
    if (!path) return fail(invalid_file_location(location));
    return std::move(*path);
}

Result<std::optional<std::string>> compare_document_schema_version(const doc::Value& version,
                                                                  std::string_view schema_version) {
    const doc::String* text = version.if_string();
    if (text == nullptr) return fail("document [vantle].version must be a SemVer string");
    auto document_major = semver_major(*text);
    if (!document_major) return fail("document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax");
    auto schema_major = semver_major(schema_version);
    if (!schema_major) invariant_failure("a loaded schema's version is not SemVer: " + std::string(schema_version));
    if (*document_major != *schema_major)
        return fail("document expects Vantle major version " + *text + ", but resolved schema uses " +
                    std::string(schema_version));
    if (*text != schema_version)
        return std::optional<std::string>("Warning: document expects Vantle version " + *text +
                                          ", but resolved schema uses " + std::string(schema_version));
    return std::optional<std::string>();
}

Result<DocumentSchema> schema_from_document(std::string_view document_path) {
    auto document = parse_toml_file(document_path);
    if (!document) return fail(document.take_error());

    const doc::Value* reserved = document->find("vantle");
    if (reserved == nullptr || !reserved->is_table()) return fail(std::string(no_location));
    const doc::Table& table = reserved->as_table();
    for (const auto& entry : table) {
        if (entry.value.is_array() || entry.value.is_table())
            return fail("document [vantle]." + entry.key + " must be a scalar value");
    }
    const doc::Value* location = table.find("location");
    if (location == nullptr || !location->is_string()) return fail(std::string(no_location));
    std::string_view trimmed = trim_white_space(location->as_string());
    if (trimmed.empty()) return fail(std::string(no_location));

    auto path = resolve_schema_location(document_path, trimmed);
    if (!path) return fail(path.take_error());
    auto text = read_schema_text(*path);
    if (!text) return fail(text.take_error());
    // The document chose this file: a parse error must not print its lines.
    auto schema = Schema::from_source(*path, *text, doc::FaultFrame::position_only);
    if (!schema) return fail(schema.take_error());

    // The version is looked at only once the schema has loaded.
    if (const doc::Value* version = table.find("version")) {
        auto notice = compare_document_schema_version(*version, schema->version);
        if (!notice) return fail(notice.take_error());
        if (*notice) schema->notices.push_back(std::move(**notice));
    }
    return DocumentSchema{std::move(*schema), std::move(*document)};
}

}  // namespace qeld::schema
