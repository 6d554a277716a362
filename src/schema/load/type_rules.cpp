#include "schema/load/type_rules.h"

#include <string>

namespace qeld::schema {

namespace {

bool is(std::optional<SchemaType> type, SchemaType::Kind kind) { return type.has_value() && *type == kind; }

// The text of the first rule that holds, or null.
const char* first_broken_rule(const TypeRuleInputs& in, std::optional<SchemaType> t) {
    const bool typed_form = in.keyword_type || in.named_reference || in.is_union || in.is_conditional;
    const bool positional = is(t, SchemaType::Array) && in.item_count > 0;
    const bool has_length = in.min_length.has_value() || in.max_length.has_value();

    if (!typed_form && in.child_count == 0) {
        return " must define type, oneof, anyof, if/then/else, or child definitions";
    }
    if (in.child_count > 0 && !is(t, SchemaType::Table) && !is(t, SchemaType::Collection)) {
        return " can only define children when type is table or collection";
    }
    if (in.has_item_type && !is(t, SchemaType::Array) && !is(t, SchemaType::Collection)) {
        return " can only define itemtype when type is array or collection";
    }
    if (positional && in.has_item_type) return " cannot define both items and itemtype";
    if (positional && has_length) return " cannot define minlength or maxlength together with items";
    if (positional && in.has_allowed_values) return " cannot define allowedvalues together with items";
    if (positional && (in.has_min || in.has_max)) return " cannot define min or max together with items";
    if (!is(t, SchemaType::Array) && in.item_count > 0) return " can only define items when type is array";
    if (in.has_key_pattern && !is(t, SchemaType::Collection)) {
        return " can only define keypattern when type is collection";
    }
    if (in.has_pattern && !is(t, SchemaType::String)) return " can only define pattern when type is string";
    if (in.has_allowed_values && (is(t, SchemaType::Table) || is(t, SchemaType::Collection))) {
        return " can only define allowedvalues for scalar, unconstrained, or array types";
    }
    if (has_length && !is(t, SchemaType::String) && !is(t, SchemaType::Array) && !is(t, SchemaType::Collection)) {
        return " can only define minlength or maxlength when type is string, array, or collection";
    }
    if (is(t, SchemaType::Collection) && !in.has_item_type && in.all_of_count == 0) {
        return " must define itemtype when type is collection";
    }
    if (in.min_length && in.max_length && *in.min_length > *in.max_length) {
        return " minlength must not be greater than maxlength";
    }
    return nullptr;
}

}  // namespace

std::optional<SchemaType> local_type(const TypeRuleInputs& in) {
    if (in.keyword_type) return in.keyword_type;
    if (in.named_reference || in.is_union || in.is_conditional) return std::nullopt;
    if (in.child_count > 0) return SchemaType(SchemaType::Table);
    return std::nullopt;
}

Result<std::optional<SchemaType>> apply_type_rules(const TypeRuleInputs& inputs) {
    std::optional<SchemaType> t = local_type(inputs);
    if (const char* rule = first_broken_rule(inputs, t)) return fail(std::string(inputs.path) + rule);
    return t;
}

}  // namespace qeld::schema
