// The alternatives step for a value that is no table, judged from verdicts.
//
// Such a value has no children map: a trial list fits it exactly when each of its components
// does, a union among them when the count of its alternatives that fit is right, and each
// alternative's trial list is the same rest, the host's copy and the alternative's components.
// So a union's count needs each alternative's own verdict only, and each verdict (of a component,
// or of a union's alternatives) is found once per value while its outermost union is checked,
// and once per distinct component of a list: nested unions cost their distinct alternatives, not
// the product of the paths through them. Which components descend into an array's items is the
// one thing a trial list decides as a whole: its first component that picks no alternatives does.
//
// A trial of such a value warns at most that the value is deprecated, unless something below an
// array's items warns; those warnings come in an order that only the trials themselves give, so
// then the alternatives are tried as for tables.
#include "schema/compare.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

bool has_alternatives(const Component& component) {
    return !component.one_of().empty() || !component.any_of().empty();
}

}  // namespace

Validator::Verdict Validator::both(const Verdict& a, const Verdict& b) {
    return {a.fits && b.fits, a.deprecated || b.deprecated, a.warnings_below || b.warnings_below};
}

bool Validator::judge_alternatives(const PathRef& path, const doc::Value& value, const ComponentList& rest,
                                   const Component& host, std::optional<Fitting>& result) {
    Pass& pass = *pass_;
    // Without a component that picks no alternatives in the rest, the host's copy comes first in
    // every trial list, with the alternative's kind.
    const Component* first = nullptr;
    for (const Component& component : rest) {
        if (!has_alternatives(component)) {
            first = &component;
            break;
        }
    }
    std::optional<Verdict> rest_verdicts[2];  // without and with the descent
    Fitting fitting;
    bool warnings_below = false;
    for (const std::string& reference : alternatives_of(host)) {
        Alternative alternative = find_alternative(reference);
        if (!alternative.expansion) {
            add(path, std::move(alternative.message));
            result.reset();
            return true;
        }
        const ComponentList& components = alternative.expansion->components;
        const std::optional<SchemaType> decides = first ? first->kind : std::optional<SchemaType>(alternative.kind);
        const bool descend = value.is_array() && decides == SchemaType::Array;
        const std::uint64_t size = rest.size() + 1 + components.size();
        if (!open_trial(size)) {
            give_up(path);
            result.reset();
            return true;
        }
        // A trial list whose first component has no kind fits nothing.
        Verdict verdict;
        if (decides) {
            std::optional<Verdict>& rest_verdict = rest_verdicts[descend ? 1 : 0];
            if (!rest_verdict) rest_verdict = judge_list(path, value, rest, nullptr, descend);
            verdict = *rest_verdict;
            if (verdict.fits) verdict = both(verdict, judge_component(path, value, trial_host(host, alternative.kind), descend));
            if (verdict.fits) {
                verdict = both(verdict, judge_list(path, value, components, alternative.expansion->copies.get(), descend));
            }
        }
        close_trial(size);
        if (pass.stop != Pass::Stop::None) {
            give_up(path);
            result.reset();
            return true;
        }
        if (!verdict.fits) continue;
        warnings_below = warnings_below || verdict.warnings_below;
        fitting.emplace_back();
        if (verdict.deprecated && report_deprecations_) fitting.back().push_back(deprecation_warning(path.str()));
    }
    const bool counted = host.one_of().empty() ? !fitting.empty() : fitting.size() == 1;
    if (warnings_below && counted) return false;
    result = std::move(fitting);
    return true;
}

Validator::Verdict Validator::judge_list(const PathRef& path, const doc::Value& value, const ComponentList& components,
                                         const DistinctComponents* copies, bool descend) {
    Verdict verdict{true};
    auto judge = [&](const Component& listed) {
        Component component = listed;
        // For a value that is no table the conditional step only gives the host the then branch's kind.
        if (const ConditionalSelector* selector = component.conditional()) {
            auto kind = branch_kind(*selector);
            if (!kind) {
                verdict.fits = false;
                return false;
            }
            component.conditional_taken = true;
            component.kind = *kind;
        }
        verdict = both(verdict, has_alternatives(component) ? judge_union(path, value, component, descend)
                                                            : judge_component(path, value, component, descend));
        return verdict.fits;
    };
    if (copies == nullptr) {
        for (const Component& component : components) {
            if (!judge(component)) break;
        }
    } else {
        for (std::uint32_t position : copies->first) {
            if (!judge(components[position])) break;
        }
    }
    return verdict;
}

Validator::Verdict Validator::judge_union(const PathRef& path, const doc::Value& value, const Component& host,
                                          bool descend) {
    Pass& pass = *pass_;
    // The host's copy in each trial list carries its deprecated flag.
    const VerdictKey key{&value, host.base, static_cast<std::uint16_t>(host.deprecated ? 1 : 0), descend, true};
    if (auto known = pass.trials->verdicts.find(key); known != pass.trials->verdicts.end()) return known->second;
    Verdict verdict;
    std::size_t fitting = 0;
    bool resolved = true;
    for (const std::string& reference : alternatives_of(host)) {
        Alternative alternative = find_alternative(reference);
        if (!alternative.expansion) {
            resolved = false;
            break;
        }
        const ComponentList& components = alternative.expansion->components;
        const std::uint64_t size = 1 + components.size();
        if (!open_trial(size)) return {};
        Verdict tried = judge_component(path, value, trial_host(host, alternative.kind), descend);
        if (tried.fits) {
            tried = both(tried, judge_list(path, value, components, alternative.expansion->copies.get(), descend));
        }
        close_trial(size);
        if (pass.stop != Pass::Stop::None) return {};
        if (!tried.fits) continue;
        ++fitting;
        verdict.deprecated = verdict.deprecated || tried.deprecated;
        verdict.warnings_below = verdict.warnings_below || tried.warnings_below;
    }
    verdict.fits = resolved && (host.one_of().empty() ? fitting > 0 : fitting == 1);
    if (!verdict.fits) verdict = {};
    pass.trials->verdicts.emplace(key, verdict);
    return verdict;
}

Validator::Verdict Validator::judge_component(const PathRef& path, const doc::Value& value, const Component& component,
                                              bool descend) {
    Pass& pass = *pass_;
    // A component without a kind is checked as one of kind any.
    const SchemaType kind = component.kind.value_or(SchemaType::Any);
    const VerdictKey key{&value, component.base, static_cast<std::uint16_t>(kind.kind()), descend, false};
    Verdict verdict;
    if (auto known = pass.trials->verdicts.find(key); known != pass.trials->verdicts.end()) {
        verdict = known->second;
    } else {
        if (value_matches_type(value, kind)) {
            Validator sub(pass, report_deprecations_);
            sub.validate_constraints(path, value, component);
            if (descend && !sub.failed_) sub.validate_array(path, *value.if_array(), component);
            if (pass.stop != Pass::Stop::None) return {};
            verdict.fits = !sub.failed_;
            verdict.warnings_below = verdict.fits && !sub.warnings_.empty();
        }
        pass.trials->verdicts.emplace(key, verdict);
    }
    verdict.deprecated = verdict.fits && component.deprecated;
    return verdict;
}

}  // namespace qeld::schema
