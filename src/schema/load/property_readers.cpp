#include "schema/load/property_readers.h"

#include <algorithm>

namespace qeld::schema {

namespace {

// The value under a key, or null when the key is missing or holds a table.
const doc::Value* scalar_property(const doc::Table& table, std::string_view key) {
    const doc::Value* value = table.find(key);
    return value == nullptr || value->is_table() ? nullptr : value;
}

std::string property_name(std::string_view path, std::string_view key) {
    std::string out(path);
    out.push_back('.');
    out += key;
    return out;
}

std::string group_name(std::string_view path, std::string_view key, std::size_t index) {
    return property_name(path, key) + "[" + std::to_string(index) + "]";
}

bool contains_name(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

Result<std::optional<bool>> get_bool(std::string_view path, const doc::Table& table, std::string_view key) {
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return std::optional<bool>();
    if (!value->is_boolean()) return fail(property_name(path, key) + " must be a boolean");
    return std::optional<bool>(value->as_boolean());
}

Result<std::optional<Pattern>> get_pattern_key(std::string_view path, const doc::Table& table, std::string_view key) {
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return std::optional<Pattern>();
    if (!value->is_string()) return fail(property_name(path, key) + " must be a string");
    auto pattern = Pattern::compile(value->as_string());
    if (!pattern) return fail(std::string(path) + " has invalid " + std::string(key) + ": " + pattern.error());
    return std::optional<Pattern>(std::move(pattern).value());
}

Result<std::optional<std::int64_t>> get_unsigned_integer(std::string_view path, const doc::Table& table,
                                                        std::string_view key) {
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return std::optional<std::int64_t>();
    if (!value->is_integer()) return fail(property_name(path, key) + " must be an integer");
    if (value->as_integer() < 0) return fail(property_name(path, key) + " must be non-negative");
    return std::optional<std::int64_t>(value->as_integer());
}

Result<std::vector<std::string>> get_string_array_values(std::string_view path, const doc::Table& table,
                                                         std::string_view key) {
    std::vector<std::string> out;
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return out;
    if (!value->is_array()) return fail(property_name(path, key) + " must be an array");
    const doc::Array& array = value->as_array();
    out.reserve(array.size());
    for (const doc::Value& element : array) {
        if (!element.is_string()) return fail(property_name(path, key) + " must contain only strings");
        out.emplace_back(element.as_string());
    }
    return out;
}

Result<std::vector<doc::Value>> get_array_values(std::string_view path, const doc::Table& table,
                                                 std::string_view key) {
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return std::vector<doc::Value>();
    if (!value->is_array()) return fail(property_name(path, key) + " must be an array");
    const doc::Array& array = value->as_array();
    return std::vector<doc::Value>(array.begin(), array.end());
}

Result<NameGroups> get_name_groups(std::string_view path, const doc::Table& table, std::string_view key) {
    NameGroups out;
    const doc::Value* value = scalar_property(table, key);
    if (value == nullptr) return out;
    if (!value->is_array()) return fail(property_name(path, key) + " must be an array of child-name groups");
    const doc::Array& groups = value->as_array();
    if (groups.empty()) return fail(property_name(path, key) + " must contain at least one group");
    out.reserve(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (!groups[i].is_array()) return fail(group_name(path, key, i) + " must be an array");
        const doc::Array& group = groups[i].as_array();
        // The count is judged before the kinds of the elements.
        if (group.size() < 2) return fail(group_name(path, key, i) + " must contain at least two child names");
        std::vector<std::string> names;
        names.reserve(group.size());
        for (const doc::Value& element : group) {
            if (!element.is_string()) return fail(group_name(path, key, i) + " must contain only strings");
            if (contains_name(names, element.as_string())) {
                return fail(group_name(path, key, i) + " contains duplicate child " + std::string(element.as_string()));
            }
            names.emplace_back(element.as_string());
        }
        out.push_back(std::move(names));
    }
    return out;
}

Result<DependentRequired> get_dependent_required(std::string_view path, const doc::Table& table,
                                                 const SyntaxContext& context) {
    constexpr std::string_view key = "dependentrequired";
    DependentRequired out;
    // A table opened by a header line or made by dotted keys is a child definition instead.
    if (!context.is_property(table, key)) return out;
    const doc::Value* value = table.find(key);
    const std::string name = property_name(path, key);
    if (!value->is_table()) return fail(name + " must be an inline table");
    const doc::Table& mapping = value->as_table();
    if (mapping.empty()) return fail(name + " must contain at least one mapping");
    for (const doc::Entry& entry : mapping) {
        const std::string trigger = name + "." + entry.key;
        if (!entry.value.is_array()) return fail(trigger + " must be an array of child names");
        const doc::Array& array = entry.value.as_array();
        if (array.empty()) return fail(trigger + " must not be empty");
        std::vector<std::string> names;
        names.reserve(array.size());
        for (const doc::Value& element : array) {
            if (!element.is_string()) return fail(trigger + " must contain only strings");
            if (contains_name(names, element.as_string())) {
                return fail(trigger + " contains duplicate child " + std::string(element.as_string()));
            }
            names.emplace_back(element.as_string());
        }
        out.emplace(entry.key, std::move(names));
    }
    return out;
}

Result<ConditionalSelector> parse_conditional_selector(std::string_view path, const doc::Table& table) {
    const std::string name = property_name(path, "if");
    const doc::Value* value = table.find("if");
    if (value == nullptr || !value->is_table()) return fail(name + " must be an inline table");
    const doc::Table& condition = value->as_table();
    for (const doc::Entry& entry : condition) {
        if (entry.key != "equals" && entry.key != "in" && entry.key != "key") {
            return fail(name + " contains unsupported property: " + entry.key);
        }
    }
    const doc::Value* key = condition.find("key");
    if (key == nullptr || !key->is_string()) return fail(name + ".key must be a string");
    const doc::Value* equals = condition.find("equals");
    const doc::Value* in = condition.find("in");
    if ((equals == nullptr) == (in == nullptr)) return fail(name + " must define exactly one of equals and in");

    ConditionalSelector selector;
    selector.key = key->as_string();
    if (equals != nullptr) {
        selector.predicate.form = ConditionPredicate::Equals{*equals};
    } else {
        if (!in->is_array() || in->as_array().empty()) return fail(name + ".in must be a non-empty array");
        const doc::Array& values = in->as_array();
        selector.predicate.form = ConditionPredicate::In{std::vector<doc::Value>(values.begin(), values.end())};
    }
    auto then_type = parse_conditional_branch_reference(path, table, "then");
    if (!then_type) return fail(then_type.take_error());
    auto else_type = parse_conditional_branch_reference(path, table, "else");
    if (!else_type) return fail(else_type.take_error());
    selector.then_type = std::move(then_type).value();
    selector.else_type = std::move(else_type).value();
    return selector;
}

Result<std::string> parse_conditional_branch_reference(std::string_view path, const doc::Table& table,
                                                       std::string_view key) {
    const doc::Value* value = table.find(key);
    if (value == nullptr || !value->is_string()) return fail(property_name(path, key) + " must be a string");
    std::string_view reference = normalize_reference(value->as_string());
    if (reference.empty() || SchemaType::parse(reference)) {
        return fail(property_name(path, key) + " must be a named reusable type reference");
    }
    return std::string(reference);
}

}  // namespace qeld::schema
