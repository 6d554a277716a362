#pragma once
// On an array, "min" and "max" bound the items, so they must be comparable with the one kind its
// item type selects.

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

Status validate_array_range_definitions(const Schema& schema);
// The definition and its children.
Status validate_array_range_definition(const Schema& schema, const Definition& definition);

}  // namespace qeld::schema
