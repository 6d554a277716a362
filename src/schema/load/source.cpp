#include "schema/load/source.h"

#include "common/file.h"
#include "common/file_text.h"

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

Result<std::string> read_toml_source(std::string_view path, const ReadPolicy& policy) {
    return read_text_file(path, policy);
}

Result<doc::Table> parse_toml_file(std::string_view path) {
    // Read so that the parser can give the text back as it goes, instead of holding it whole
    // beside the tree built from it.
    auto file = FileText::read(path);
    if (!file) return fail(file.take_error());
    auto table = doc::parse(*file);
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
