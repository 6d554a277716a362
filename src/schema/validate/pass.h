#pragma once
// What a validation pass shares with the validators of its trials.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "schema/validate/expansions.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

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
