#pragma once
// One validation pass: the errors and warnings found so far, over one schema.
//
// A loaded schema never changes, so nothing here copies a definition: a resolved definition is a
// view of the definition at the end of its type-reference chain, with what the referring
// definitions add laid over it, and component lists, children maps and name sets hold pointers and
// views into the schema.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"

namespace qeld::schema {

// The definition made for a built-in keyword: the keyword as its name, that kind, nothing else.
const Definition& builtin_definition(SchemaType type);

// The names on the current chain of one resolution walk. Names are added when a walk enters a
// type and removed when it leaves it, so the set is a stack; a name reached again along another
// chain is no cycle.
class NameStack {
public:
    NameStack() {}
    NameStack(const NameStack&) = delete;
    NameStack& operator=(const NameStack&) = delete;

    // False, leaving the stack as it was, when the name is on it already.
    bool push(std::string_view name);
    void pop();
    bool contains(std::string_view name) const;

private:
    static constexpr std::size_t inline_room = 8;
    // The names beyond the inline room, in push order and hashed, so that long chains stay linear.
    struct Overflow {
        std::vector<std::string_view> names;
        std::unordered_set<std::string_view> set;
    };

    // A stack is made for every value validated and usually holds a name or two: the room is left
    // uninitialized and the overflow is made only when needed.
    union Room {
        Room() {}
        std::string_view names[inline_room];
    };
    Room inline_;
    std::size_t size_ = 0;
    std::unique_ptr<Overflow> overflow_;
};

// One diagnostic path, kept as a chain of steps on the caller's stack and rendered to text only
// when a finding is recorded. A child step borrows its parent, which must outlive it.
class PathRef {
public:
    // A whole path text: "$", "$default", or any rendered path.
    explicit PathRef(std::string_view root) : text_(root) {}

    PathRef key(std::string_view key) const { return PathRef(this, Step::Key, key, 0); }
    PathRef index(std::size_t index) const { return PathRef(this, Step::Index, {}, index); }

    std::string str() const;

private:
    enum class Step : std::uint8_t { Root, Key, Index };
    PathRef(const PathRef* parent, Step step, std::string_view text, std::size_t index)
        : parent_(parent), step_(step), text_(text), index_(index) {}
    void append_to(std::string& out) const;

    const PathRef* parent_ = nullptr;
    Step step_ = Step::Root;
    std::string_view text_;
    std::size_t index_ = 0;
};

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

// A short list of trivially copyable elements held in place; it moves to the heap only when it
// outgrows its inline room. Component lists are built for every value validated and rarely hold
// more than a few components.
template <class T, std::size_t N>
class InlineList {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    InlineList() = default;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    T& front() { return data()[0]; }
    const T& front() const { return data()[0]; }

    void push_back(const T& value) {
        if (heap_.empty() && size_ < N) {
            new (&inline_.items[size_++]) T(value);
            return;
        }
        if (heap_.empty()) heap_.assign(inline_.items, inline_.items + size_);
        heap_.push_back(value);
        ++size_;
    }
    void erase(std::size_t index) {
        T* items = data();
        for (std::size_t i = index + 1; i < size_; ++i) items[i - 1] = items[i];
        --size_;
        if (!heap_.empty()) heap_.pop_back();
    }
    // Drops the elements from the index on.
    void truncate(std::size_t size) {
        if (!heap_.empty()) heap_.resize(size);
        size_ = size;
    }

private:
    T* data() { return heap_.empty() ? inline_.items : heap_.data(); }
    const T* data() const { return heap_.empty() ? inline_.items : heap_.data(); }

    // Room for N elements, left uninitialized; copied as bytes with the list.
    union Room {
        Room() {}
        T items[N];
    };
    Room inline_;
    std::vector<T> heap_;  // holds every element once the inline room is outgrown
    std::size_t size_ = 0;
};

using ComponentList = InlineList<Component, 4>;

// The result of resolving a definition: the component and the allof lists along its
// type-reference chain, the base's first, each list in its order (duplicates kept). Only
// non-empty lists are held.
struct Resolved {
    Component component;
    std::vector<const std::vector<std::string>*> all_of;
};

// The child definitions of a component list by key: keys in ascending byte order, each key with
// its definitions in component order (one per component that declares it).
struct ChildrenMap {
    struct Group {
        std::string_view key;
        std::size_t first;  // the group's run in definitions
        std::size_t count;
    };
    std::vector<Group> groups;
    std::vector<const Definition*> definitions;

    bool empty() const { return groups.empty(); }
    const Definition* const* definitions_of(const Group& group) const { return definitions.data() + group.first; }
};

ChildrenMap collect_children(const ComponentList& components);

class Validator {
public:
    Validator(const Schema& schema, bool report_deprecations)
        : schema_(schema), report_deprecations_(report_deprecations) {}
    Validator(const Validator&) = delete;
    Validator& operator=(const Validator&) = delete;

    // Oneof/anyof trials multiply along nested unions, so one pass tries at most this many plus
    // trials_per_value for each value of the document, then records that it gave up.
    static constexpr std::uint64_t base_trial_limit = 1'000'000;
    static constexpr std::uint64_t trials_per_value = 100;
    void allow_trials_for(std::uint64_t document_values) {
        own_budget_.limit = base_trial_limit + trials_per_value * document_values;
    }

    std::vector<ValidationError> errors;
    std::vector<ValidationWarning> warnings;

    const Schema& schema() const { return schema_; }
    bool report_deprecations() const { return report_deprecations_; }

    void add(const std::string& path, std::string message);
    void add(const PathRef& path, std::string message);
    void add_deprecation(const std::string& path);
    void add_deprecation(const PathRef& path);
    // Validates one value at a path against one definition and everything it composes.
    void validate_value(const std::string& path, const doc::Value& value, const Definition& definition);
    void validate_value(const PathRef& path, const doc::Value& value, const Definition& definition);
    void validate_value(const PathRef& path, const doc::Value& value, const Resolved& resolved);

    // Resolution.
    Result<Resolved> resolve(const Definition& definition, NameStack& resolving) const;
    Result<Resolved> resolve_reference(std::string_view reference, NameStack& resolving) const;
    Result<ComponentList> collect_components(const Definition& definition, NameStack& all_of) const;
    // Appends the resolved definition and, depth first, its allof members' components; on a
    // message nothing is appended.
    Status append_components(const Resolved& resolved, NameStack& all_of, ComponentList& components) const;

    // Component sets.
    void validate_component_set(const PathRef& path, const doc::Value& value, ComponentList components);
    void validate_definitions(const PathRef& path, const doc::Value& value, const Definition* const* definitions,
                              std::size_t count);
    void validate_definitions(const PathRef& path, const doc::Value& value, const std::vector<Resolved>& definitions);
    void validate_range(const PathRef& path, const doc::Value& value, const Definition& definition);

    // Arrays, tables and collections.
    void validate_array(const PathRef& path, const doc::Array& items, const Component& component);
    void validate_table_value(const PathRef& path, const doc::Table& table, const ComponentList& components);
    void validate_collection(const PathRef& path, const doc::Table& table, const ComponentList& components);
    void validate_missing_fixed_children(const PathRef& path, const doc::Table& table, const ChildrenMap& children);
    void validate_sibling_rules(const PathRef& path, const doc::Table& table, const ComponentList& components);

private:
    // A validator for one alternative's trial: only whether it finds an error, and its warnings
    // when it finds none, are ever read, so it keeps no error and stops working at its first.
    struct TrialBudget {
        std::uint64_t limit = base_trial_limit;
        std::uint64_t used = 0;
        bool exhausted = false;
    };
    Validator(const Schema& schema, bool report_deprecations, TrialBudget* budget)
        : schema_(schema), report_deprecations_(report_deprecations), trial_(true), budget_(budget) {}
    // Ends the value's checks once the pass has run out of trials: a trial only fails, the
    // outermost union records the one honest error.
    void give_up_trials(const PathRef& path);
    bool halted() const { return failed_; }
    std::size_t error_count() const { return errors.size() + (failed_ ? 1 : 0); }

    void add_warning(ValidationWarning warning);
    // The effective kind of a reference that resolved as given.
    Result<SchemaType> kind_of_reference(std::string_view reference, const Resolved& resolved) const;
    void validate_conditional(const PathRef& path, const doc::Value& value, ComponentList components,
                              std::size_t conditional);
    void validate_alternatives(const PathRef& path, const doc::Value& value, ComponentList components,
                               std::size_t host);
    void validate_constraints(const PathRef& path, const doc::Value& value, const Component& component);

    const Schema& schema_;
    bool report_deprecations_;
    bool trial_ = false;
    bool failed_ = false;  // a trial found an error
    TrialBudget own_budget_;
    TrialBudget* budget_ = &own_budget_;  // shared by a pass and all of its trials
    // Keys of the warnings recorded, so that no two equal ones are; membership only.
    std::unordered_set<std::string> warning_keys_;
};

}  // namespace qeld::schema
