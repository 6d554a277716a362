#include "schema/model.h"
#include "schema/source.h"
#include "schema/validator.h"

namespace qeld::schema {

void Validator::add(const std::string& path, std::string message) { errors.push_back({path, std::move(message)}); }
void Validator::add_deprecation(const std::string&) {}
void Validator::validate_value(const std::string&, const doc::Value&, const Definition&) {}

ValidationResult Schema::validate(const doc::Table&) const { return {}; }
ValidationResult Schema::validate_file(std::string_view path) const {
    ValidationResult result;
    auto table = parse_toml_file(path);
    if (!table) result.errors.push_back({"$", table.take_error()});
    return result;
}

}  // namespace qeld::schema
