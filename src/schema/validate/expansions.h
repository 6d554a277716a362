#pragma once
// The component lists that single definitions expand to, made once per pass.
//
// Resolving a definition and expanding its allof members depend on the schema alone, so each
// outcome, message included, is the same at every value the definition describes. Only the
// conditional and alternatives steps read the value: a list without either reaches the type
// checks and the descent unchanged, so its children map, and what each child declared by one
// definition resolves and expands to, are kept with it too. Each step is first taken where the
// walk without a memory would take it (a definition is expanded only once a value needs its
// list), so the first refusal a pass records stays the same.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

struct Descent;

// The distinct components of a list. Copies of one definition (the same base, kind, name and
// flags) give the same findings for the same value, so each distinct component is checked once
// and its findings are repeated at every copy, in list order.
struct DistinctComponents {
    std::vector<std::uint32_t> first;      // per distinct component, the position of its first copy
    std::vector<std::uint32_t> of;         // per position, its distinct component
    std::vector<std::uint32_t> start;      // per distinct component, where its copies begin in `positions`
    std::vector<std::uint32_t> positions;  // every position, grouped by distinct component, ascending

    std::size_t size() const { return first.size(); }
};

// Null when the list holds no two copies.
std::unique_ptr<DistinctComponents> find_copies(const ComponentList& components);

struct Expansion {
    enum class Stage : std::uint8_t { Unresolved, Resolved, Expanded, Refused };

    Stage stage = Stage::Unresolved;
    bool kept = false;        // held by the pass, not made for one use
    bool fixed = false;       // expanded, and no component has a conditional or alternatives
    bool deprecated = false;  // expanded, and some component is deprecated
    std::string message;      // why the definition was not resolved, or not expanded
    Resolved resolved;        // from Resolved on
    ComponentList components;  // once Expanded
    std::unique_ptr<DistinctComponents> copies;  // of the components, when some are copies
    std::unique_ptr<Descent> descent;  // of a kept fixed list, made at its first table or collection
};

// What the descent into a table or collection reads of a fixed list, besides the list itself.
struct Descent {
    struct Child {
        Expansion* expansion = nullptr;  // of the group's only definition, null when not kept
        bool looked = false;
    };
    ChildrenMap children;
    std::vector<Child> groups;  // one per group of children
    std::optional<std::vector<Result<Resolved>>> item_types;  // of the components, for a collection
};

class Expansions {
public:
    // A pass keeps at most this many expansions and, over their lists and children maps, this
    // many components and child definitions; past either, definitions are expanded at every use.
    static constexpr std::size_t max_entries = 1 << 14;
    static constexpr std::size_t max_items = 1 << 18;

    // The resolution of the definition, or of the reference (the schema's text of it): the kept
    // one, made now if new, or else one made into `scratch`.
    Expansion& of_definition(const Validator& validator, const Definition& definition,
                             std::unique_ptr<Expansion>& scratch);
    Expansion& of_reference(const Validator& validator, const std::string& reference,
                            std::unique_ptr<Expansion>& scratch);
    // Expands a resolved definition's components unless done already.
    static void expand(const Validator& validator, Expansion& expansion) {
        if (expansion.stage == Expansion::Stage::Resolved) expand_now(validator, expansion);
    }
    // The descent of a kept fixed expansion, made now if new; null when none can be kept.
    Descent* descent_of(Expansion& expansion);
    // The kept resolution of a group's only definition; null for a group of several definitions
    // or when none can be kept.
    Expansion* child_of(const Validator& validator, Descent& descent, std::size_t group) {
        const Descent::Child& child = descent.groups[group];
        return child.looked ? child.expansion : look_up_child(validator, descent, group);
    }

private:
    static void expand_now(const Validator& validator, Expansion& expansion);
    Expansion* look_up_child(const Validator& validator, Descent& descent, std::size_t group);
    template <class Resolve>
    Expansion& find_or_make(const Validator& validator, const void* key, std::unique_ptr<Expansion>& scratch,
                            Resolve resolve);

    // Keyed by the definition, or by the reference's text inside the schema: distinct objects.
    std::unordered_map<const void*, std::unique_ptr<Expansion>> entries_;
    std::size_t items_ = 0;
};

}  // namespace qeld::schema
