#pragma once
// The checks across definitions that loading runs once every definition has parsed.

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

// Every check in its fixed order; the first message ends them.
Status run_semantic_checks(const Schema& schema);

}  // namespace qeld::schema
