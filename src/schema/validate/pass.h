#pragma once
// What a validation pass shares with the validators of its trials.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "schema/validate/expansions.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

// A trial: the value and, for each component of the trial list, what a trial reads of it (its
// name, description, default and optional flag only reach messages, which a trial never keeps).
struct TrialKey {
    const doc::Value* value;
    std::vector<std::uintptr_t> components;

    TrialKey(const doc::Value& trial_value, const ComponentList& list);
    friend bool operator==(const TrialKey&, const TrialKey&) = default;
};

struct TrialKeyHash {
    std::size_t operator()(const TrialKey& key) const;
};

struct TrialOutcome {
    bool fits = false;
    std::vector<ValidationWarning> warnings;  // of a trial that fits
};

// What a value's check against one component, or against one union's alternatives, comes to in
// a trial of a value that is no table: whether it fits and, when it does, whether it warns that the
// value is deprecated and whether anything below the value recorded a warning. Such a value has
// no children map, so a trial list fits exactly when each of its components does.
struct Validator::Verdict {
    bool fits = false;
    bool deprecated = false;
    bool warnings_below = false;
};

// A component's verdict depends on the value, the component's base and kind, and whether the
// trial list descends into an array's items; a union's on the value, its base and the descent.
struct VerdictKey {
    const doc::Value* value;
    const Definition* base;
    std::uint16_t kind;  // 0 for a union
    bool descend;
    bool alternatives;
    friend bool operator==(const VerdictKey&, const VerdictKey&) = default;
};

struct VerdictKeyHash {
    std::size_t operator()(const VerdictKey& key) const;
};

// What the check of the outermost union of a value has found, for every union inside it.
struct Validator::TrialMemo {
    std::unordered_map<TrialKey, TrialOutcome, TrialKeyHash> outcomes;
    std::unordered_map<VerdictKey, Verdict, VerdictKeyHash> verdicts;
};

// One alternative of a union: its expansion (kept by the pass, or held here) and its kind, or the
// message that ends the alternatives step.
struct Validator::Alternative {
    Expansion* expansion = nullptr;
    SchemaType kind = SchemaType::Any;
    std::unique_ptr<Expansion> scratch;
    std::string message;
};

// The alternatives of a union host: oneof when given, else anyof.
const std::vector<std::string>& alternatives_of(const Component& host);
// The host's copy in an alternative's trial list: without alternatives, of the alternative's kind.
Component trial_host(const Component& host, SchemaType kind);
// "value is deprecated" at the path.
ValidationWarning deprecation_warning(std::string path);

struct Validator::Pass {
    // Why the pass stopped trying alternatives: the steps ran out, the open trials nested too deep
    // or held too many components, or a value in a trial had too many.
    enum class Stop : std::uint8_t { None, Steps, Depth, Width, Value };

    explicit Pass(DefinitionFacts& shared) : facts(shared) {}
    explicit Pass(std::unique_ptr<DefinitionFacts> owned) : own_facts(std::move(owned)), facts(*own_facts) {}

    std::unique_ptr<DefinitionFacts> own_facts;
    DefinitionFacts& facts;
    // The step limit; the values of a document given with allow_trials_for are counted the first
    // time, as most documents meet no trial.
    std::uint64_t step_limit();

    std::uint64_t limit = base_trial_steps;
    const doc::Table* uncounted = nullptr;
    std::uint64_t steps_used = 0;
    std::size_t nesting = 0;          // trials open on the stack
    std::uint64_t open_components = 0;  // in the lists of the trials open on the stack
    Stop stop = Stop::None;
    TrialMemo* trials = nullptr;  // the trials of the outermost union being checked
    std::optional<std::string> expansion_refused;
    Expansions expansions;
};

}  // namespace qeld::schema
