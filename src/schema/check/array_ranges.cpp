// On an array, "min" and "max" bound the items, so they must be comparable with the one kind
// its item type selects; that kind may lie behind reusable types, hence a check across
// definitions.
#include "schema/check/array_ranges.h"

#include "schema/compare.h"
#include "schema/walk/kinds.h"
#include "schema/walk/type_walk.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error bound_not_comparable(const Definition& definition, std::string_view bound,
                                                         SchemaType item_kind) {
    return fail(definition.name + " " + std::string(bound) + " must be comparable with " +
                std::string(item_kind.keyword()));
}

bool is_comparable_bound(const doc::Value& bound, SchemaType item_kind) {
    if (item_kind == SchemaType::Integer || item_kind == SchemaType::Float)
        return bound.is_integer() || bound.is_float();
    return value_matches_type(bound, item_kind);
}

Status validate_bounds(SelectedKinds& selected, const Definition& definition) {
    if (!definition.kind || !(*definition.kind == SchemaType::Array) || (!definition.min && !definition.max)) return {};
    auto item_kind = array_range_item_type(selected, definition);
    if (!item_kind) return Error{item_kind.take_error()};
    if (definition.min && !is_comparable_bound(*definition.min, *item_kind))
        return bound_not_comparable(definition, "min", *item_kind);
    if (definition.max && !is_comparable_bound(*definition.max, *item_kind))
        return bound_not_comparable(definition, "max", *item_kind);
    return {};
}

}  // namespace

Status validate_array_range_definitions(const Schema& schema) {
    SelectedKinds selected(schema);
    return visit_definitions(schema, [&selected](const Definition& d) { return validate_bounds(selected, d); });
}

Status validate_array_range_definition(const Schema& schema, const Definition& definition) {
    SelectedKinds selected(schema);
    return visit_definition_tree(definition, [&selected](const Definition& d) { return validate_bounds(selected, d); });
}

}  // namespace qeld::schema
