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

bool is_scalar(const doc::Value& value) { return !value.is_array() && !value.is_table(); }

// A hash that equal values share, from a value's size and its first few scalar parts only: most
// items that differ at all differ there, and it costs far less than hashing whole items.
std::uint64_t outline_hash(const doc::Value& value) {
    constexpr std::size_t parts = 4;
    std::uint64_t hash = 0;
    auto add = [&hash](std::uint64_t part) { hash = (hash ^ part) * 0x9e3779b97f4a7c15ull; };
    auto add_part = [&add](const doc::Value& part) {
        add(is_scalar(part) ? hash_value(part) : static_cast<std::uint64_t>(part.kind()));
    };
    if (const doc::Table* table = value.if_table()) {
        add(table->size() << 2 | 1);
        const auto entries = table->entries();
        for (std::size_t i = 0; i < entries.size() && i < parts; ++i) add_part(entries[i].value);
    } else if (const doc::Array* items = value.if_array()) {
        add(items->size() << 2 | 2);
        for (std::size_t i = 0; i < items->size() && i < parts; ++i) add_part((*items)[i]);
    } else {
        add(hash_value(value));
    }
    return hash;
}

using Hashed = std::pair<std::uint64_t, std::size_t>;

// Calls `run` with each run of two or more equal hashes in the sorted range, which it may reorder.
template <class Run>
void for_each_run(std::vector<Hashed>& hashed, std::size_t first, std::size_t last, Run run) {
    while (first < last) {
        std::size_t end = first + 1;
        while (end < last && hashed[end].first == hashed[first].first) ++end;
        if (end - first > 1) run(first, end);
        first = end;
    }
}

// Every item equal to an earlier one, in index order. Equality is an equivalence, so those are the
// items that do not come first among their equals. Sorted by a hash under which equal items agree,
// equal items lie in one run: first by an outline of each item, then, within a run, by the whole
// item's hash; such a run is sorted again, stably, by an order whose ties are exactly the equal
// values, so each group of equals starts with its first occurrence.
void check_unique(Validator& validator, const PathRef& path, const doc::Array& items) {
    const std::size_t n = items.size();
    std::vector<Hashed> hashed(n);
    for (std::size_t i = 0; i < n; ++i) hashed[i] = {outline_hash(items[i]), i};
    std::sort(hashed.begin(), hashed.end());
    std::vector<bool> duplicate(n, false);
    std::vector<std::size_t> run;
    for_each_run(hashed, 0, n, [&](std::size_t first, std::size_t last) {
        for (std::size_t k = first; k < last; ++k) hashed[k].first = hash_value(items[hashed[k].second]);
        const auto begin = hashed.begin();
        std::sort(begin + static_cast<std::ptrdiff_t>(first), begin + static_cast<std::ptrdiff_t>(last));
        for_each_run(hashed, first, last, [&](std::size_t equal_first, std::size_t equal_last) {
            run.clear();
            for (std::size_t k = equal_first; k < equal_last; ++k) run.push_back(hashed[k].second);
            std::stable_sort(run.begin(), run.end(),
                             [&items](std::size_t a, std::size_t b) { return order_values(items[a], items[b]) < 0; });
            for (std::size_t k = 1; k < run.size(); ++k) {
                if (order_values(items[run[k - 1]], items[run[k]]) == 0) duplicate[run[k]] = true;
            }
        });
    });
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
