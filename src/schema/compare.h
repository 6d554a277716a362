#pragma once
// Ordering against bounds, equality, type matching and pattern search over document values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/pattern.h"

namespace qeld::schema {

enum class Ordering : std::int8_t { Less = -1, Equal = 0, Greater = 1 };

// How value stands against boundary, or "cannot compare {} with boundary {}" / "NaN is unordered".
Result<Ordering> compare(const doc::Value& value, const doc::Value& boundary);
// The integer against the float, exactly: the integer is never converted.
Result<Ordering> compare_integer_float(std::int64_t integer, double x);
// Seconds (not minutes) since 1970-01-01T00:00:00Z; none without a date or a time.
std::optional<std::int64_t> datetime_to_utc_minutes(const doc::DateTime& datetime, const doc::Offset& offset);

bool values_equal(const doc::Value& a, const doc::Value& b);
// A total order of all values whose ties are exactly the pairs values_equal holds for: negative,
// zero or positive as a orders before, with or after b.
int order_values(const doc::Value& a, const doc::Value& b);
// A hash under which values that values_equal holds for hash alike.
std::uint64_t hash_value(const doc::Value& value);
bool value_matches_type(const doc::Value& value, SchemaType kind);
bool matches_pattern(const Pattern& pattern, std::string_view text);

// The kind name of a value in messages: "string", "integer", ..., "local-time", "datetime", "array", "table".
std::string_view found_kind(const doc::Value& value);

}  // namespace qeld::schema
