#include "schema/load/definition_parser.h"

#include <algorithm>
#include <array>
#include <utility>

#include "schema/load/constraint_checks.h"
#include "schema/load/property_readers.h"
#include "schema/load/type_rules.h"

namespace qeld::schema {

namespace {

constexpr std::array<std::string_view, 24> property_keys = {
    "type",    "description", "items",         "itemtype",          "optional",   "pattern",
    "keypattern", "minlength", "maxlength",    "allowedvalues",     "oneof",      "anyof",
    "allof",   "if",          "then",          "else",              "dependentrequired",
    "mutuallyexclusive",      "exactlyone",    "uniqueitems",       "deprecated", "default",
    "min",     "max",
};

// The keys each form without a type of its own may hold; any other key fails, children included.
constexpr std::array<std::string_view, 6> named_reference_keys = {"type",     "description", "default",
                                                                  "allof",    "optional",    "deprecated"};
constexpr std::array<std::string_view, 7> union_keys = {"oneof",    "anyof",      "allof",      "default",
                                                        "optional", "deprecated", "description"};
constexpr std::array<std::string_view, 8> conditional_keys = {"if",       "then",       "else",       "allof",
                                                              "default",  "optional",   "deprecated", "description"};

template <std::size_t N>
bool is_one_of(const std::array<std::string_view, N>& keys, std::string_view key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A key holding a value that is not a table; a table under a property key never sets it.
bool is_set(const doc::Table& table, std::string_view key) {
    const doc::Value* value = table.find(key);
    return value != nullptr && !value->is_table();
}

template <class T>
Status assign(Result<T> result, T& target) {
    if (!result) return fail(result.take_error());
    target = std::move(result).value();
    return {};
}

// What the first phase reads from one definition table.
struct Properties {
    bool has_type_text = false;
    std::string type_text;
    std::optional<SchemaType> keyword_type;
    std::optional<std::string> type_reference;
    std::optional<std::string> description;
    std::optional<std::string> item_type;
    std::vector<std::string> items;
    std::optional<bool> optional;
    std::optional<Pattern> pattern;
    std::optional<Pattern> key_pattern;
    std::optional<std::int64_t> min_length;
    std::optional<std::int64_t> max_length;
    std::vector<doc::Value> allowed_values;
    std::vector<std::string> one_of;
    std::vector<std::string> any_of;
    std::optional<ConditionalSelector> conditional;
    std::vector<std::string> all_of;
    DependentRequired dependent_required;
    NameGroups mutually_exclusive;
    NameGroups exactly_one;
    std::optional<bool> unique_items;
    std::optional<bool> deprecated;
    std::optional<doc::Value> default_value;
};

template <std::size_t N>
Status check_permitted_keys(const std::string& path, const doc::Table& table,
                            const std::array<std::string_view, N>& permitted, std::string_view form) {
    for (const doc::Entry& entry : table) {
        if (!is_one_of(permitted, entry.key)) return fail(path + " " + std::string(form) + " cannot define " + entry.key);
    }
    return {};
}

Status read_type(const std::string& path, const doc::Table& table, Properties& p) {
    const doc::Value* value = table.find("type");
    if (value == nullptr || value->is_table()) return {};
    if (!value->is_string()) return fail(path + ".type must be a string");
    p.has_type_text = true;
    p.type_text = value->as_string();
    p.keyword_type = SchemaType::parse(p.type_text);
    if (p.keyword_type) return {};
    p.type_reference = std::string(normalize_reference(p.type_text));
    return check_permitted_keys(path, table, named_reference_keys, "named type reference");
}

Status read_text(const std::string& path, const doc::Table& table, std::string_view key,
                 std::optional<std::string>& target) {
    const doc::Value* value = table.find(key);
    if (value == nullptr || value->is_table()) return {};
    if (!value->is_string()) return fail(path + "." + std::string(key) + " must be a string");
    target = value->as_string();
    return {};
}

Status read_optional(const std::string& path, const doc::Table& table, Properties& p) {
    const doc::Value* value = table.find("optional");
    if (value == nullptr || value->is_table()) return {};
    if (!value->is_boolean()) return fail(path + ".optional must be a boolean");
    p.optional = value->as_boolean();
    return {};
}

Status read_conditional(const std::string& path, const doc::Table& table, const SyntaxContext& context,
                        Properties& p) {
    const bool branches = is_set(table, "then") && is_set(table, "else");
    if (context.is_property(table, "if")) {
        if (!branches) return fail(path + " must define if, then, and else together");
        auto selector = parse_conditional_selector(path, table);
        if (!selector) return fail(selector.take_error());
        p.conditional = std::move(selector).value();
        return {};
    }
    if (is_set(table, "then") || is_set(table, "else")) return fail(path + " must define if, then, and else together");
    return {};
}

// Phase 1: every property, in a fixed order.
Status read_properties(const std::string& path, const doc::Table& table, const SyntaxContext& context,
                       Properties& p) {
    QELD_TRY(read_type(path, table, p));
    QELD_TRY(read_text(path, table, "description", p.description));
    QELD_TRY(read_text(path, table, "itemtype", p.item_type));
    QELD_TRY(assign(get_string_array_values(path, table, "items"), p.items));
    if (is_set(table, "items") && p.items.empty()) return fail(path + " items must contain at least one type reference");
    QELD_TRY(read_optional(path, table, p));
    QELD_TRY(assign(get_pattern_key(path, table, "pattern"), p.pattern));
    QELD_TRY(assign(get_pattern_key(path, table, "keypattern"), p.key_pattern));
    QELD_TRY(assign(get_unsigned_integer(path, table, "minlength"), p.min_length));
    QELD_TRY(assign(get_unsigned_integer(path, table, "maxlength"), p.max_length));
    QELD_TRY(assign(get_array_values(path, table, "allowedvalues"), p.allowed_values));
    if (is_set(table, "allowedvalues") && p.allowed_values.empty()) {
        return fail(path + " allowedvalues must contain at least one entry");
    }
    QELD_TRY(assign(get_string_array_values(path, table, "oneof"), p.one_of));
    QELD_TRY(assign(get_string_array_values(path, table, "anyof"), p.any_of));
    QELD_TRY(read_conditional(path, table, context, p));
    QELD_TRY(assign(get_string_array_values(path, table, "allof"), p.all_of));
    QELD_TRY(assign(get_dependent_required(path, table, context), p.dependent_required));
    QELD_TRY(assign(get_name_groups(path, table, "mutuallyexclusive"), p.mutually_exclusive));
    QELD_TRY(assign(get_name_groups(path, table, "exactlyone"), p.exactly_one));
    QELD_TRY(assign(get_bool(path, table, "uniqueitems"), p.unique_items));
    QELD_TRY(assign(get_bool(path, table, "deprecated"), p.deprecated));
    if (context.is_property(table, "default")) p.default_value = *table.find("default");
    return {};
}

// Phase 2: empty lists, bare references, and at most one form that gives a type.
Status check_references(const std::string& path, const doc::Table& table, const Properties& p) {
    const bool one_of = is_set(table, "oneof");
    const bool any_of = is_set(table, "anyof");
    if (one_of && p.one_of.empty()) return fail(path + " oneof must contain at least one type reference");
    if (any_of && p.any_of.empty()) return fail(path + " anyof must contain at least one type reference");
    if (is_set(table, "allof") && p.all_of.empty()) return fail(path + " allof must contain at least one type reference");

    QELD_TRY(reject_bare_collection_reference(path, "itemtype", p.item_type));
    QELD_TRY(reject_bare_collection_references(path, p.items));
    QELD_TRY(validate_alternative_references(path, "oneof", p.one_of));
    QELD_TRY(validate_alternative_references(path, "anyof", p.any_of));
    QELD_TRY(validate_composition_references(path, p.all_of));
    // The keyword itself is the built-in collection type; only its prefixed spelling is bare.
    if (p.has_type_text && p.type_text != "collection" && normalize_reference(p.type_text) == "collection") {
        return fail(path + " cannot use collection as a bare type reference");
    }

    const int forms = int{p.has_type_text} + int{one_of} + int{any_of} + int{p.conditional.has_value()};
    if (forms > 1) return fail(path + " cannot define more than one of type, oneof, anyof, and if/then/else");
    return {};
}

// Phase 3: every key is a property already read, a child definition, or a fault.
Status parse_children(const std::string& path, const doc::Table& table, const SyntaxContext& context,
                      DefinitionMap& children) {
    for (const doc::Entry& entry : table) {
        if (is_one_of(property_keys, entry.key) && context.is_property(table, entry.key)) continue;
        if (!entry.value.is_table()) return fail(path + " contains unsupported property: " + entry.key);
        const KeyPath child_path = context.child_path(entry.key);
        const SyntaxContext child_context(context.syntax(), child_path);
        auto child = parse_definition(path + "." + entry.key, entry.value.as_table(), child_context);
        if (!child) return fail(child.take_error());
        children.emplace_hint(children.end(), entry.key, std::move(child).value());
    }
    return {};
}

Status check_form_keys(const std::string& path, const doc::Table& table, const Properties& p) {
    if (is_set(table, "oneof") || is_set(table, "anyof")) return check_permitted_keys(path, table, union_keys, "union");
    if (p.conditional) return check_permitted_keys(path, table, conditional_keys, "conditional");
    return {};
}

TypeRuleInputs type_rule_inputs(std::string_view path, const doc::Table& table, const Properties& p,
                                std::size_t child_count) {
    TypeRuleInputs in;
    in.path = path;
    in.keyword_type = p.keyword_type;
    in.named_reference = p.type_reference.has_value();
    in.is_union = is_set(table, "oneof") || is_set(table, "anyof");
    in.is_conditional = p.conditional.has_value();
    in.child_count = child_count;
    in.has_item_type = p.item_type.has_value();
    in.item_count = p.items.size();
    in.min_length = p.min_length;
    in.max_length = p.max_length;
    in.has_allowed_values = is_set(table, "allowedvalues");
    in.has_min = is_set(table, "min");
    in.has_max = is_set(table, "max");
    in.has_pattern = p.pattern.has_value();
    in.has_key_pattern = p.key_pattern.has_value();
    in.all_of_count = p.all_of.size();
    return in;
}

std::optional<doc::Value> copy_if_set(const doc::Table& table, std::string_view key) {
    if (!is_set(table, key)) return std::nullopt;
    return *table.find(key);
}

std::vector<std::string> normalized(std::vector<std::string> references) {
    for (std::string& reference : references) reference = std::string(normalize_reference(reference));
    return references;
}

// Phase 5: the definition, from everything read.
Definition build_definition(std::string path, Properties&& p, std::optional<SchemaType> kind,
                            std::optional<doc::Value>&& min, std::optional<doc::Value>&& max,
                            DefinitionMap&& children) {
    Definition d;
    d.name = std::move(path);
    d.kind = kind;
    d.type_reference = std::move(p.type_reference);
    d.description = std::move(p.description);
    if (p.item_type) d.item_type = std::string(normalize_reference(*p.item_type));
    d.items = normalized(std::move(p.items));
    d.optional = p.optional.value_or(false);
    d.allowed_values = std::move(p.allowed_values);
    d.pattern = std::move(p.pattern);
    d.key_pattern = std::move(p.key_pattern);
    d.min = std::move(min);
    d.max = std::move(max);
    d.min_length = p.min_length;
    d.max_length = p.max_length;
    d.one_of = normalized(std::move(p.one_of));
    d.any_of = normalized(std::move(p.any_of));
    d.conditional = std::move(p.conditional);
    d.all_of = normalized(std::move(p.all_of));
    d.dependent_required = std::move(p.dependent_required);
    d.mutually_exclusive = std::move(p.mutually_exclusive);
    d.exactly_one = std::move(p.exactly_one);
    d.unique_items = p.unique_items;
    d.default_value = std::move(p.default_value);
    d.deprecated = p.deprecated.value_or(false);
    d.children = std::move(children);
    return d;
}

}  // namespace

Result<DefinitionMap> parse_definitions(std::string_view table_name, const doc::Table* table,
                                        const SourceSyntax& syntax) {
    DefinitionMap definitions;
    if (table == nullptr) return definitions;
    const std::string name(table_name);
    const KeyPath root{name};
    const SyntaxContext root_context(syntax, root);
    for (const doc::Entry& entry : *table) {
        if (name == "types") {
            if (SchemaType::parse(entry.key)) return fail("[types." + entry.key + "] uses a reserved built-in type name");
            if (entry.key.starts_with("types.")) {
                return fail("[types." + entry.key + "] uses the reserved type-reference prefix");
            }
        }
        if (!entry.value.is_table()) return fail("[" + name + "] entry must be a table: " + entry.key);
        const KeyPath path = root_context.child_path(entry.key);
        const SyntaxContext context(syntax, path);
        auto definition = parse_definition(name + "." + entry.key, entry.value.as_table(), context);
        if (!definition) return fail(definition.take_error());
        definitions.emplace_hint(definitions.end(), entry.key, std::move(definition).value());
    }
    return definitions;
}

Result<Definition> parse_definition(std::string path, const doc::Table& table, const SyntaxContext& context) {
    Properties p;
    QELD_TRY(read_properties(path, table, context, p));
    QELD_TRY(check_references(path, table, p));

    DefinitionMap children;
    QELD_TRY(parse_children(path, table, context, children));
    QELD_TRY(check_form_keys(path, table, p));

    auto kind = apply_type_rules(type_rule_inputs(path, table, p, children.size()));
    if (!kind) return fail(kind.take_error());

    std::optional<doc::Value> min = copy_if_set(table, "min");
    std::optional<doc::Value> max = copy_if_set(table, "max");
    QELD_TRY(validate_range_constraints(path, *kind, min, max));
    QELD_TRY(validate_allowed_values_constraints(path, *kind, p.allowed_values, p.pattern, min, max, p.min_length,
                                                 p.max_length));
    return build_definition(std::move(path), std::move(p), *kind, std::move(min), std::move(max), std::move(children));
}

Status reject_bare_collection_reference(std::string_view path, std::string_view label,
                                        const std::optional<std::string>& reference) {
    if (reference && normalize_reference(*reference) == "collection") {
        return fail(std::string(path) + " cannot use collection as a bare " + std::string(label) + " reference");
    }
    return {};
}

Status reject_bare_collection_references(std::string_view path, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        if (normalize_reference(item) == "collection") {
            return fail(std::string(path) + " cannot use collection as a bare items reference");
        }
    }
    return {};
}

Status validate_alternative_references(std::string_view path, std::string_view label,
                                       const std::vector<std::string>& references) {
    for (const std::string& reference : references) {
        std::string_view normalized_reference = normalize_reference(reference);
        if (normalized_reference == "collection") {
            return fail(std::string(path) + " cannot use collection as a bare " + std::string(label) + " reference");
        }
        if (normalized_reference == "any") {
            return fail(std::string(path) + " cannot use any directly in " + std::string(label));
        }
    }
    return {};
}

Status validate_composition_references(std::string_view path, const std::vector<std::string>& references) {
    for (const std::string& reference : references) {
        std::string_view normalized_reference = normalize_reference(reference);
        if (normalized_reference == "any" || normalized_reference == "collection") {
            return fail(std::string(path) + " cannot use " + std::string(normalized_reference) + " directly in allof");
        }
    }
    return {};
}

}  // namespace qeld::schema
