#pragma once
// No reusable type may reach itself through the references that select its type, and every
// allowedvalues entry must be of a kind its definition permits.

#include <string_view>

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

Status validate_selector_cycles(const Schema& schema);
// One walk from a name; the done set holds the types walked to the end before, shared by walks.
Status validate_selector_cycle(const Schema& schema, std::string_view name, NameSet& visiting, NameSet& done);

Status validate_allowed_value_types(const Schema& schema);
// The definition and its children.
Status validate_allowed_value_definition(const Schema& schema, const Definition& definition);

}  // namespace qeld::schema
