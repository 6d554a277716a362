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

// What the first phase reads of "type" beside the definition's own fields: the text as written
// and the keyword it names, which becomes the kind only once the type rules have been applied.
struct TypeText {
    bool given = false;
    std::string text;
    std::optional<SchemaType> keyword;
};

template <std::size_t N>
Status check_permitted_keys(const std::string& path, const doc::Table& table,
                            const std::array<std::string_view, N>& permitted, std::string_view form) {
    for (const doc::Entry& entry : table) {
        if (!is_one_of(permitted, entry.key)) return fail(path + " " + std::string(form) + " cannot define " + entry.key);
    }
    return {};
}

Status read_type(const std::string& path, const doc::Table& table, TypeText& type, Definition& d) {
    const doc::Value* value = table.find("type");
    if (value == nullptr || value->is_table()) return {};
    if (!value->is_string()) return fail(path + ".type must be a string");
    type.given = true;
    type.text = value->as_string();
    type.keyword = SchemaType::parse(type.text);
    if (type.keyword) return {};
    d.type_reference = std::string(normalize_reference(type.text));
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

Status read_optional(const std::string& path, const doc::Table& table, Definition& d) {
    const doc::Value* value = table.find("optional");
    if (value == nullptr || value->is_table()) return {};
    if (!value->is_boolean()) return fail(path + ".optional must be a boolean");
    d.optional = value->as_boolean();
    return {};
}

Status read_conditional(const std::string& path, const doc::Table& table, const SyntaxContext& context,
                        Definition& d) {
    const bool branches = is_set(table, "then") && is_set(table, "else");
    if (context.is_property(table, "if")) {
        if (!branches) return fail(path + " must define if, then, and else together");
        auto selector = parse_conditional_selector(path, table);
        if (!selector) return fail(selector.take_error());
        d.conditional = std::move(selector).value();
        return {};
    }
    if (is_set(table, "then") || is_set(table, "else")) return fail(path + " must define if, then, and else together");
    return {};
}

// Phase 1: every property, in a fixed order, into the definition's fields; the references as
// written, since the next phase judges how they are written.
Status read_properties(const doc::Table& table, const SyntaxContext& context, TypeText& type, Definition& d) {
    const std::string& path = d.name;
    QELD_TRY(read_type(path, table, type, d));
    QELD_TRY(read_text(path, table, "description", d.description));
    QELD_TRY(read_text(path, table, "itemtype", d.item_type));
    QELD_TRY(assign(get_string_array_values(path, table, "items"), d.items));
    if (is_set(table, "items") && d.items.empty()) return fail(path + " items must contain at least one type reference");
    QELD_TRY(read_optional(path, table, d));
    QELD_TRY(assign(get_pattern_key(path, table, "pattern"), d.pattern));
    QELD_TRY(assign(get_pattern_key(path, table, "keypattern"), d.key_pattern));
    QELD_TRY(assign(get_unsigned_integer(path, table, "minlength"), d.min_length));
    QELD_TRY(assign(get_unsigned_integer(path, table, "maxlength"), d.max_length));
    QELD_TRY(assign(get_array_values(path, table, "allowedvalues"), d.allowed_values));
    if (is_set(table, "allowedvalues") && d.allowed_values.empty()) {
        return fail(path + " allowedvalues must contain at least one entry");
    }
    QELD_TRY(assign(get_string_array_values(path, table, "oneof"), d.one_of));
    QELD_TRY(assign(get_string_array_values(path, table, "anyof"), d.any_of));
    QELD_TRY(read_conditional(path, table, context, d));
    QELD_TRY(assign(get_string_array_values(path, table, "allof"), d.all_of));
    QELD_TRY(assign(get_dependent_required(path, table, context), d.dependent_required));
    QELD_TRY(assign(get_name_groups(path, table, "mutuallyexclusive"), d.mutually_exclusive));
    QELD_TRY(assign(get_name_groups(path, table, "exactlyone"), d.exactly_one));
    QELD_TRY(assign(get_bool(path, table, "uniqueitems"), d.unique_items));
    std::optional<bool> deprecated;
    QELD_TRY(assign(get_bool(path, table, "deprecated"), deprecated));
    d.deprecated = deprecated.value_or(false);
    if (context.is_property(table, "default")) d.default_value = *table.find("default");
    if (is_set(table, "min")) d.min = *table.find("min");
    if (is_set(table, "max")) d.max = *table.find("max");
    return {};
}

// Phase 2: empty lists, bare references, and at most one form that gives a type.
Status check_references(const doc::Table& table, const TypeText& type, const Definition& d) {
    const std::string& path = d.name;
    const bool one_of = is_set(table, "oneof");
    const bool any_of = is_set(table, "anyof");
    if (one_of && d.one_of.empty()) return fail(path + " oneof must contain at least one type reference");
    if (any_of && d.any_of.empty()) return fail(path + " anyof must contain at least one type reference");
    if (is_set(table, "allof") && d.all_of.empty()) return fail(path + " allof must contain at least one type reference");

    QELD_TRY(reject_bare_collection_reference(path, "itemtype", d.item_type));
    QELD_TRY(reject_bare_collection_references(path, d.items));
    QELD_TRY(validate_alternative_references(path, "oneof", d.one_of));
    QELD_TRY(validate_alternative_references(path, "anyof", d.any_of));
    QELD_TRY(validate_composition_references(path, d.all_of));
    // The keyword itself is the built-in collection type; only its prefixed spelling is bare.
    if (type.given && type.text != "collection" && normalize_reference(type.text) == "collection") {
        return fail(path + " cannot use collection as a bare type reference");
    }

    const int forms = int{type.given} + int{one_of} + int{any_of} + int{d.conditional.has_value()};
    if (forms > 1) return fail(path + " cannot define more than one of type, oneof, anyof, and if/then/else");
    return {};
}

// Phase 3: every key is a property already read, a child definition, or a fault.
Status parse_children(const doc::Table& table, const SyntaxContext& context, Definition& d) {
    for (const doc::Entry& entry : table) {
        if (is_one_of(property_keys, entry.key) && context.is_property(table, entry.key)) continue;
        if (!entry.value.is_table()) return fail(d.name + " contains unsupported property: " + entry.key);
        const KeyPath child_path = context.child_path(entry.key);
        const SyntaxContext child_context(context.syntax(), child_path);
        auto child = parse_definition(d.name + "." + entry.key, entry.value.as_table(), child_context);
        if (!child) return fail(child.take_error());
        d.children.emplace_hint(d.children.end(), entry.key, std::move(child).value());
    }
    return {};
}

Status check_form_keys(const doc::Table& table, const Definition& d) {
    if (is_set(table, "oneof") || is_set(table, "anyof")) return check_permitted_keys(d.name, table, union_keys, "union");
    if (d.conditional) return check_permitted_keys(d.name, table, conditional_keys, "conditional");
    return {};
}

TypeRuleInputs type_rule_inputs(const doc::Table& table, const TypeText& type, const Definition& d) {
    TypeRuleInputs in;
    in.path = d.name;
    in.keyword_type = type.keyword;
    in.named_reference = d.type_reference.has_value();
    in.is_union = is_set(table, "oneof") || is_set(table, "anyof");
    in.is_conditional = d.conditional.has_value();
    in.child_count = d.children.size();
    in.has_item_type = d.item_type.has_value();
    in.item_count = d.items.size();
    in.min_length = d.min_length;
    in.max_length = d.max_length;
    in.has_allowed_values = is_set(table, "allowedvalues");
    in.has_min = is_set(table, "min");
    in.has_max = is_set(table, "max");
    in.has_pattern = d.pattern.has_value();
    in.has_key_pattern = d.key_pattern.has_value();
    in.all_of_count = d.all_of.size();
    return in;
}

void normalize_references(std::vector<std::string>& references) {
    for (std::string& reference : references) reference = std::string(normalize_reference(reference));
}

// Phase 5: every reference stored without its "types." prefix.
void normalize_references(Definition& d) {
    if (d.item_type) d.item_type = std::string(normalize_reference(*d.item_type));
    normalize_references(d.items);
    normalize_references(d.one_of);
    normalize_references(d.any_of);
    normalize_references(d.all_of);
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
    Definition d;
    d.name = std::move(path);
    TypeText type;
    QELD_TRY(read_properties(table, context, type, d));
    QELD_TRY(check_references(table, type, d));
    QELD_TRY(parse_children(table, context, d));
    QELD_TRY(check_form_keys(table, d));

    // Phase 4: the type rules give the kind, then the value constraints are checked against it.
    auto kind = apply_type_rules(type_rule_inputs(table, type, d));
    if (!kind) return fail(kind.take_error());
    d.kind = *kind;
    QELD_TRY(validate_range_constraints(d));
    QELD_TRY(validate_allowed_values_constraints(d));
    normalize_references(d);
    return d;
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
