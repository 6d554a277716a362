#include "schema/source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "common/utf8.h"
#include "common/system_error.h"

namespace qeld::schema {

namespace {


// Key paths as one string each, every key length-prefixed so that no two paths collide.
std::string encode_key_path(const KeyPath& path) {
    std::string out;
    for (const auto& key : path) {
        out += std::to_string(key.size());
        out.push_back(':');
        out += key;
    }
    return out;
}

}  // namespace

Result<std::string> read_toml_source(std::string_view path) {
    std::string p(path);
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(p + ": " + system_error_text(errno));
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int error_number = errno;
            ::close(fd);
            return fail(p + ": " + system_error_text(error_number));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!is_valid_utf8(text)) return fail(p + ": stream did not contain valid UTF-8");
    return text;
}

Result<doc::Table> parse_toml_file(std::string_view path) {
    auto text = read_toml_source(path);
    if (!text) return fail(text.take_error());
    auto table = doc::parse(*text);
    if (!table) return fail(std::string(path) + ": " + table.error());
    return std::move(table).value();
}

SourceSyntax::SourceSyntax(const std::vector<KeyPath>& inline_tables) {
    for (const auto& path : inline_tables) add(path);
}

void SourceSyntax::add(const KeyPath& path) { inline_tables_.insert(encode_key_path(path)); }

bool SourceSyntax::contains(const KeyPath& path) const { return inline_tables_.count(encode_key_path(path)) != 0; }

KeyPath SyntaxContext::child_path(std::string_view key) const {
    KeyPath out = path_;
    out.emplace_back(key);
    return out;
}

bool SyntaxContext::is_property(const doc::Table& table, std::string_view key) const {
    const doc::Value* value = table.find(key);
    if (value == nullptr) return false;
    if (!value->is_table()) return true;
    return syntax_.contains(child_path(key));
}

}  // namespace qeld::schema
