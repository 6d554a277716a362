// The array-level rules of one component: uniqueness, positional items, and the item type,
// allowed values and bounds of every item.
#include <algorithm>
#include <optional>

#include "schema/compare.h"
#include "schema/validate/expansions.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

// Every item equal to an earlier one, in index order. Equality is an equivalence, so those are the
// items that do not come first among their equals. Sorted by hash, equal items lie in one run; a
// run is sorted again, stably, by an order whose ties are exactly the equal values, so each group
// of equals starts with its first occurrence.
void check_unique(Validator& validator, const PathRef& path, const doc::Array& items) {
    const std::size_t n = items.size();
    std::vector<std::pair<std::uint64_t, std::size_t>> hashed(n);
    for (std::size_t i = 0; i < n; ++i) hashed[i] = {hash_value(items[i]), i};
    std::sort(hashed.begin(), hashed.end());
    std::vector<bool> duplicate(n, false);
    std::vector<std::size_t> run;
    for (std::size_t first = 0; first < n;) {
        std::size_t end = first + 1;
        while (end < n && hashed[end].first == hashed[first].first) ++end;
        if (end - first > 1) {
            run.clear();
            for (std::size_t k = first; k < end; ++k) run.push_back(hashed[k].second);
            std::stable_sort(run.begin(), run.end(),
                             [&items](std::size_t a, std::size_t b) { return order_values(items[a], items[b]) < 0; });
            for (std::size_t k = 1; k < run.size(); ++k) {
                if (order_values(items[run[k - 1]], items[run[k]]) == 0) duplicate[run[k]] = true;
            }
        }
        first = end;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (duplicate[i]) validator.add(path.index(i), "array item duplicates an earlier item while uniqueitems is true");
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
            auto resolved = resolve_reference(definition.items[i]);
            if (!resolved) {
                add(path.index(i), resolved.take_error());
            } else {
                validate_value(path.index(i), items[i], *resolved);
            }
        }
        return;
    }

    // The item type is resolved once for the array, and expanded at its first item.
    std::unique_ptr<Expansion> scratch;
    Expansion* item_type = nullptr;
    if (definition.item_type) {
        item_type = &expansions().of_reference(*this, *definition.item_type, scratch);
        if (item_type->stage == Expansion::Stage::Unresolved) {
            add(path, item_type->message);
            return;
        }
    } else if (definition.allowed_values.empty()) {
        return;
    }

    std::optional<SchemaType> range_kind;
    if (definition.min || definition.max) {
        auto kind = facts().array_range_item_type(definition);
        if (!kind && definition.name != component.name) {
            // The message names the definition that refers to the array type.
            Definition named;
            named.name = std::string(component.name);
            named.item_type = definition.item_type;
            kind = facts().array_range_item_type(named);
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
        if (item_type) validate_expansion(item_path, item, *item_type, false);
        if (!definition.allowed_values.empty() &&
            std::none_of(definition.allowed_values.begin(), definition.allowed_values.end(),
                         [&item](const doc::Value& allowed) { return values_equal(allowed, item); })) {
            add(item_path, "value is not in allowedvalues");
        }
        if (range_kind && value_matches_type(item, *range_kind)) validate_range(item_path, item, definition);
    }
}

}  // namespace qeld::schema
