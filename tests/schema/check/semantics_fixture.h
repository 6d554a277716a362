#pragma once
// Builds schemas for the cross-definition checks directly, without the loader.

#include <string>

#include "schema/model.h"

namespace qeld::schema::testing {

inline Definition& add_definition(DefinitionMap& map, const std::string& table, const std::string& key,
                                  std::optional<SchemaType> kind) {
    Definition& definition = map[key];
    definition.name = table + "." + key;
    definition.kind = kind;
    return definition;
}

// A reusable type "types.<key>".
inline Definition& add_type(Schema& schema, const std::string& key, std::optional<SchemaType> kind = std::nullopt) {
    return add_definition(schema.types, "types", key, kind);
}

// An element "elements.<key>".
inline Definition& add_element(Schema& schema, const std::string& key,
                               std::optional<SchemaType> kind = std::nullopt) {
    return add_definition(schema.elements, "elements", key, kind);
}

// A child "<parent>.<key>".
inline Definition& add_child(Definition& parent, const std::string& key, std::optional<SchemaType> kind = std::nullopt) {
    Definition& child = parent.children[key];
    child.name = parent.name + "." + key;
    child.kind = kind;
    return child;
}

inline ConditionalSelector selector(std::string then_type, std::string else_type) {
    return ConditionalSelector{"mode", ConditionPredicate{ConditionPredicate::Equals{doc::Value("x")}},
                               std::move(then_type), std::move(else_type)};
}

// The message of a failed status, or "ok".
inline std::string outcome(const Status& status) { return status.ok() ? "ok" : status.error(); }

template <class T>
std::string outcome(const Result<T>& result) {
    return result.ok() ? "ok" : result.error();
}

}  // namespace qeld::schema::testing
