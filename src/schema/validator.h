#pragma once
// One validation pass: the errors and warnings found so far, over one schema.

#include <string>
#include <vector>

#include "document/value.h"
#include "schema/model.h"

namespace qeld::schema {

class Validator {
public:
    Validator(const Schema& schema, bool report_deprecations)
        : schema_(schema), report_deprecations_(report_deprecations) {}

    std::vector<ValidationError> errors;
    std::vector<ValidationWarning> warnings;

    const Schema& schema() const { return schema_; }
    bool report_deprecations() const { return report_deprecations_; }

    void add(const std::string& path, std::string message);
    void add_deprecation(const std::string& path);
    // Validates one value at a path against one definition and everything it composes.
    void validate_value(const std::string& path, const doc::Value& value, const Definition& definition);

private:
    const Schema& schema_;
    bool report_deprecations_;
};

}  // namespace qeld::schema
