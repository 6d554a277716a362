// Rules that depend on the kind a definition stands for rather than on its own keys:
// uniqueitems only on arrays, an item type for every collection, and sibling rules only on
// tables and collections, naming only fixed children.
#include "schema/check/definition_semantics.h"

#include "schema/walk/kinds.h"
#include "schema/walk/type_walk.h"

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

// Gathers the child names of every type reached through the selector references into one set;
// both alternative lists are followed, unlike the item-type search. What the walk remembers holds
// for this set only: a type whose names are in it adds nothing when met again.
class ChildNameRules {
public:
    using Answer = bool;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
    };

    explicit ChildNameRules(NameSet& names) : names_(&names) {}

    Frame start(const Definition& definition) {
        for (const auto& entry : definition.children) names_->insert(entry.first);
        return Frame{&definition};
    }
    Advance advance(Frame& frame, std::string_view& reference) {
        return follow(selector_reference(*frame.definition, frame.index++), reference);
    }
    void receive(Frame&, bool) {}
    bool answer(const Frame&) const { return true; }
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<bool> keyword(std::string_view name) const {
        if (SchemaType::parse(name)) return true;
        return std::nullopt;
    }
    Result<bool> cycle(std::string_view name) const { return fail("cyclic type reference: " + std::string(name)); }
    Result<bool> unknown(std::string_view reference, std::string_view, NameSet&) const {
        return fail("unknown type reference: " + std::string(reference));
    }

private:
    NameSet* names_;
};

using ChildNames = TypeWalk<ChildNameRules>;

Status status_of(Result<bool> walked) {
    if (!walked) return Error{walked.take_error()};
    return {};
}

// One run of the check: the effective kinds and item-type answers it finds serve every definition.
class SemanticCheck {
public:
    explicit SemanticCheck(const Schema& schema) : schema_(schema), kinds_(schema), item_types_(schema) {}

    Status validate(const Definition& definition) {
        if (!needs_examination(definition)) return {};
        auto kind = kinds_.of_definition(definition);
        if (!kind) return Error{kind.take_error()};
        if (definition.unique_items && !(*kind == SchemaType::Array))
            return definition_failure(definition, " can only define uniqueitems when its effective type is array");
        const bool sibling_rules = has_sibling_rules(definition);
        if (*kind == SchemaType::Collection) {
            if (!*item_types_.of_definition(definition))
                return definition_failure(definition, " effective collection must define at least one itemtype");
        } else if (!(*kind == SchemaType::Table) && sibling_rules) {
            return definition_failure(definition,
                                      " can only define sibling rules when its effective type is table or collection");
        }
        if (!sibling_rules) return {};
        NameSet names;
        QELD_TRY(status_of(ChildNames(schema_, ChildNameRules(names)).of_definition(definition)));
        for (const auto& [trigger, required] : definition.dependent_required) {
            if (names.count(trigger) == 0) return unknown_fixed_child(definition, "dependentrequired", trigger);
            for (const auto& child : required) {
                if (names.count(child) == 0) return unknown_fixed_child(definition, "dependentrequired", child);
            }
        }
        QELD_TRY(validate_group_names(definition, "mutuallyexclusive", definition.mutually_exclusive, names));
        return validate_group_names(definition, "exactlyone", definition.exactly_one, names);
    }

private:
    const Schema& schema_;
    EffectiveKinds kinds_;
    ItemTypeSearch item_types_;
};

}  // namespace

Status validate_definition_semantics(const Schema& schema) {
    SemanticCheck check(schema);
    return visit_definitions(schema, [&check](const Definition& definition) { return check.validate(definition); });
}

Status validate_definition_semantic(const Schema& schema, const Definition& definition) {
    SemanticCheck check(schema);
    return visit_definition_tree(definition, [&check](const Definition& d) { return check.validate(d); });
}

Status collect_effective_child_names(const Schema& schema, const Definition& definition, NameSet& visiting,
                                     NameSet& names) {
    return status_of(ChildNames(schema, ChildNameRules(names)).of_definition(definition, visiting));
}

Status collect_reference_child_names(const Schema& schema, std::string_view reference, NameSet& visiting,
                                     NameSet& names) {
    return status_of(ChildNames(schema, ChildNameRules(names)).of_reference(reference, visiting));
}

}  // namespace qeld::schema
