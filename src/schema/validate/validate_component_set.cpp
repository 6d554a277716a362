// The check of one value against its component list: type, constraints, descent, deprecation.
#include <algorithm>
#include <utility>

#include "common/utf8.h"
#include "schema/compare.h"
#include "schema/validate/expansions.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

constexpr std::string_view deprecated_code = "deprecated";
constexpr std::string_view deprecated_message = "value is deprecated";

// Unambiguous for any texts, separators included.
std::string warning_key(const ValidationWarning& warning) {
    std::string key;
    for (const std::string* text : {&warning.code, &warning.path, &warning.message}) {
        key += std::to_string(text->size());
        key += ':';
        key += *text;
    }
    return key;
}

}  // namespace

ValidationWarning deprecation_warning(std::string path) {
    return {std::string(deprecated_code), std::move(path), std::string(deprecated_message)};
}

namespace {

bool is_allowed(const doc::Value& value, const std::vector<doc::Value>& allowed_values) {
    return std::any_of(allowed_values.begin(), allowed_values.end(),
                       [&value](const doc::Value& allowed) { return values_equal(allowed, value); });
}

void check_length(Validator& validator, const PathRef& path, std::size_t length, const Definition& definition) {
    const auto n = static_cast<std::int64_t>(length);
    if (definition.min_length && n < *definition.min_length) validator.add(path, "length is less than minlength");
    if (definition.max_length && n > *definition.max_length) validator.add(path, "length is greater than maxlength");
}

}  // namespace

Validator::Validator(const Schema& schema, bool report_deprecations)
    : own_pass_(std::make_unique<Pass>(std::make_unique<DefinitionFacts>(schema))),
      pass_(own_pass_.get()),
      report_deprecations_(report_deprecations) {}

Validator::SharedFacts::SharedFacts(const Schema& schema) : facts_(std::make_unique<DefinitionFacts>(schema)) {}

Validator::SharedFacts::~SharedFacts() = default;

Validator::Validator(SharedFacts& facts, bool report_deprecations)
    : own_pass_(std::make_unique<Pass>(*facts.facts_)), pass_(own_pass_.get()), report_deprecations_(report_deprecations) {}

Validator::Validator(Pass& pass, bool report_deprecations)
    : pass_(&pass), report_deprecations_(report_deprecations), trial_(true) {}

Validator::~Validator() = default;

void Validator::allow_trials_for(const doc::Table& document) { pass_->uncounted = &document; }

const Schema& Validator::schema() const { return pass_->facts.schema(); }

DefinitionFacts& Validator::facts() const { return pass_->facts; }

Expansions& Validator::expansions() const { return pass_->expansions; }

const std::optional<std::string>& Validator::expansion_refused() const { return pass_->expansion_refused; }

ValidationResult Validator::take_result() {
    ValidationResult result{std::move(errors_), std::move(warnings_)};
    errors_.clear();
    warnings_.clear();
    warning_keys_.clear();
    return result;
}

void Validator::add(const std::string& path, std::string message) {
    if (trial_) {
        failed_ = true;
        return;
    }
    errors_.push_back({path, std::move(message)});
}

void Validator::add(const PathRef& path, std::string message) {
    if (trial_) {
        failed_ = true;
        return;
    }
    errors_.push_back({path.str(), std::move(message)});
}

void Validator::add_warning(ValidationWarning warning) {
    if (warning_keys_.insert(warning_key(warning)).second) warnings_.push_back(std::move(warning));
}

void Validator::add_deprecation(const std::string& path) {
    if (!report_deprecations_) return;
    add_warning(deprecation_warning(path));
}

void Validator::add_deprecation(const PathRef& path) {
    if (report_deprecations_) add_deprecation(path.str());
}

void Validator::validate_value(const std::string& path, const doc::Value& value, const Definition& definition) {
    validate_value(PathRef(path), value, definition);
}

void Validator::validate_value(const PathRef& path, const doc::Value& value, const Definition& definition) {
    std::unique_ptr<Expansion> scratch;
    validate_expansion(path, value, expansions().of_definition(*this, definition, scratch), false);
}

void Validator::validate_value(const PathRef& path, const doc::Value& value, const Resolved& resolved) {
    ComponentList components;
    if (auto status = append_components(resolved, components); !status) {
        add(path, status.take_error());
        return;
    }
    validate_component_set(path, value, std::move(components));
}

void Validator::validate_expansion(const PathRef& path, const doc::Value& value, Expansion& expansion,
                                   bool bounded) {
    Expansions::expand(*this, expansion);
    if (expansion.stage != Expansion::Stage::Expanded) {
        add(path, expansion.message);
        return;
    }
    if (bounded && expansion.components.size() > max_value_components) {
        give_up_value(path);
        return;
    }
    if (!expansion.fixed) {
        validate_component_set(path, value, expansion.components);
        return;
    }
    // What validate_component_set does with a list that no step rewrites; the list is never empty.
    if (halted()) return;
    check_components(path, value, expansion.components, &expansion);
}

void Validator::validate_definitions(const PathRef& path, const doc::Value& value, const Definition* const* definitions,
                                     std::size_t count) {
    if (count == 1) {
        std::unique_ptr<Expansion> scratch;
        validate_expansion(path, value, expansions().of_definition(*this, *definitions[0], scratch), true);
        return;
    }
    ComponentList components;
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<Expansion> scratch;
        Expansion& expansion = expansions().of_definition(*this, *definitions[i], scratch);
        Expansions::expand(*this, expansion);
        if (expansion.stage != Expansion::Stage::Expanded) {
            add(path, expansion.message);
            return;
        }
        for (const Component& component : expansion.components) components.push_back(component);
        if (components.size() > max_value_components) {
            give_up_value(path);
            return;
        }
    }
    validate_component_set(path, value, std::move(components));
}

void Validator::validate_definitions(const PathRef& path, const doc::Value& value,
                                     const std::vector<Resolved>& definitions) {
    ComponentList components;
    for (const Resolved& resolved : definitions) {
        if (auto status = append_components(resolved, components); !status) {
            add(path, status.take_error());
            return;
        }
        if (components.size() > max_value_components) {
            give_up_value(path);
            return;
        }
    }
    validate_component_set(path, value, std::move(components));
}

void Validator::validate_range(const PathRef& path, const doc::Value& value, const Definition& definition) {
    if (definition.min) {
        auto order = compare(value, *definition.min);
        if (!order) {
            add(path, order.take_error());
        } else if (*order == Ordering::Less) {
            add(path, "value is less than min");
        }
    }
    if (definition.max) {
        auto order = compare(value, *definition.max);
        if (!order) {
            add(path, order.take_error());
        } else if (*order == Ordering::Greater) {
            add(path, "value is greater than max");
        }
    }
}

void Validator::validate_constraints(const PathRef& path, const doc::Value& value, const Component& component) {
    const Definition& definition = *component.base;
    if (const doc::Array* items = value.if_array()) {
        check_length(*this, path, items->size(), definition);
        // For an array definition the allowed values bound its items (checked with them); for any
        // other kind they are the values the whole array may take.
        const bool array_kind = component.kind && *component.kind == SchemaType::Array;
        if (!array_kind && !definition.allowed_values.empty() && !is_allowed(value, definition.allowed_values)) {
            add(path, "value is not in allowedvalues");
        }
        return;
    }
    if (!definition.allowed_values.empty()) {
        if (!is_allowed(value, definition.allowed_values)) add(path, "value is not in allowedvalues");
        return;
    }
    validate_range(path, value, definition);
    if (const doc::String* text = value.if_string()) {
        if (definition.min_length || definition.max_length) {
            check_length(*this, path, count_scalar_values(*text), definition);
        }
        if (definition.pattern && !matches_pattern(*definition.pattern, *text)) {
            add(path, "does not match pattern " + definition.pattern->source());
        }
    }
}

void Validator::validate_component_set(const PathRef& path, const doc::Value& value, ComponentList components) {
    // Each conditional rewrites the list and the value is checked again, so the steps are turns
    // of a loop; the components before `scan` have no conditional.
    std::size_t scan = 0;
    for (;;) {
        if (halted()) return;
        if (components.empty()) {
            add(path, "definition has no effective type");
            return;
        }
        std::size_t conditional = scan;
        while (conditional < components.size() && !components[conditional].conditional()) ++conditional;
        if (conditional == components.size()) break;
        if (!apply_conditional(path, value, components, conditional)) return;
        scan = conditional;
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (!components[i].one_of().empty() || !components[i].any_of().empty()) {
            validate_alternatives(path, value, std::move(components), i);
            return;
        }
    }
    check_components(path, value, components, nullptr);
}

void Validator::add_kind_mismatch(const PathRef& path, const doc::Value& value, SchemaType kind) {
    add(path, "expected " + std::string(kind.keyword()) + " but found " + std::string(found_kind(value)));
}

template <class Check>
void Validator::check_each(const ComponentList& components, const DistinctComponents* copies, Check check) {
    if (copies != nullptr) {
        check_distinct(components, *copies, check);
        return;
    }
    for (const Component& component : components) {
        if (halted()) return;
        check(component);
    }
}

void Validator::check_distinct(const ComponentList& components, const DistinctComponents& copies,
                               const std::function<void(const Component&)>& check) {
    // Each distinct component's errors are set aside as found, then recorded at each of its
    // copies in list order.
    std::vector<ValidationError> found;
    std::vector<std::size_t> ends(copies.size());
    std::vector<std::uint32_t> failing;  // positions of the copies that found errors
    for (std::size_t d = 0; d < copies.size(); ++d) {
        if (halted()) return;
        const std::size_t mark = errors_.size();
        check(components[copies.first[d]]);
        if (errors_.size() != mark) {
            for (std::size_t i = mark; i < errors_.size(); ++i) found.push_back(std::move(errors_[i]));
            errors_.resize(mark);
            failing.insert(failing.end(), copies.positions.begin() + copies.start[d],
                           copies.positions.begin() + copies.start[d + 1]);
        }
        ends[d] = found.size();
    }
    std::sort(failing.begin(), failing.end());
    for (std::uint32_t position : failing) {
        const std::uint32_t d = copies.of[position];
        for (std::size_t i = d == 0 ? 0 : ends[d - 1]; i < ends[d]; ++i) errors_.push_back(found[i]);
    }
}

void Validator::check_components(const PathRef& path, const doc::Value& value, const ComponentList& components,
                                 Expansion* kept) {
    const Component& first = components.front();
    if (!first.kind) {
        add(path, "definition has no effective type");
        return;
    }
    const DistinctComponents* copies = kept ? kept->copies.get() : nullptr;

    const std::size_t mark = error_count();
    check_each(components, copies, [&](const Component& component) {
        const SchemaType kind = component.kind.value_or(SchemaType::Any);
        if (!value_matches_type(value, kind)) add_kind_mismatch(path, value, kind);
    });
    if (error_count() != mark) return;

    check_each(components, copies,
               [&](const Component& component) { validate_constraints(path, value, component); });

    switch (first.kind->kind()) {
        case SchemaType::Array:
            if (const doc::Array* items = value.if_array()) {
                check_each(components, copies,
                           [&](const Component& component) { validate_array(path, *items, component); });
            }
            break;
        case SchemaType::Table:
            if (const doc::Table* table = value.if_table()) {
                validate_table_value(path, *table, components, kept ? expansions().descent_of(*kept) : nullptr);
            }
            break;
        case SchemaType::Collection:
            if (const doc::Table* table = value.if_table()) {
                validate_collection(path, *table, components, kept ? expansions().descent_of(*kept) : nullptr);
            }
            break;
        default:
            break;
    }

    const bool deprecated =
        kept ? kept->deprecated
             : std::any_of(components.begin(), components.end(), [](const Component& c) { return c.deprecated; });
    if (error_count() == mark && deprecated) add_deprecation(path);
}

}  // namespace qeld::schema
