#pragma once
// Checks of one definition's own value constraints, before its Definition is built: that "min"
// and "max" can bound its local type, and that every allowed value passes the definition's own
// pattern, range and length constraints.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/pattern.h"

namespace qeld::schema {

Status validate_range_constraints(std::string_view path, std::optional<SchemaType> local_type,
                                  const std::optional<doc::Value>& min, const std::optional<doc::Value>& max);

Status validate_allowed_values_constraints(std::string_view path, std::optional<SchemaType> local_type,
                                           const std::vector<doc::Value>& allowed_values,
                                           const std::optional<Pattern>& pattern,
                                           const std::optional<doc::Value>& min,
                                           const std::optional<doc::Value>& max,
                                           std::optional<std::int64_t> min_length,
                                           std::optional<std::int64_t> max_length);

}  // namespace qeld::schema
