// Validating a document: every element of the schema, then the keys the schema does not know.
#include "schema/model.h"
#include "schema/load/source.h"
#include "schema/validate/pass.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {
constexpr std::string_view reserved_key = "vantle";

std::uint64_t count_values(const doc::Value& value) {
    std::uint64_t count = 1;
    if (const doc::Array* items = value.if_array()) {
        for (const doc::Value& item : *items) count += count_values(item);
    } else if (const doc::Table* table = value.if_table()) {
        for (const doc::Entry& entry : *table) count += count_values(entry.value);
    }
    return count;
}
}  // namespace

std::uint64_t Validator::Pass::step_limit() {
    if (uncounted != nullptr) {
        std::uint64_t values = 0;
        for (const doc::Entry& entry : *uncounted) values += count_values(entry.value);
        limit = base_trial_steps + steps_per_value * values;
        uncounted = nullptr;
    }
    return limit;
}

ValidationResult Schema::validate(const doc::Table& document) const {
    Validator validator(*this, true);
    validator.allow_trials_for(document);
    const PathRef root("$");
    for (const auto& [key, definition] : elements) {
        auto resolved = validator.resolve(definition);
        const PathRef path = root.key(key);
        if (!resolved) {
            validator.add(path, resolved.take_error());
        } else if (const doc::Value* value = document.find(key)) {
            validator.validate_value(path, *value, *resolved);
        } else if (!resolved->component.optional) {
            validator.add(path, "required value is missing");
        }
    }
    for (const doc::Entry& entry : document) {
        if (entry.key == reserved_key || elements.find(entry.key) != elements.end()) continue;
        validator.add(root.key(entry.key), "unexpected key");
    }
    return validator.take_result();
}

ValidationResult Schema::validate_file(std::string_view path) const {
    auto table = parse_toml_file(path);
    if (!table) {
        ValidationResult result;
        result.errors.push_back({"$", table.take_error()});
        return result;
    }
    return validate(*table);
}

}  // namespace qeld::schema
