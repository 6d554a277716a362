#pragma once
// One validation pass: the errors and warnings found so far, over one schema.
//
// A loaded schema never changes, so nothing here copies a definition: a resolved definition is a
// view of the definition at the end of its type-reference chain, with what the referring
// definitions add laid over it, and component lists, children maps and name sets hold pointers and
// views into the schema. What depends on the schema alone (resolutions, effective kinds, the kinds
// an item type selects, component counts) is found once and kept in the pass's DefinitionFacts.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/validate/resolution.h"

namespace qeld::schema {

// The names on the current chain of one walk. Names are added when a walk enters a type and
// removed when it leaves it, so the set is a stack; a name reached again along another chain is no
// cycle.
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

// The child definitions of a component list by key: keys in ascending byte order, each key with
// its definitions in component order (one per component that declares it).
struct ChildrenMap {
    struct Group {
        std::string_view key;
        std::uint64_t order_word;  // doc::Key::order_word of the key
        std::size_t first;         // the group's run in definitions
        std::size_t count;
    };
    std::vector<Group> groups;
    std::vector<const Definition*> definitions;

    bool empty() const { return groups.empty(); }
    const Definition* const* definitions_of(const Group& group) const { return definitions.data() + group.first; }
};

ChildrenMap collect_children(const ComponentList& components);

struct Expansion;
struct Descent;
struct DistinctComponents;
struct TrialOutcome;
class Expansions;

class Validator {
public:
    // Oneof/anyof trials can multiply where several unions meet at one value. A trial costs one
    // step per component of its list, and one pass takes at most this many steps plus
    // steps_per_value for each value of the document, then records that it gave up. Open trials
    // nest at most max_nesting deep (one per union on the way to a value), which bounds the machine
    // stack, and hold at most max_open_components in their lists, which bounds memory.
    static constexpr std::uint64_t base_trial_steps = 4'000'000;
    static constexpr std::uint64_t steps_per_value = 100;
    static constexpr std::size_t max_nesting = 1'000;
    static constexpr std::uint64_t max_open_components = 2'000'000;
    // A child declared by several components is checked against all their definitions, so lists
    // can double level after level; the definitions of one value expand to at most this many
    // components.
    static constexpr std::size_t max_value_components = 100'000;

    // What passes over one schema can share: what validating against it finds once.
    class SharedFacts {
    public:
        explicit SharedFacts(const Schema& schema);
        ~SharedFacts();
        SharedFacts(const SharedFacts&) = delete;
        SharedFacts& operator=(const SharedFacts&) = delete;

    private:
        friend class Validator;
        std::unique_ptr<DefinitionFacts> facts_;
    };

    // A pass of its own over the schema.
    Validator(const Schema& schema, bool report_deprecations);
    // A pass that shares what the facts know with other passes over the same schema.
    Validator(SharedFacts& facts, bool report_deprecations);
    ~Validator();
    Validator(const Validator&) = delete;
    Validator& operator=(const Validator&) = delete;

    // Raises the step limit by steps_per_value for each value of the document, counted only
    // once a trial needs the limit.
    void allow_trials_for(const doc::Table& document);

    const Schema& schema() const;
    bool report_deprecations() const { return report_deprecations_; }
    const std::vector<ValidationError>& errors() const { return errors_; }
    const std::vector<ValidationWarning>& warnings() const { return warnings_; }
    // The errors, then the warnings; the validator is left empty.
    ValidationResult take_result();
    // The message of the first definition met that expands past max_components, recorded like a
    // resolution message at its value's path; a loaded schema has none.
    const std::optional<std::string>& expansion_refused() const;

    void add(const std::string& path, std::string message);
    void add(const PathRef& path, std::string message);
    void add_deprecation(const std::string& path);
    void add_deprecation(const PathRef& path);
    // Validates one value at a path against one definition and everything it composes.
    void validate_value(const std::string& path, const doc::Value& value, const Definition& definition);
    void validate_value(const PathRef& path, const doc::Value& value, const Definition& definition);
    void validate_value(const PathRef& path, const doc::Value& value, const Resolved& resolved);

    // Resolution; each walk starts with a chain of its own.
    Result<Resolved> resolve(const Definition& definition) const;
    Result<Resolved> resolve_reference(std::string_view reference) const;
    Result<ComponentList> collect_components(const Definition& definition) const;

    // Checks one value against its component list.
    void validate_component_set(const PathRef& path, const doc::Value& value, ComponentList components);

private:
    friend class Expansions;
    struct Pass;
    struct TrialMemo;

    // Appends the resolved definition and, depth first, its allof members' components; on a
    // message nothing is appended.
    Status append_components(const Resolved& resolved, ComponentList& components) const;

    void validate_definitions(const PathRef& path, const doc::Value& value, const Definition* const* definitions,
                              std::size_t count);
    void validate_definitions(const PathRef& path, const doc::Value& value, const std::vector<Resolved>& definitions);
    void validate_range(const PathRef& path, const doc::Value& value, const Definition& definition);

    void validate_array(const PathRef& path, const doc::Array& items, const Component& component);
    // A descent, when given, is the one kept for the components.
    void validate_table_value(const PathRef& path, const doc::Table& table, const ComponentList& components,
                              Descent* descent = nullptr);
    void validate_collection(const PathRef& path, const doc::Table& table, const ComponentList& components,
                             Descent* descent = nullptr);
    void validate_missing_fixed_children(const PathRef& path, const doc::Table& table, const ChildrenMap& children,
                                         Descent* descent = nullptr);
    void validate_sibling_rules(const PathRef& path, const doc::Table& table, const ComponentList& components);

    // A validator for one alternative's trial: only whether it finds an error, and its warnings
    // when it finds none, are ever read, so it keeps no error and stops working at its first.
    Validator(Pass& pass, bool report_deprecations);
    // Ends the value's checks once the pass has stopped trying alternatives: a trial only fails,
    // the outermost union records the one honest error.
    void give_up(const PathRef& path);
    bool halted() const { return failed_; }
    // Ends the checks of a value whose list outgrew max_value_components; in a trial, the
    // outermost union's.
    void give_up_value(const PathRef& path);
    std::size_t error_count() const { return errors_.size() + (failed_ ? 1 : 0); }

    DefinitionFacts& facts() const;
    Expansions& expansions() const;
    // One definition's components: its message, or the list checked at the value. A child's list
    // is `bounded` by max_value_components.
    void validate_expansion(const PathRef& path, const doc::Value& value, Expansion& expansion, bool bounded);
    // The checks after the conditional and alternatives steps: types, constraints, descent,
    // deprecation. `kept` is the expansion the list is, when it is one.
    void check_components(const PathRef& path, const doc::Value& value, const ComponentList& components,
                          Expansion* kept);
    // Runs the check on each component; with copies, once per distinct component, its errors
    // recorded again at each copy.
    template <class Check>
    void check_each(const ComponentList& components, const DistinctComponents* copies, Check check);
    // "expected {kind} but found {kind}": out of the hot loop that checks kinds.
    [[gnu::cold]] void add_kind_mismatch(const PathRef& path, const doc::Value& value, SchemaType kind);
    // The copies' side of check_each, kept out of line so that the plain loop stays small.
    void check_distinct(const ComponentList& components, const DistinctComponents& copies,
                        const std::function<void(const Component&)>& check);
    // Whether a child that a table lacks must be there.
    bool child_required(const ChildrenMap& children, std::size_t group, Descent* descent);
    void add_warning(ValidationWarning warning);
    // The effective kind of a reference that resolved as given.
    Result<SchemaType> kind_of_reference(std::string_view reference, const Resolved& resolved) const;
    // False when the step recorded a message and the value's checks end.
    bool apply_conditional(const PathRef& path, const doc::Value& value, ComponentList& components,
                           std::size_t conditional);
    // The kind the host of a conditional takes: its then branch's.
    Result<SchemaType> branch_kind(const ConditionalSelector& selector) const;

    // The alternatives step: each alternative's trial, the count of those that fit, and the merge
    // of their warnings.
    struct Verdict;
    struct Alternative;
    using Fitting = std::vector<std::vector<ValidationWarning>>;
    void validate_alternatives(const PathRef& path, const doc::Value& value, ComponentList components,
                               std::size_t host);
    Alternative find_alternative(const std::string& reference) const;
    static ComponentList trial_list(const ComponentList& rest, const Component& host, const Alternative& alternative);
    // False, setting why the pass stops, when a trial of this many components cannot be opened.
    bool open_trial(std::uint64_t size);
    void close_trial(std::uint64_t size);
    // The outcome of one alternative's trial, made now or remembered; null, with why the pass
    // stops set, when it cannot be made.
    const TrialOutcome* try_alternative(const PathRef& path, const doc::Value& value, ComponentList trial);
    // The warnings of each alternative that fits, in order; none when the step recorded a message.
    std::optional<Fitting> try_alternatives(const PathRef& path, const doc::Value& value, const ComponentList& rest,
                                            const Component& host);
    // As try_alternatives, from verdicts, for a value that is no table; false, having recorded
    // nothing, when the alternatives that fit must be tried for the order of their warnings.
    bool judge_alternatives(const PathRef& path, const doc::Value& value, const ComponentList& rest,
                            const Component& host, std::optional<Fitting>& fitting);
    static Verdict both(const Verdict& a, const Verdict& b);
    Verdict judge_list(const PathRef& path, const doc::Value& value, const ComponentList& components,
                       const DistinctComponents* copies, bool descend);
    Verdict judge_union(const PathRef& path, const doc::Value& value, const Component& host, bool descend);
    Verdict judge_component(const PathRef& path, const doc::Value& value, const Component& component, bool descend);
    // False when the count is wrong, which it records.
    bool count_fits(const PathRef& path, const Component& host, std::size_t fitting);
    void merge_fitting(const PathRef& path, Fitting& fitting, const Component& host);

    void validate_constraints(const PathRef& path, const doc::Value& value, const Component& component);

    std::unique_ptr<Pass> own_pass_;
    Pass* pass_;
    bool report_deprecations_;
    bool trial_ = false;
    bool failed_ = false;  // a trial found an error
    std::vector<ValidationError> errors_;
    std::vector<ValidationWarning> warnings_;
    // Keys of the warnings recorded, so that no two equal ones are; membership only.
    std::unordered_set<std::string> warning_keys_;
};

}  // namespace qeld::schema
