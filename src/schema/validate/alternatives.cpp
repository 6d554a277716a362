// Components that choose what describes a value: if/then/else picks a branch type by a sibling
// entry, oneof and anyof try each alternative on its own validator and count those that fit.
#include <utility>

#include "schema/compare.h"
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

}  // namespace

Result<SchemaType> Validator::kind_of_reference(std::string_view reference, const Resolved& resolved) const {
    // A chain of plain type references that ends in a definition with a kind of its own, with no
    // allof anywhere along it, has that kind and cannot fail; every other reference is asked of the
    // schema, which also gives the messages.
    if (resolved.all_of.empty() && resolved.component.base->kind) return *resolved.component.base->kind;
    NameSet visiting;
    return schema_.reference_kind(reference, visiting);
}

void Validator::validate_conditional(const PathRef& path, const doc::Value& value, ComponentList components,
                                     std::size_t conditional) {
    Component selector_host = components[conditional];
    components.erase(conditional);
    // The selector belongs to the schema, which outlives the step.
    const ConditionalSelector& selector = *selector_host.conditional();
    selector_host.conditional_taken = true;

    NameStack then_resolving;
    auto then_resolved = resolve_reference(selector.then_type, then_resolving);
    NameSet visiting;
    auto kind = then_resolved ? kind_of_reference(selector.then_type, *then_resolved)
                              : schema_.reference_kind(selector.then_type, visiting);
    if (!kind) {
        add(path, kind.take_error());
        return;
    }
    // The host takes the then branch's kind whichever branch is chosen.
    selector_host.kind = *kind;
    components.push_back(selector_host);

    const doc::Table* table = value.if_table();
    if (!table) {
        validate_component_set(path, value, std::move(components));
        return;
    }
    const doc::Value* sibling = table->find(selector.key);
    const bool then_branch = sibling && predicate_holds(selector.predicate, *sibling);

    NameStack resolving;
    auto branch = resolve_reference(then_branch ? selector.then_type : selector.else_type, resolving);
    if (!branch) {
        add(path, branch.take_error());
        return;
    }
    NameStack all_of;
    if (auto status = append_components(*branch, all_of, components); !status) {
        add(path, status.take_error());
        return;
    }
    validate_component_set(path, value, std::move(components));
}

void Validator::give_up_trials(const PathRef& path) {
    budget_->exhausted = true;
    add(path, "gave up after " + std::to_string(budget_->limit) +
                  " oneof/anyof trials: the alternatives nest too deeply to check this value");
}

void Validator::validate_alternatives(const PathRef& path, const doc::Value& value, ComponentList components,
                                      std::size_t host_index) {
    if (budget_->exhausted) {
        give_up_trials(path);
        return;
    }
    const Component host = components[host_index];
    components.erase(host_index);
    const bool one_of_mode = !host.one_of().empty();
    const std::vector<std::string>& alternatives = one_of_mode ? host.one_of() : host.any_of();

    // The warnings of each alternative that fitted, in the order of the alternatives.
    std::vector<std::vector<ValidationWarning>> fitting;
    for (const std::string& alternative : alternatives) {
        NameStack resolving;
        auto resolved = resolve_reference(alternative, resolving);
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
        NameStack all_of;
        if (auto status = append_components(*resolved, all_of, trial); !status) {
            add(path, status.take_error());
            return;
        }

        if (budget_->used >= budget_->limit) {
            give_up_trials(path);
            return;
        }
        ++budget_->used;
        Validator sub(schema_, report_deprecations_, budget_);
        sub.validate_component_set(path, value, std::move(trial));
        // A trial that ran out of trials says nothing about its alternative.
        if (budget_->exhausted) {
            give_up_trials(path);
            return;
        }
        if (!sub.failed_) fitting.push_back(std::move(sub.warnings));
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
