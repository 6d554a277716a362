#include "extract/extract.h"

#include "schema/path_key.h"

namespace qeld::extract {

namespace {

// The schema-language version the extracted schema declares, not the program's own.
constexpr std::string_view schema_language_version = "1.0.0";
constexpr std::string_view reserved_key = "vantle";

std::string_view datetime_kind(const doc::Value& value) {
    const auto shape = value.datetime_shape();
    return shape ? doc::datetime_shape_name(*shape) : "any";
}

void append_header(std::string& out, const HeaderPath& header_path) {
    out += "\n[";
    bool first = true;
    for (std::string_view segment : header_path) {
        if (!first) out.push_back('.');
        first = false;
        out += schema::encode_path_key(segment);
    }
    out += "]\n";
}

}  // namespace

std::string_view extraction_kind(const doc::Value& value) {
    switch (value.kind()) {
        case doc::ValueKind::String: return "string";
        case doc::ValueKind::Integer: return "integer";
        case doc::ValueKind::Float: return "float";
        case doc::ValueKind::Boolean: return "boolean";
        case doc::ValueKind::DateTime: return datetime_kind(value);
        case doc::ValueKind::Array: return "array";
        case doc::ValueKind::Table: return "table";
    }
    return "any";
}

std::string_view item_kind(const doc::Array& items) {
    if (items.empty()) return "any";
    const std::string_view first = extraction_kind(items.front());
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (extraction_kind(items[i]) != first) return "any";
    }
    return first;
}

std::string generate_schema(const doc::Table& table) {
    std::string out = "[vantle]\n";
    out += "version = \"";
    out += schema_language_version;
    out += "\"\n\n";
    out += "[elements]\n";
    for (const doc::Entry& entry : table) {
        if (entry.key == reserved_key) continue;
        append_definition(out, HeaderPath{"elements", entry.key}, entry.value);
    }
    return out;
}

void append_definition(std::string& out, const HeaderPath& header_path, const doc::Value& value) {
    append_header(out, header_path);
    out += "type = \"";
    out += extraction_kind(value);
    out += "\"\n";
    if (const doc::Array* items = value.if_array()) {
        // The items themselves get no blocks, not even tables inside the array.
        out += "itemtype = \"";
        out += item_kind(*items);
        out += "\"\n";
        return;
    }
    if (const doc::Table* table = value.if_table()) {
        // Below the top level the reserved key is an ordinary key.
        HeaderPath child_path = header_path;
        child_path.emplace_back();
        for (const doc::Entry& entry : *table) {
            child_path.back() = entry.key;
            append_definition(out, child_path, entry.value);
        }
    }
}

}  // namespace qeld::extract
