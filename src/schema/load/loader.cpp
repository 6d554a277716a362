// Loading a schema file: the top level, the reserved table and its version, the definitions of
// [types] then [elements], then the checks across definitions. The first fault ends loading.

#include <string>
#include <vector>

#include "document/parse.h"
#include "schema/check/checks.h"
#include "schema/load/definition_parser.h"
#include "schema/model.h"
#include "schema/semver.h"
#include "schema/load/source.h"

namespace qeld::schema {

namespace {

const doc::Table* table_at(const doc::Table& root, std::string_view key) {
    const doc::Value* value = root.find(key);
    return value == nullptr ? nullptr : value->if_table();
}

Status check_root_keys(const doc::Table& root) {
    if (table_at(root, "vantle") == nullptr) return fail("schema must contain a [vantle] table");
    if (table_at(root, "elements") == nullptr) return fail("schema must contain an [elements] table");
    for (const doc::Entry& entry : root) {
        if (entry.key != "types" && entry.key != "elements" && entry.key != "vantle") {
            return fail("unsupported top-level schema key: " + entry.key);
        }
    }
    return {};
}

// Only 1.0.x is accepted; pre-release and build parts are free.
Result<std::string> read_version(const doc::Table& vantle) {
    const doc::Value* value = vantle.find("version");
    if (value == nullptr) return fail("[vantle] must contain version");
    if (!value->is_string()) return fail("[vantle].version must be a SemVer string");
    const std::string version(value->as_string());
    auto semver = parse_semver(version);
    if (!semver) return fail("[vantle].version must use SemVer MAJOR.MINOR.PATCH syntax");
    if (semver->major != "1") return fail("unsupported Vantle major version: " + version);
    if (semver->minor != "0") return fail("unsupported Vantle minor version: " + version);
    return version;
}

Status check_reserved_keys(const doc::Table& vantle) {
    for (const doc::Entry& entry : vantle) {
        if (entry.key != "version" && entry.key != "meta") return fail("unsupported [vantle] key: " + entry.key);
    }
    return {};
}

// The schema that extract writes for a document nests two levels deeper than the document: each
// key's table lies below [elements] and holds its type line. A schema text may nest that much
// deeper, and its headers hold one segment more, so that every document that parses gives a
// schema that loads. The bound stays fixed, and the walks over a schema recurse at most this deep.
constexpr doc::ParseOptions schema_text_options(doc::FaultFrame frame) {
    return doc::ParseOptions{doc::max_depth + 2, doc::max_key_segments + 1, frame};
}

}  // namespace

Result<Schema> Schema::load(std::string_view path) {
    auto text = read_toml_source(path);
    if (!text) return fail("unable to parse schema " + std::string(path) + ": " + text.error());
    return from_source(std::string(path), *text);
}

Result<Schema> Schema::from_source(std::string path, std::string_view text, doc::FaultFrame frame) {
    // One parse gives both the tree and the key paths of the inline tables.
    std::vector<KeyPath> inline_tables;
    auto root = doc::parse(text, &inline_tables, schema_text_options(frame));
    if (!root) return fail("unable to parse schema " + path + ": " + path + ": " + root.error());
    const SourceSyntax syntax(inline_tables);
    return from_parts(std::move(path), *root, syntax);
}

Result<Schema> Schema::from_parts(std::string path, const doc::Table& root, const SourceSyntax& syntax) {
    QELD_TRY(check_root_keys(root));
    const doc::Table& vantle = *table_at(root, "vantle");
    auto version = read_version(vantle);
    if (!version) return fail(version.take_error());
    QELD_TRY(check_reserved_keys(vantle));

    auto types = parse_definitions("types", table_at(root, "types"), syntax);
    if (!types) return fail(types.take_error());
    auto elements = parse_definitions("elements", table_at(root, "elements"), syntax);
    if (!elements) return fail(elements.take_error());

    Schema schema;
    schema.source_path = std::move(path);
    schema.version = std::move(version).value();
    schema.types = std::move(types).value();
    schema.elements = std::move(elements).value();
    QELD_TRY(run_semantic_checks(schema));
    return schema;
}

}  // namespace qeld::schema
