// The descent into tables and collections: fixed children, entries, missing children, unexpected
// keys and sibling rules. Table keys and child keys are both sorted by key bytes, so they are
// walked side by side.
#include <string>

#include "schema/compare.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

// The group of the children map under the key, advancing a cursor that only moves forward as the
// keys asked for ascend.
const ChildrenMap::Group* find_group(const ChildrenMap& children, std::size_t& cursor, std::string_view key) {
    const auto& groups = children.groups;
    for (; cursor < groups.size(); ++cursor) {
        const int order = groups[cursor].key.compare(key);
        if (order == 0) return &groups[cursor];
        if (order > 0) break;
    }
    return nullptr;
}

// The table's entry under the key, with a cursor as above.
const doc::Entry* find_entry(const doc::Table& table, std::size_t& cursor, std::string_view key) {
    const auto& entries = table.entries();
    for (; cursor < entries.size(); ++cursor) {
        const int order = std::string_view(entries[cursor].key).compare(key);
        if (order == 0) return &entries[cursor];
        if (order > 0) break;
    }
    return nullptr;
}

}  // namespace

void Validator::validate_table_value(const PathRef& path, const doc::Table& table, const ComponentList& components) {
    const ChildrenMap children = collect_children(components);
    if (children.empty()) return;

    std::size_t cursor = 0;
    std::size_t present = 0;
    for (const ChildrenMap::Group& group : children.groups) {
        if (halted()) return;
        if (const doc::Entry* entry = find_entry(table, cursor, group.key)) {
            ++present;
            validate_definitions(path.key(group.key), entry->value, children.definitions_of(group), group.count);
        }
    }

    // Each walk below finds nothing when every child is present, or every key is a child.
    if (present < children.groups.size()) validate_missing_fixed_children(path, table, children);

    if (present < table.size()) {
        cursor = 0;
        for (const doc::Entry& entry : table) {
            if (halted()) return;
            if (!find_group(children, cursor, entry.key)) add(path.key(entry.key), "unexpected key");
        }
    }

    validate_sibling_rules(path, table, components);
}

void Validator::validate_collection(const PathRef& path, const doc::Table& table, const ComponentList& components) {
    const ChildrenMap children = collect_children(components);

    // Resolving a reference gives the same result every time, so each component's itemtype is
    // resolved once for all entries; its message, if any, is still recorded at every entry.
    std::vector<Result<Resolved>> item_types;
    for (const Component& component : components) {
        if (!component.base->item_type) continue;
        item_types.push_back(resolve_reference(*component.base->item_type));
    }

    std::int64_t entry_count = 0;
    std::size_t cursor = 0;
    std::vector<Resolved> resolved_item_types;
    for (const doc::Entry& entry : table) {
        if (halted()) return;
        const PathRef entry_path = path.key(entry.key);
        if (const ChildrenMap::Group* group = find_group(children, cursor, entry.key)) {
            validate_definitions(entry_path, entry.value, children.definitions_of(*group), group->count);
            continue;
        }
        for (const Component& component : components) {
            const auto& key_pattern = component.base->key_pattern;
            if (key_pattern && !matches_pattern(*key_pattern, entry.key)) {
                add(entry_path, "key does not match keypattern " + key_pattern->source());
            }
        }
        ++entry_count;
        resolved_item_types.clear();
        for (const Result<Resolved>& item_type : item_types) {
            if (item_type) {
                resolved_item_types.push_back(*item_type);
            } else {
                add(entry_path, item_type.error());
            }
        }
        if (item_types.empty()) add(entry_path, "collection entry has no itemtype reference");
        if (!resolved_item_types.empty()) validate_definitions(entry_path, entry.value, resolved_item_types);
    }

    for (const Component& component : components) {
        const Definition& definition = *component.base;
        if (definition.min_length && entry_count < *definition.min_length) add(path, "length is less than minlength");
        if (definition.max_length && entry_count > *definition.max_length) {
            add(path, "length is greater than maxlength");
        }
    }

    validate_missing_fixed_children(path, table, children);
    validate_sibling_rules(path, table, components);
}

void Validator::validate_missing_fixed_children(const PathRef& path, const doc::Table& table,
                                                const ChildrenMap& children) {
    std::size_t cursor = 0;
    for (const ChildrenMap::Group& group : children.groups) {
        if (halted()) return;
        if (find_entry(table, cursor, group.key)) continue;
        const Definition* const* definitions = children.definitions_of(group);
        bool required = false;
        for (std::size_t i = 0; i < group.count && !required; ++i) {
            auto resolved = resolve(*definitions[i]);
            // A definition that cannot be resolved makes the child required; its message is dropped.
            required = !resolved || !resolved->component.optional;
        }
        if (required) add(path.key(group.key), "required value is missing");
    }
}

void Validator::validate_sibling_rules(const PathRef& path, const doc::Table& table, const ComponentList& components) {
    for (const Component& component : components) {
        if (halted()) return;
        const Definition& definition = *component.base;
        for (const auto& [trigger, names] : definition.dependent_required) {
            if (!table.contains(trigger)) continue;
            for (const std::string& name : names) {
                if (!table.contains(name)) add(path.key(name), "required because sibling " + trigger + " is present");
            }
        }
        for (const auto& group : definition.mutually_exclusive) {
            std::string present;
            int count = 0;
            for (const std::string& name : group) {
                if (!table.contains(name)) continue;
                if (count++ > 0) present += ", ";
                present += name;
            }
            if (count > 1) add(path, "mutuallyexclusive group has multiple present children: " + present);
        }
        for (const auto& group : definition.exactly_one) {
            int count = 0;
            for (const std::string& name : group) count += table.contains(name) ? 1 : 0;
            if (count != 1) add(path, "exactlyone group requires one present child but found " + std::to_string(count));
        }
    }
}

}  // namespace qeld::schema
