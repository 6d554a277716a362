#pragma once
// Every definition must expand to at most the limit of components through allof.

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

// Every definition, in the order of the checks, must expand to at most max_components.
Status validate_component_counts(const Schema& schema);

}  // namespace qeld::schema
