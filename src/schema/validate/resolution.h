#pragma once
// Resolution: a definition laid over the reusable type it names, as a component of a value, and
// what validating against one schema finds once.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/walk/component_counts.h"
#include "schema/walk/kinds.h"
#include "schema/walk/type_walk.h"

namespace qeld::schema {

// The definition made for a built-in keyword: the keyword as its name, that kind, nothing else.
const Definition& builtin_definition(SchemaType type);

// A resolved definition without its allof members: one component of a value's component list.
// `base` is the definition at the end of the type-reference chain (it has no type reference) or a
// built-in keyword's definition; the other fields are the overlay of the referring chain and the
// changes the conditional and alternatives steps make. A component borrows the definitions it was
// made from, which must outlive it (those of a loaded schema and the built-in ones do).
//
// A named type reference can carry only "type", "description", "default", "allof", "optional" and
// "deprecated" (the parser refuses every other key, child tables included), so on the referring
// side the sibling rules, uniqueitems, children and every constraint are always empty: the base's
// values pass through unchanged and are read from `base` directly.
struct Component {
    const Definition* base = nullptr;
    std::string_view name;
    const std::string* description = nullptr;
    const doc::Value* default_value = nullptr;
    bool optional = false;
    bool deprecated = false;
    std::optional<SchemaType> kind;
    // Set once the conditional step has taken the selector out.
    bool conditional_taken = false;
    // Set on the host's copy in an alternative's trial: its oneof and anyof count as empty.
    bool alternatives_taken = false;

    const ConditionalSelector* conditional() const {
        return conditional_taken || !base->conditional ? nullptr : &*base->conditional;
    }
    const std::vector<std::string>& one_of() const;
    const std::vector<std::string>& any_of() const;
};

// The allof lists of the types further down a type-reference chain, nearest first.
struct AllOfLink {
    const std::vector<std::string>* members;
    const AllOfLink* below;
};

// The result of resolving a definition: the component, and the allof lists along its
// type-reference chain: the definition's own and those of the types below it. Only non-empty
// lists are held.
struct Resolved {
    Component component;
    const std::vector<std::string>* all_of = nullptr;
    const AllOfLink* below = nullptr;
};

// The allof lists of a resolved definition, the base's first, each in its order (duplicates kept).
std::vector<const std::vector<std::string>*> all_of_lists(const Resolved& resolved);

// Resolution: a definition that names a reusable type laid over that type's resolution.
class ResolutionRules {
public:
    using Answer = Resolved;
    struct Frame {
        const Definition* definition;
        bool followed = false;
        Resolved base{};
    };

    Frame start(const Definition& definition) { return Frame{&definition}; }
    Advance advance(Frame& frame, std::string_view& reference);
    void receive(Frame& frame, Resolved base) { frame.base = base; }
    Resolved answer(const Frame& frame);
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<Resolved> keyword(std::string_view name) const;
    Result<Resolved> cycle(std::string_view name) const;
    Result<Resolved> unknown(std::string_view reference, std::string_view name, NameSet& chain) const;

private:
    // The link that holds the base's own list above the lists below it, made once per type.
    const AllOfLink* link_of(const Resolved& base);

    std::deque<AllOfLink> links_;
    std::unordered_map<const std::vector<std::string>*, const AllOfLink*> link_of_list_;
};

extern template class TypeWalk<ResolutionRules>;
using Resolutions = TypeWalk<ResolutionRules>;

// What validating against one schema finds once, for every value and every pass that shares it.
class DefinitionFacts {
public:
    explicit DefinitionFacts(const Schema& schema)
        : schema_(schema), resolutions_(schema), kinds_(schema), selected_(schema), counts_(schema) {}
    DefinitionFacts(const DefinitionFacts&) = delete;
    DefinitionFacts& operator=(const DefinitionFacts&) = delete;

    const Schema& schema() const { return schema_; }

    Result<Resolved> resolve(const Definition& definition);
    Result<Resolved> resolve_reference(std::string_view reference);
    Result<SchemaType> reference_kind(std::string_view reference) { return kinds_.of_reference(reference); }
    Result<SchemaType> array_range_item_type(const Definition& definition) {
        return schema::array_range_item_type(selected_, definition);
    }
    // How many components the resolved definition expands to (past the limit: max_components + 1);
    // none when a member cannot be counted, which its expansion reports.
    std::optional<std::uint64_t> component_count(const Resolved& resolved);

private:
    const Schema& schema_;
    Resolutions resolutions_;
    EffectiveKinds kinds_;
    SelectedKinds selected_;
    ComponentCounts counts_;
};

}  // namespace qeld::schema
