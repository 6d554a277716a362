// The descent into tables and collections: fixed children, entries, missing children, unexpected
// keys and sibling rules. Table keys and child keys are both sorted by key bytes, so they are
// walked side by side.
#include <cstring>
#include <string>

#include "schema/compare.h"
#include "schema/validate/expansions.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

// The byte order of two keys. Keys are mostly short, where a loop beats calling memcmp.
int order_keys(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    if (n > 16) {
        if (const int order = std::memcmp(a.data(), b.data(), n); order != 0) return order;
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The order of a table's key against a child's, in one step where both are short.
int order_against(const doc::Key& key, const ChildrenMap::Group& group) {
    const std::uint64_t word = key.order_word();
    if (word != 0 && group.order_word != 0) return word < group.order_word ? -1 : (word > group.order_word ? 1 : 0);
    return order_keys(key, group.key);
}

// The group of the children map under the key, advancing a cursor that only moves forward as the
// keys asked for ascend.
const ChildrenMap::Group* find_group(const ChildrenMap& children, std::size_t& cursor, const doc::Key& key) {
    const auto& groups = children.groups;
    for (; cursor < groups.size(); ++cursor) {
        const int order = -order_against(key, groups[cursor]);
        if (order == 0) return &groups[cursor];
        if (order > 0) break;
    }
    return nullptr;
}

// The table's entry under the key, with a cursor as above.
const doc::Entry* find_entry(const doc::Table& table, std::size_t& cursor, const ChildrenMap::Group& group) {
    const auto& entries = table.entries();
    for (; cursor < entries.size(); ++cursor) {
        const int order = order_against(entries[cursor].key, group);
        if (order == 0) return &entries[cursor];
        if (order > 0) break;
    }
    return nullptr;
}

}  // namespace

void Validator::validate_table_value(const PathRef& path, const doc::Table& table, const ComponentList& components,
                                     Descent* descent) {
    ChildrenMap collected;
    if (!descent) collected = collect_children(components);
    const ChildrenMap& children = descent ? descent->children : collected;
    if (children.empty()) return;

    std::size_t cursor = 0;
    std::size_t present = 0;
    InlineList<std::size_t, 8> missing;  // groups, ascending
    for (std::size_t i = 0; i < children.groups.size(); ++i) {
        if (halted()) return;
        const ChildrenMap::Group& group = children.groups[i];
        const doc::Entry* entry = find_entry(table, cursor, group);
        if (!entry) {
            missing.push_back(i);
            continue;
        }
        ++present;
        const PathRef child_path = path.key(group.key);
        if (Expansion* child = descent ? expansions().child_of(*this, *descent, i) : nullptr) {
            validate_expansion(child_path, entry->value, *child, true);
        } else {
            validate_definitions(child_path, entry->value, children.definitions_of(group), group.count);
        }
    }

    for (std::size_t group : missing) {
        if (halted()) return;
        if (child_required(children, group, descent)) {
            add(path.key(children.groups[group].key), "required value is missing");
        }
    }

    // The walk below finds nothing when every key is a child.
    if (present < table.size()) {
        cursor = 0;
        for (const doc::Entry& entry : table) {
            if (halted()) return;
            if (!find_group(children, cursor, entry.key)) add(path.key(entry.key), "unexpected key");
        }
    }

    validate_sibling_rules(path, table, components);
}

void Validator::validate_collection(const PathRef& path, const doc::Table& table, const ComponentList& components,
                                    Descent* descent) {
    ChildrenMap collected;
    if (!descent) collected = collect_children(components);
    const ChildrenMap& children = descent ? descent->children : collected;

    // Resolving a reference gives the same result every time, so each component's itemtype is
    // resolved once for all entries (and, for a kept list, for all tables); its message, if any,
    // is still recorded at every entry.
    std::vector<Result<Resolved>> resolved_here;
    if (!descent || !descent->item_types) {
        for (const Component& component : components) {
            if (!component.base->item_type) continue;
            resolved_here.push_back(resolve_reference(*component.base->item_type));
        }
        if (descent) descent->item_types = std::move(resolved_here);
    }
    const std::vector<Result<Resolved>>& item_types = descent ? *descent->item_types : resolved_here;

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

    validate_missing_fixed_children(path, table, children, descent);
    validate_sibling_rules(path, table, components);
}

void Validator::validate_missing_fixed_children(const PathRef& path, const doc::Table& table,
                                                const ChildrenMap& children, Descent* descent) {
    std::size_t cursor = 0;
    for (std::size_t group = 0; group < children.groups.size(); ++group) {
        if (halted()) return;
        if (find_entry(table, cursor, children.groups[group])) continue;
        if (child_required(children, group, descent)) {
            add(path.key(children.groups[group].key), "required value is missing");
        }
    }
}

bool Validator::child_required(const ChildrenMap& children, std::size_t group, Descent* descent) {
    // A definition that cannot be resolved makes the child required; its message is dropped.
    if (const Expansion* child = descent ? expansions().child_of(*this, *descent, group) : nullptr) {
        return child->stage == Expansion::Stage::Unresolved || !child->resolved.component.optional;
    }
    const ChildrenMap::Group& members = children.groups[group];
    const Definition* const* definitions = children.definitions_of(members);
    for (std::size_t i = 0; i < members.count; ++i) {
        auto resolved = resolve(*definitions[i]);
        if (!resolved || !resolved->component.optional) return true;
    }
    return false;
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
