#pragma once
// Every reference of every definition must name a keyword or a reusable type.

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

// Every reference of every definition of the map, children included, must name a keyword or a
// reusable type.
Status validate_references(const Schema& schema, const DefinitionMap& definitions);

}  // namespace qeld::schema
