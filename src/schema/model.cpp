#include "schema/model.h"

#include <array>

namespace qeld::schema {

namespace {
constexpr std::array<std::string_view, SchemaType::count> keywords = {
    "any",       "string",          "integer",    "float", "boolean", "offset-date-time",
    "local-date-time", "local-date", "local-time", "array", "table",   "collection",
};
}  // namespace

std::optional<SchemaType> SchemaType::parse(std::string_view text) {
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        if (keywords[i] == text) return SchemaType(static_cast<Kind>(i));
    }
    return std::nullopt;
}

std::string_view SchemaType::keyword() const { return keywords[kind_]; }

std::string_view normalize_reference(std::string_view reference) {
    constexpr std::string_view prefix = "types.";
    if (reference.substr(0, prefix.size()) == prefix) reference.remove_prefix(prefix.size());
    return reference;
}

const Definition* find_type(const Schema& schema, std::string_view name) {
    auto it = schema.types.find(name);
    return it == schema.types.end() ? nullptr : &it->second;
}

}  // namespace qeld::schema
