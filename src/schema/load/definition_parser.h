#pragma once
// Turns the [types] and [elements] tables of a schema into definitions, one definition table at
// a time, stopping at the first fault with one message that begins with the definition path.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/load/source.h"

namespace qeld::schema {

// The definitions of one root table ("types" or "elements"); an absent table gives none.
Result<DefinitionMap> parse_definitions(std::string_view table_name, const doc::Table* table,
                                        const SourceSyntax& syntax);
// One definition table and, depth first in key order, its child definitions.
Result<Definition> parse_definition(std::string path, const doc::Table& table, const SyntaxContext& context);

// Refuses collection (with or without "types.") as a reference under the label.
Status reject_bare_collection_reference(std::string_view path, std::string_view label,
                                        const std::optional<std::string>& reference);
Status reject_bare_collection_references(std::string_view path, const std::vector<std::string>& items);
// "oneof" or "anyof": neither collection nor any.
Status validate_alternative_references(std::string_view path, std::string_view label,
                                       const std::vector<std::string>& references);
// "allof": neither any nor collection.
Status validate_composition_references(std::string_view path, const std::vector<std::string>& references);

}  // namespace qeld::schema
