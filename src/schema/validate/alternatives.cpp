// Components that choose what describes a value: if/then/else picks a branch type by a sibling
// entry, oneof and anyof try each alternative on its own validator and count those that fit.
//
// A trial's outcome (whether the value fits, and the warnings it finds) depends only on the value
// and the trial list, and a value has one path, so while the outermost union of a value is
// checked each trial is made once: unions nested along a value's subtree meet the same trials
// again through every alternative above them, which would otherwise multiply the work.
#include <functional>
#include <unordered_map>
#include <utility>

#include "schema/compare.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

bool predicate_holds(const ConditionPredicate& predicate, const doc::Value& sibling) {
    if (const auto* equals = std::get_if<ConditionPredicate::Equals>(&predicate.form)) {
        return values_equal(sibling, equals->value);
    }
    for (const doc::Value& candidate : std::get<ConditionPredicate::In>(predicate.form).values) {
        if (values_equal(sibling, candidate)) return true;
    }
    return false;
}

// A trial: the value and, for each component of the trial list, what a trial reads of it (its
// name, description, default and optional flag only reach messages, which a trial never keeps).
struct TrialKey {
    const doc::Value* value;
    std::vector<std::uintptr_t> components;

    TrialKey(const doc::Value& trial_value, const ComponentList& list) : value(&trial_value) {
        components.reserve(2 * list.size());
        for (const Component& component : list) {
            components.push_back(reinterpret_cast<std::uintptr_t>(component.base));
            const std::uintptr_t kind = component.kind ? component.kind->kind() + 1u : 0u;
            components.push_back(kind | (component.deprecated ? 1u << 8 : 0u) |
                                 (component.conditional_taken ? 1u << 9 : 0u) |
                                 (component.alternatives_taken ? 1u << 10 : 0u));
        }
    }
    friend bool operator==(const TrialKey&, const TrialKey&) = default;
};

struct TrialKeyHash {
    std::size_t operator()(const TrialKey& key) const {
        std::uint64_t hash = std::hash<const void*>()(key.value);
        for (std::uintptr_t part : key.components) {
            hash ^= part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
        }
        return static_cast<std::size_t>(hash);
    }
};

struct TrialOutcome {
    bool fits = false;
    std::vector<ValidationWarning> warnings;  // of a trial that fits
};

constexpr std::string_view nest_too_deeply = "the alternatives nest too deeply to check this value";

std::string too_many_for_a_value() {
    return "gave up after " + std::to_string(Validator::max_value_components) +
           " components for one value: the definitions of its children multiply too much to check it";
}

}  // namespace

struct Validator::TrialMemo {
    std::unordered_map<TrialKey, TrialOutcome, TrialKeyHash> outcomes;
};

Result<SchemaType> Validator::kind_of_reference(std::string_view reference, const Resolved& resolved) const {
    // A chain of plain type references that ends in a definition with a kind of its own, with no
    // allof anywhere along it, has that kind and cannot fail; every other reference is asked of
    // the facts, which also give the messages.
    if (resolved.all_of == nullptr && resolved.below == nullptr && resolved.component.base->kind)
        return *resolved.component.base->kind;
    return facts().reference_kind(reference);
}

bool Validator::apply_conditional(const PathRef& path, const doc::Value& value, ComponentList& components,
                                  std::size_t conditional) {
    Component selector_host = components[conditional];
    components.erase(conditional);
    // The selector belongs to the schema, which outlives the step.
    const ConditionalSelector& selector = *selector_host.conditional();
    selector_host.conditional_taken = true;

    auto then_resolved = resolve_reference(selector.then_type);
    auto kind = then_resolved ? kind_of_reference(selector.then_type, *then_resolved)
                              : facts().reference_kind(selector.then_type);
    if (!kind) {
        add(path, kind.take_error());
        return false;
    }
    // The host takes the then branch's kind whichever branch is chosen.
    selector_host.kind = *kind;
    components.push_back(selector_host);

    // A value that is not a table is checked against the host's kind alone.
    const doc::Table* table = value.if_table();
    if (!table) return true;
    const doc::Value* sibling = table->find(selector.key);
    const bool then_branch = sibling && predicate_holds(selector.predicate, *sibling);

    auto branch = resolve_reference(then_branch ? selector.then_type : selector.else_type);
    if (!branch) {
        add(path, branch.take_error());
        return false;
    }
    if (auto status = append_components(*branch, components); !status) {
        add(path, status.take_error());
        return false;
    }
    return true;
}

void Validator::give_up(const PathRef& path) {
    Pass& pass = *pass_;
    switch (pass.stop) {
        case Pass::Stop::Steps:
            add(path, "gave up after " + std::to_string(pass.step_limit()) + " steps of oneof/anyof trials: " +
                          std::string(nest_too_deeply));
            // The steps are spent for the whole pass.
            return;
        case Pass::Stop::Depth:
            add(path, "gave up after " + std::to_string(max_nesting) + " nested oneof/anyof trials: " +
                          std::string(nest_too_deeply));
            break;
        case Pass::Stop::Width:
            add(path, "gave up after " + std::to_string(max_open_components) +
                          " components in nested oneof/anyof trials: " + std::string(nest_too_deeply));
            break;
        case Pass::Stop::Value:
            add(path, too_many_for_a_value());
            break;
        case Pass::Stop::None:
            return;
    }
    // Only the value that nests too deeply is given up; the pass goes on with the next one.
    if (!trial_) pass.stop = Pass::Stop::None;
}

void Validator::give_up_value(const PathRef& path) {
    if (!trial_) {
        add(path, too_many_for_a_value());
        return;
    }
    pass_->stop = Pass::Stop::Value;
    failed_ = true;
}

void Validator::validate_alternatives(const PathRef& path, const doc::Value& value, ComponentList components,
                                      std::size_t host_index) {
    Pass& pass = *pass_;
    if (pass.stop != Pass::Stop::None) {
        give_up(path);
        return;
    }
    std::unique_ptr<TrialMemo> own_memo;
    if (pass.trials == nullptr) {
        own_memo = std::make_unique<TrialMemo>();
        pass.trials = own_memo.get();
    }
    struct Release {
        Pass& pass;
        const TrialMemo* owned;
        ~Release() {
            if (owned != nullptr) pass.trials = nullptr;
        }
    } release{pass, own_memo.get()};

    const Component host = components[host_index];
    components.erase(host_index);
    const bool one_of_mode = !host.one_of().empty();
    const std::vector<std::string>& alternatives = one_of_mode ? host.one_of() : host.any_of();

    // The warnings of each alternative that fitted, in the order of the alternatives.
    std::vector<std::vector<ValidationWarning>> fitting;
    for (const std::string& alternative : alternatives) {
        auto resolved = resolve_reference(alternative);
        if (!resolved) {
            add(path, resolved.take_error());
            return;
        }
        auto kind = kind_of_reference(alternative, *resolved);
        if (!kind) {
            add(path, kind.take_error());
            return;
        }
        // The trial list: the other components, the host without its alternatives and with the
        // alternative's kind, then the alternative's components. All are views of the schema.
        ComponentList trial = components;
        Component trial_host = host;
        trial_host.alternatives_taken = true;
        trial_host.kind = *kind;
        trial.push_back(trial_host);
        if (auto status = append_components(*resolved, trial); !status) {
            add(path, status.take_error());
            return;
        }

        // Every trial costs its list's length, the ones remembered too, since their lists are built.
        const std::uint64_t size = trial.size();
        if (pass.steps_used + size > pass.step_limit()) {
            pass.stop = Pass::Stop::Steps;
            give_up(path);
            return;
        }
        pass.steps_used += size;
        TrialKey key(value, trial);
        if (auto known = pass.trials->outcomes.find(key); known != pass.trials->outcomes.end()) {
            if (known->second.fits) fitting.push_back(known->second.warnings);
            continue;
        }
        if (pass.nesting >= max_nesting) pass.stop = Pass::Stop::Depth;
        if (pass.open_components + size > max_open_components) pass.stop = Pass::Stop::Width;
        if (pass.stop != Pass::Stop::None) {
            give_up(path);
            return;
        }
        ++pass.nesting;
        pass.open_components += size;
        Validator sub(pass, report_deprecations_);
        sub.validate_component_set(path, value, std::move(trial));
        --pass.nesting;
        pass.open_components -= size;
        // A trial cut short says nothing about its alternative.
        if (pass.stop != Pass::Stop::None) {
            give_up(path);
            return;
        }
        TrialOutcome& outcome = pass.trials->outcomes[std::move(key)];
        outcome.fits = !sub.failed_;
        if (outcome.fits) {
            outcome.warnings = std::move(sub.warnings_);
            fitting.push_back(outcome.warnings);
        }
    }

    const std::size_t k = fitting.size();
    if (one_of_mode && k != 1) {
        add(path, "expected exactly one matching type from oneof but found " + std::to_string(k));
        return;
    }
    if (!one_of_mode && k == 0) {
        add(path, "expected at least one matching type from anyof");
        return;
    }
    for (auto& found : fitting) {
        for (auto& warning : found) add_warning(std::move(warning));
    }
    if (host.deprecated) add_deprecation(path);
}

}  // namespace qeld::schema
