#pragma once
// Every definition's effective default (its own, or the one it inherits through its named type
// and its allof members) must be accepted by the definition itself, and inherited defaults must
// agree.

#include <optional>
#include <string_view>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"

namespace qeld::schema {

Status validate_defaults(const Schema& schema);
// The definition and its children.
Status validate_definition_defaults(const Schema& schema, const Definition& definition);
Result<std::optional<doc::Value>> resolve_effective_default(const Schema& schema, const Definition& definition,
                                                            NameSet& visiting);
Result<std::optional<doc::Value>> reference_effective_default(const Schema& schema, std::string_view reference,
                                                              NameSet& visiting);

}  // namespace qeld::schema
