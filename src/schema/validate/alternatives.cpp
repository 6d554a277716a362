// Components that choose what describes a value: if/then/else picks a branch type by a sibling
// entry, oneof and anyof try each alternative on its own validator and count those that fit.
//
// A trial's outcome (whether the value fits, and the warnings it finds) depends only on the value
// and the trial list, and a value has one path, so while the outermost union of a value is
// checked each trial is made once: unions nested along a value's subtree meet the same trials
// again through every alternative above them, which would otherwise multiply the work. A value
// that is no table is judged from verdicts instead (verdicts.cpp), which cost its distinct
// components and alternatives only.
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

std::uint64_t mix(std::uint64_t hash, std::uint64_t part) {
    return hash ^ (part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2));
}

constexpr std::string_view nest_too_deeply = "the alternatives nest too deeply to check this value";

std::string too_many_for_a_value() {
    return "gave up after " + std::to_string(Validator::max_value_components) +
           " components for one value: the definitions of its children multiply too much to check it";
}

}  // namespace

TrialKey::TrialKey(const doc::Value& trial_value, const ComponentList& list) : value(&trial_value) {
    components.reserve(2 * list.size());
    for (const Component& component : list) {
        components.push_back(reinterpret_cast<std::uintptr_t>(component.base));
        const std::uintptr_t kind = component.kind ? component.kind->kind() + 1u : 0u;
        components.push_back(kind | (component.deprecated ? 1u << 8 : 0u) |
                             (component.conditional_taken ? 1u << 9 : 0u) |
                             (component.alternatives_taken ? 1u << 10 : 0u));
    }
}

std::size_t TrialKeyHash::operator()(const TrialKey& key) const {
    std::uint64_t hash = std::hash<const void*>()(key.value);
    for (std::uintptr_t part : key.components) hash = mix(hash, part);
    return static_cast<std::size_t>(hash);
}

std::size_t VerdictKeyHash::operator()(const VerdictKey& key) const {
    std::uint64_t hash = std::hash<const void*>()(key.value);
    hash = mix(hash, reinterpret_cast<std::uintptr_t>(key.base));
    hash = mix(hash, key.kind | (key.descend ? 1u << 16 : 0u) | (key.alternatives ? 1u << 17 : 0u));
    return static_cast<std::size_t>(hash);
}

Result<SchemaType> Validator::kind_of_reference(std::string_view reference, const Resolved& resolved) const {
    // A chain of plain type references that ends in a definition with a kind of its own, with no
    // allof anywhere along it, has that kind and cannot fail; every other reference is asked of
    // the facts, which also give the messages.
    if (resolved.all_of == nullptr && resolved.below == nullptr && resolved.component.base->kind)
        return *resolved.component.base->kind;
    return facts().reference_kind(reference);
}

Result<SchemaType> Validator::branch_kind(const ConditionalSelector& selector) const {
    auto then_resolved = resolve_reference(selector.then_type);
    return then_resolved ? kind_of_reference(selector.then_type, *then_resolved)
                         : facts().reference_kind(selector.then_type);
}

bool Validator::apply_conditional(const PathRef& path, const doc::Value& value, ComponentList& components,
                                  std::size_t conditional) {
    Component selector_host = components[conditional];
    components.erase(conditional);
    // The selector belongs to the schema, which outlives the step.
    const ConditionalSelector& selector = *selector_host.conditional();
    selector_host.conditional_taken = true;

    auto kind = branch_kind(selector);
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

bool Validator::open_trial(std::uint64_t size) {
    Pass& pass = *pass_;
    if (pass.nesting >= max_nesting) pass.stop = Pass::Stop::Depth;
    if (pass.open_components + size > max_open_components) pass.stop = Pass::Stop::Width;
    if (pass.stop != Pass::Stop::None) return false;
    ++pass.nesting;
    pass.open_components += size;
    return true;
}

void Validator::close_trial(std::uint64_t size) {
    --pass_->nesting;
    pass_->open_components -= size;
}

const std::vector<std::string>& alternatives_of(const Component& host) {
    return host.one_of().empty() ? host.any_of() : host.one_of();
}

Component trial_host(const Component& host, SchemaType kind) {
    Component copy = host;
    copy.alternatives_taken = true;
    copy.kind = kind;
    return copy;
}

Validator::Alternative Validator::find_alternative(const std::string& reference) const {
    Alternative alternative;
    Expansion& expansion = expansions().of_reference(*this, reference, alternative.scratch);
    if (expansion.stage == Expansion::Stage::Unresolved) {
        alternative.message = expansion.message;
        return alternative;
    }
    auto kind = kind_of_reference(reference, expansion.resolved);
    if (!kind) {
        alternative.message = kind.take_error();
        return alternative;
    }
    Expansions::expand(*this, expansion);
    if (expansion.stage != Expansion::Stage::Expanded) {
        alternative.message = expansion.message;
        return alternative;
    }
    alternative.kind = *kind;
    alternative.expansion = &expansion;
    return alternative;
}

ComponentList Validator::trial_list(const ComponentList& rest, const Component& host, const Alternative& alternative) {
    // The other components, the host without its alternatives and with the alternative's kind,
    // then the alternative's components. All are views of the schema.
    ComponentList trial = rest;
    trial.push_back(trial_host(host, alternative.kind));
    for (const Component& component : alternative.expansion->components) trial.push_back(component);
    return trial;
}

const TrialOutcome* Validator::try_alternative(const PathRef& path, const doc::Value& value, ComponentList trial) {
    Pass& pass = *pass_;
    // Every trial costs its list's length, the ones remembered too, since their lists are built.
    const std::uint64_t size = trial.size();
    if (pass.steps_used + size > pass.step_limit()) {
        pass.stop = Pass::Stop::Steps;
        return nullptr;
    }
    pass.steps_used += size;
    TrialKey key(value, trial);
    if (auto known = pass.trials->outcomes.find(key); known != pass.trials->outcomes.end()) return &known->second;
    if (!open_trial(size)) return nullptr;
    Validator sub(pass, report_deprecations_);
    sub.validate_component_set(path, value, std::move(trial));
    close_trial(size);
    // A trial cut short says nothing about its alternative.
    if (pass.stop != Pass::Stop::None) return nullptr;
    TrialOutcome& outcome = pass.trials->outcomes[std::move(key)];
    outcome.fits = !sub.failed_;
    if (outcome.fits) outcome.warnings = std::move(sub.warnings_);
    return &outcome;
}

std::optional<Validator::Fitting> Validator::try_alternatives(const PathRef& path, const doc::Value& value,
                                                              const ComponentList& rest, const Component& host) {
    Fitting fitting;
    for (const std::string& reference : alternatives_of(host)) {
        Alternative alternative = find_alternative(reference);
        if (!alternative.expansion) {
            add(path, std::move(alternative.message));
            return std::nullopt;
        }
        const TrialOutcome* outcome = try_alternative(path, value, trial_list(rest, host, alternative));
        if (outcome == nullptr) {
            give_up(path);
            return std::nullopt;
        }
        if (outcome->fits) fitting.push_back(outcome->warnings);
    }
    return fitting;
}

bool Validator::count_fits(const PathRef& path, const Component& host, std::size_t fitting) {
    if (!host.one_of().empty()) {
        if (fitting == 1) return true;
        add(path, "expected exactly one matching type from oneof but found " + std::to_string(fitting));
        return false;
    }
    if (fitting > 0) return true;
    add(path, "expected at least one matching type from anyof");
    return false;
}

void Validator::merge_fitting(const PathRef& path, Fitting& fitting, const Component& host) {
    for (auto& found : fitting) {
        for (auto& warning : found) add_warning(std::move(warning));
    }
    if (host.deprecated) add_deprecation(path);
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
    std::optional<Fitting> fitting;
    if (value.is_table() || !judge_alternatives(path, value, components, host, fitting)) {
        fitting = try_alternatives(path, value, components, host);
    }
    if (fitting && count_fits(path, host, fitting->size())) merge_fitting(path, *fitting, host);
}

}  // namespace qeld::schema
