#include "schema/load/constraint_checks.h"

#include <cmath>
#include <string>

#include "common/utf8.h"
#include "schema/compare.h"

namespace qeld::schema {

namespace {

bool is_temporal(const doc::Value& value) {
    return value.is_datetime() && value.datetime_shape().has_value();
}

bool is_bound_form(const doc::Value& value) { return value.is_integer() || value.is_float() || is_temporal(value); }

bool is_nan(const doc::Value& value) { return value.is_float() && std::isnan(value.as_float()); }

bool is_numeric(const doc::Value& value) { return value.is_integer() || value.is_float(); }

bool is_datetime_type(SchemaType type) {
    return type == SchemaType::OffsetDateTime || type == SchemaType::LocalDateTime || type == SchemaType::LocalDate ||
           type == SchemaType::LocalTime;
}

// Whether a bound suits a numeric or date/time local type.
bool bound_suits(const doc::Value& bound, SchemaType type) {
    if (type == SchemaType::Integer || type == SchemaType::Float) return is_numeric(bound);
    return value_matches_type(bound, type);
}

std::string entry_label(std::string_view path, std::size_t index) {
    return std::string(path) + " allowedvalues[" + std::to_string(index) + "]";
}

Status check_entry_range(const std::string& label, const doc::Value& entry, const std::optional<doc::Value>& min,
                         const std::optional<doc::Value>& max) {
    if (!min && !max) return {};
    if (is_nan(entry)) return fail(label + " does not satisfy min or max");
    if (min) {
        auto order = compare(entry, *min);
        if (!order) return fail(label + " cannot be compared with min: " + order.error());
        if (*order == Ordering::Less) return fail(label + " is less than min");
    }
    if (max) {
        auto order = compare(entry, *max);
        if (!order) return fail(label + " cannot be compared with max: " + order.error());
        if (*order == Ordering::Greater) return fail(label + " is greater than max");
    }
    return {};
}

Status check_entry_length(const std::string& label, const doc::Value& entry, std::optional<std::int64_t> min_length,
                          std::optional<std::int64_t> max_length) {
    if (!min_length && !max_length) return {};
    if (!entry.is_string()) return fail(label + " does not satisfy string length constraints");
    // Both lengths are never negative, so the count compares safely as unsigned.
    const std::size_t length = count_scalar_values(entry.as_string());
    if (min_length && length < static_cast<std::uint64_t>(*min_length)) return fail(label + " is shorter than minlength");
    if (max_length && length > static_cast<std::uint64_t>(*max_length)) return fail(label + " is longer than maxlength");
    return {};
}

}  // namespace

Status validate_range_constraints(const Definition& definition) {
    const std::optional<doc::Value>& min = definition.min;
    const std::optional<doc::Value>& max = definition.max;
    if (!min && !max) return {};
    const std::string& name = definition.name;
    if (min && !is_bound_form(*min)) return fail(name + " min must be an integer, float, or temporal value");
    if (max && !is_bound_form(*max)) return fail(name + " max must be an integer, float, or temporal value");
    if (min && is_nan(*min)) return fail(name + " cannot use NaN as min");
    if (max && is_nan(*max)) return fail(name + " cannot use NaN as max");
    if (!definition.kind) return {};

    const SchemaType type = *definition.kind;
    if (type == SchemaType::Integer || type == SchemaType::Float || is_datetime_type(type)) {
        const std::string suffix = " must be comparable with " + std::string(type.keyword());
        if (min && !bound_suits(*min, type)) return fail(name + " min" + suffix);
        if (max && !bound_suits(*max, type)) return fail(name + " max" + suffix);
        return {};
    }
    if (type == SchemaType::Any) return fail(name + " cannot define min or max when type is any");
    // The bounds of an array apply to its items, which are checked once every type is known.
    if (type == SchemaType::Array) return {};
    return fail(name + " can only define min or max for integer, float, date/time, or compatible array types");
}

Status validate_allowed_values_constraints(const Definition& definition) {
    // The entries of an array's list are item values, checked against the items elsewhere.
    if (definition.kind && *definition.kind == SchemaType::Array) return {};
    const auto& pattern = definition.pattern;
    for (std::size_t i = 0; i < definition.allowed_values.size(); ++i) {
        const doc::Value& entry = definition.allowed_values[i];
        const std::string label = entry_label(definition.name, i);
        if (pattern && !(entry.is_string() && matches_pattern(*pattern, entry.as_string()))) {
            return fail(label + " does not satisfy pattern");
        }
        QELD_TRY(check_entry_range(label, entry, definition.min, definition.max));
        QELD_TRY(check_entry_length(label, entry, definition.min_length, definition.max_length));
    }
    return {};
}

}  // namespace qeld::schema
