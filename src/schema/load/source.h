#pragma once
// Reading TOML files, and which tables of a schema text were written inline.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/file.h"
#include "common/result.h"
#include "document/parse.h"
#include "document/value.h"

namespace qeld::schema {

using KeyPath = doc::KeyPath;

// The whole file as UTF-8 text, or "{path}: {reason}"; the policy bounds what is read.
Result<std::string> read_toml_source(std::string_view path, const ReadPolicy& policy = user_named_file);
// The root table of the TOML file, or "{path}: {reader or parser text}".
Result<doc::Table> parse_toml_file(std::string_view path);

// The key paths of a schema text's inline tables; built once per schema text.
class SourceSyntax {
public:
    SourceSyntax() = default;
    explicit SourceSyntax(const std::vector<KeyPath>& inline_tables);

    void add(const KeyPath& path);
    bool contains(const KeyPath& path) const;

private:
    std::unordered_set<std::string> inline_tables_;
};

// The view of one definition table while it is parsed.
class SyntaxContext {
public:
    SyntaxContext(const SourceSyntax& syntax, const KeyPath& path) : syntax_(syntax), path_(path) {}

    const SourceSyntax& syntax() const { return syntax_; }
    const KeyPath& path() const { return path_; }

    KeyPath child_path(std::string_view key) const;
    // A key is a property when its value is not a table, or is a table written inline.
    bool is_property(const doc::Table& table, std::string_view key) const;

private:
    const SourceSyntax& syntax_;
    const KeyPath& path_;
};

}  // namespace qeld::schema
