#pragma once
// Finding the schema a document names in its reserved table.

#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"

namespace qeld::schema {

struct DocumentSchema {
    Schema schema;
    doc::Table document;
};

Result<DocumentSchema> schema_from_document(std::string_view document_path);
Result<std::string> resolve_schema_location(std::string_view document_path, std::string_view location);
bool contains_percent_encoded_separator(std::string_view text);
// Nothing, the version notice, or a message.
Result<std::optional<std::string>> compare_document_schema_version(const doc::Value& version,
                                                                  std::string_view schema_version);

}  // namespace qeld::schema
