#pragma once
// Rules that depend on the kind a definition stands for rather than on its own keys:
// uniqueitems only on arrays, an item type for every collection, and sibling rules only on
// tables and collections, naming only fixed children.

#include <string_view>

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

Status validate_definition_semantics(const Schema& schema);
// The definition and its children.
Status validate_definition_semantic(const Schema& schema, const Definition& definition);
// Adds the fixed children of the definition: its own and those of every type it refers to.
Status collect_effective_child_names(const Schema& schema, const Definition& definition, NameSet& visiting,
                                     NameSet& names);
Status collect_reference_child_names(const Schema& schema, std::string_view reference, NameSet& visiting,
                                     NameSet& names);

}  // namespace qeld::schema
