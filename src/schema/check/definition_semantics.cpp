// Rules that depend on the kind a definition stands for rather than on its own keys:
// uniqueitems only on arrays, an item type for every collection, and sibling rules only on
// tables and collections, naming only fixed children.
#include "schema/model.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error definition_failure(const Definition& definition, std::string_view text) {
    return fail(definition.name + std::string(text));
}

[[gnu::noinline, gnu::cold]] Error unknown_fixed_child(const Definition& definition, std::string_view rule,
                                                        std::string_view child) {
    return fail(definition.name + " " + std::string(rule) + " references unknown fixed child " + std::string(child));
}

bool has_sibling_rules(const Definition& definition) {
    return !definition.dependent_required.empty() || !definition.mutually_exclusive.empty() ||
           !definition.exactly_one.empty();
}

// Only these definitions are examined themselves; a definition with only alternatives or only a
// named type leaves the judgement to the reusable types it names.
bool needs_examination(const Definition& definition) {
    return has_sibling_rules(definition) || definition.unique_items.has_value() || !definition.all_of.empty() ||
           definition.conditional.has_value() || (definition.kind && *definition.kind == SchemaType::Collection);
}

Status validate_group_names(const Definition& definition, std::string_view rule,
                            const std::vector<std::vector<std::string>>& groups, const NameSet& names) {
    for (const auto& group : groups) {
        for (const auto& child : group) {
            if (names.count(child) == 0) return unknown_fixed_child(definition, rule, child);
        }
    }
    return {};
}

// Gathers fixed-child names into one set. A failure ends the collection, and a type whose names
// are all in the set adds nothing when met again along another chain, so it is not walked again:
// that keeps types that name the next one twice from costing time exponential in their number.
// The recursive steps return a flag and leave the message here, so their frames stay small on a
// long chain of types.
class ChildNameCollection {
public:
    ChildNameCollection(const Schema& schema, NameSet& visiting, NameSet& names)
        : schema_(schema), visiting_(visiting), names_(names) {}

    Status finish(bool collected) {
        if (collected) return {};
        return fail(std::move(error_));
    }

    bool collect_effective_child_names(const Definition& definition) {
        add_children(definition);
        // Unlike the item-type search, both alternative lists are followed here.
        if (definition.type_reference && !collect_reference_child_names(*definition.type_reference)) return false;
        if (!collect_members(definition.one_of) || !collect_members(definition.any_of)) return false;
        if (definition.conditional && (!collect_reference_child_names(definition.conditional->then_type) ||
                                       !collect_reference_child_names(definition.conditional->else_type)))
            return false;
        return collect_members(definition.all_of);
    }

    bool collect_reference_child_names(std::string_view reference) {
        std::string_view name = normalize_reference(reference);
        if (SchemaType::parse(name)) return true;
        if (contains(visiting_, name)) return cyclic(name);
        const auto* entry = find_entry(name);
        if (entry == nullptr) return unknown(reference);
        if (contains(collected_, name)) return true;
        insert(visiting_, entry->first);
        bool collected = collect_effective_child_names(entry->second);
        visiting_.erase(entry->first);
        if (collected) insert(collected_, entry->first);
        return collected;
    }

private:
    bool collect_members(const std::vector<std::string>& members) {
        for (const auto& member : members) {
            if (!collect_reference_child_names(member)) return false;
        }
        return true;
    }

    [[gnu::noinline]] void add_children(const Definition& definition) {
        for (const auto& entry : definition.children) names_.insert(entry.first);
    }
    [[gnu::noinline]] const std::pair<const std::string, Definition>* find_entry(std::string_view name) const {
        auto found = schema_.types.find(name);
        return found == schema_.types.end() ? nullptr : &*found;
    }
    [[gnu::noinline]] static bool contains(const NameSet& set, std::string_view name) { return set.count(name) != 0; }
    [[gnu::noinline]] static void insert(NameSet& set, std::string_view name) { set.insert(name); }
    [[gnu::noinline, gnu::cold]] bool unknown(std::string_view reference) {
        error_ = "unknown type reference: " + std::string(reference);
        return false;
    }
    [[gnu::noinline, gnu::cold]] bool cyclic(std::string_view name) {
        error_ = "cyclic type reference: " + std::string(name);
        return false;
    }

    const Schema& schema_;
    NameSet& visiting_;
    NameSet& names_;
    NameSet collected_;
    std::string error_;
};

}  // namespace

Status Schema::validate_definition_semantics() const {
    for (const auto* definitions : {&types, &elements}) {
        for (const auto& entry : *definitions) QELD_TRY(validate_definition_semantic(entry.second));
    }
    return {};
}

Status Schema::validate_definition_semantic(const Definition& definition) const {
    if (needs_examination(definition)) {
        NameSet visiting;
        auto kind = effective_kind(definition, visiting);
        if (!kind) return Error{kind.take_error()};
        if (definition.unique_items && !(*kind == SchemaType::Array))
            return definition_failure(definition, " can only define uniqueitems when its effective type is array");
        bool sibling_rules = has_sibling_rules(definition);
        if (*kind == SchemaType::Collection) {
            NameSet searched;
            if (!has_collection_item_constraint(definition, searched))
                return definition_failure(definition, " effective collection must define at least one itemtype");
        } else if (!(*kind == SchemaType::Table) && sibling_rules) {
            return definition_failure(definition,
                                      " can only define sibling rules when its effective type is table or collection");
        }
        if (sibling_rules) {
            NameSet chain;
            NameSet names;
            QELD_TRY(collect_effective_child_names(definition, chain, names));
            for (const auto& [trigger, required] : definition.dependent_required) {
                if (names.count(trigger) == 0) return unknown_fixed_child(definition, "dependentrequired", trigger);
                for (const auto& child : required) {
                    if (names.count(child) == 0) return unknown_fixed_child(definition, "dependentrequired", child);
                }
            }
            QELD_TRY(validate_group_names(definition, "mutuallyexclusive", definition.mutually_exclusive, names));
            QELD_TRY(validate_group_names(definition, "exactlyone", definition.exactly_one, names));
        }
    }
    for (const auto& entry : definition.children) QELD_TRY(validate_definition_semantic(entry.second));
    return {};
}

Status Schema::collect_effective_child_names(const Definition& definition, NameSet& visiting, NameSet& names) const {
    ChildNameCollection collection(*this, visiting, names);
    return collection.finish(collection.collect_effective_child_names(definition));
}

Status Schema::collect_reference_child_names(std::string_view reference, NameSet& visiting, NameSet& names) const {
    ChildNameCollection collection(*this, visiting, names);
    return collection.finish(collection.collect_reference_child_names(reference));
}

}  // namespace qeld::schema
