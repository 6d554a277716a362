// The array-level rules of one component: uniqueness, positional items, and the item type,
// allowed values and bounds of every item.
#include <algorithm>
#include <optional>

#include "schema/compare.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

void check_unique(Validator& validator, const PathRef& path, const doc::Array& items) {
    for (std::size_t i = 1; i < items.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (values_equal(items[j], items[i])) {
                validator.add(path.index(i), "array item duplicates an earlier item while uniqueitems is true");
                break;
            }
        }
    }
}

}  // namespace

void Validator::validate_array(const PathRef& path, const doc::Array& items, const Component& component) {
    const Definition& definition = *component.base;
    const std::size_t n = items.size();
    if (definition.unique_items.value_or(false) && n >= 2) check_unique(*this, path, items);

    if (!definition.items.empty()) {
        const std::size_t m = definition.items.size();
        if (n != m) add(path, "expected array length " + std::to_string(m) + " but found " + std::to_string(n));
        for (std::size_t i = 0; i < std::min(m, n); ++i) {
            if (halted()) return;
            NameStack resolving;
            auto resolved = resolve_reference(definition.items[i], resolving);
            if (!resolved) {
                add(path.index(i), resolved.take_error());
            } else {
                validate_value(path.index(i), items[i], *resolved);
            }
        }
        return;
    }

    std::optional<Resolved> item_type;
    if (definition.item_type) {
        NameStack resolving;
        auto resolved = resolve_reference(*definition.item_type, resolving);
        if (!resolved) {
            add(path, resolved.take_error());
            return;
        }
        item_type = std::move(*resolved);
    } else if (definition.allowed_values.empty()) {
        return;
    }

    std::optional<SchemaType> range_kind;
    if (definition.min || definition.max) {
        auto kind = schema_.array_range_item_type(definition);
        if (!kind && definition.name != component.name) {
            // The message names the definition that refers to the array type.
            Definition named;
            named.name = std::string(component.name);
            named.item_type = definition.item_type;
            kind = schema_.array_range_item_type(named);
        }
        if (!kind) {
            add(path, kind.take_error());
            return;
        }
        range_kind = *kind;
    }

    for (std::size_t i = 0; i < n; ++i) {
        if (halted()) return;
        const PathRef item_path = path.index(i);
        const doc::Value& item = items[i];
        if (item_type) validate_value(item_path, item, *item_type);
        if (!definition.allowed_values.empty() &&
            std::none_of(definition.allowed_values.begin(), definition.allowed_values.end(),
                         [&item](const doc::Value& allowed) { return values_equal(allowed, item); })) {
            add(item_path, "value is not in allowedvalues");
        }
        if (range_kind && value_matches_type(item, *range_kind)) validate_range(item_path, item, definition);
    }
}

}  // namespace qeld::schema
