#pragma once
// Checks of one definition's own value constraints, once its kind is known: that "min"
// and "max" can bound its local type, and that every allowed value passes the definition's own
// pattern, range and length constraints.

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

// "min" and "max" of the definition (its name, kind and bounds) can bound its local type.
Status validate_range_constraints(const Definition& definition);
// Every allowed value passes the definition's own pattern, range and length constraints.
Status validate_allowed_values_constraints(const Definition& definition);

}  // namespace qeld::schema
