#include "schema/compare.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

namespace qeld::schema {
namespace {

constexpr const char* nan_message = "NaN is unordered";

template <class T>
Ordering order_of(const T& a, const T& b) {
    if (a < b) return Ordering::Less;
    if (b < a) return Ordering::Greater;
    return Ordering::Equal;
}

Ordering reversed(Ordering ordering) {
    return static_cast<Ordering>(-static_cast<std::int8_t>(ordering));
}

Error mismatch(const doc::Value& value, const doc::Value& boundary) {
    return fail("cannot compare " + std::string(found_kind(value)) + " with boundary " +
                std::string(found_kind(boundary)));
}

bool has_shape(const doc::Value& value, doc::DateTimeShape shape) {
    return value.is_datetime() && value.datetime_shape() == shape;
}

std::int16_t offset_minutes(const doc::Offset& offset) { return offset.z ? 0 : offset.minutes; }

Result<Ordering> compare_floats(double value, double boundary) {
    if (std::isnan(value) || std::isnan(boundary)) return fail(nan_message);
    return order_of(value, boundary);
}

// Instants first; on a tie an absent fraction orders before any present one, even zero.
Ordering compare_instants(std::int64_t a_seconds, const doc::Time& a, std::int64_t b_seconds,
                          const doc::Time& b) {
    if (a_seconds != b_seconds) return order_of(a_seconds, b_seconds);
    if (a.nanosecond.has_value() != b.nanosecond.has_value())
        return a.nanosecond.has_value() ? Ordering::Greater : Ordering::Less;
    if (!a.nanosecond) return Ordering::Equal;
    return order_of(*a.nanosecond, *b.nanosecond);
}

// Local shapes have no instant: the parts decide in calendar order, absent ones as zero.
Ordering compare_local_parts(const doc::DateTime& a, const doc::DateTime& b) {
    auto parts = [](const doc::DateTime& dt) {
        const doc::Date date = dt.date.value_or(doc::Date{0, 0, 0});
        const doc::Time time = dt.time.value_or(doc::Time{});
        return std::array<std::uint32_t, 7>{date.year,        date.month,  date.day,
                                            time.hour,        time.minute, time.second.value_or(0),
                                            time.nanosecond.value_or(0)};
    };
    return order_of(parts(a), parts(b));
}

Result<Ordering> compare_datetimes(const doc::Value& value, const doc::Value& boundary) {
    const doc::DateTime& a = value.as_datetime();
    const doc::DateTime& b = boundary.as_datetime();
    if (doc::datetime_shape(a) != doc::datetime_shape(b)) return mismatch(value, boundary);
    if (!a.offset) return compare_local_parts(a, b);
    const auto a_seconds = datetime_to_utc_minutes(a, *a.offset);
    const auto b_seconds = datetime_to_utc_minutes(b, *b.offset);
    if (!a_seconds || !b_seconds) return mismatch(value, boundary);
    return compare_instants(*a_seconds, *a.time, *b_seconds, *b.time);
}

bool dates_equal(const std::optional<doc::Date>& a, const std::optional<doc::Date>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->year == b->year && a->month == b->month && a->day == b->day);
}

bool times_equal(const std::optional<doc::Time>& a, const std::optional<doc::Time>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->hour == b->hour && a->minute == b->minute && a->second == b->second &&
                  a->nanosecond == b->nanosecond);
}

bool offsets_equal(const std::optional<doc::Offset>& a, const std::optional<doc::Offset>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || offset_minutes(*a) == offset_minutes(*b);
}

// Part by part: the same moment written with different offsets is a different value.
bool datetimes_equal(const doc::DateTime& a, const doc::DateTime& b) {
    return dates_equal(a.date, b.date) && times_equal(a.time, b.time) && offsets_equal(a.offset, b.offset);
}

bool arrays_equal(const doc::Array& a, const doc::Array& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!values_equal(a[i], b[i])) return false;
    return true;
}

bool tables_equal(const doc::Table& a, const doc::Table& b) {
    if (a.size() != b.size()) return false;
    for (const doc::Entry& entry : a) {
        const doc::Value* other = b.find(entry.key);
        if (other == nullptr || !values_equal(entry.value, *other)) return false;
    }
    return true;
}

bool compares_equal(const doc::Value& a, const doc::Value& b) {
    const Result<Ordering> ordering = compare(a, b);
    return ordering.ok() && *ordering == Ordering::Equal;
}

bool numbers_equal(const doc::Value& a, const doc::Value& b) {
    if (!b.is_integer() && !b.is_float()) return false;
    if (a.is_float() && b.is_float()) {
        const bool a_nan = std::isnan(a.as_float());
        const bool b_nan = std::isnan(b.as_float());
        if (a_nan || b_nan) return a_nan && b_nan;
    }
    return compares_equal(a, b);
}

int sign_of(std::int64_t a, std::int64_t b) { return a < b ? -1 : (b < a ? 1 : 0); }

// The kinds in a fixed order; integers and floats are one kind here, as they can be equal.
int kind_rank(const doc::Value& value) {
    switch (value.kind()) {
        case doc::ValueKind::String:
            return 0;
        case doc::ValueKind::Integer:
        case doc::ValueKind::Float:
            return 1;
        case doc::ValueKind::Boolean:
            return 2;
        case doc::ValueKind::DateTime:
            return 3;
        case doc::ValueKind::Array:
            return 4;
        case doc::ValueKind::Table:
            return 5;
    }
    return 6;
}

// By exact value, integers and floats alike; every NaN after every other number.
int order_numbers(const doc::Value& a, const doc::Value& b) {
    const bool a_nan = a.is_float() && std::isnan(a.as_float());
    const bool b_nan = b.is_float() && std::isnan(b.as_float());
    if (a_nan || b_nan) return sign_of(a_nan, b_nan);
    return static_cast<int>(*compare(a, b));
}

// Part by part, an absent part before a present one, the offsets Z and +00:00 alike.
int order_datetimes(const doc::DateTime& a, const doc::DateTime& b) {
    auto parts = [](const doc::DateTime& dt) {
        const doc::Date date = dt.date.value_or(doc::Date{0, 0, 0});
        const doc::Time time = dt.time.value_or(doc::Time{});
        return std::array<std::int64_t, 13>{
            dt.date.has_value(),         date.year,
            date.month,                  date.day,
            dt.time.has_value(),         time.hour,
            time.minute,                 time.second.has_value(),
            time.second.value_or(0),     time.nanosecond.has_value(),
            time.nanosecond.value_or(0), dt.offset.has_value(),
            dt.offset ? offset_minutes(*dt.offset) : 0};
    };
    const auto a_parts = parts(a);
    const auto b_parts = parts(b);
    for (std::size_t i = 0; i < a_parts.size(); ++i) {
        if (int order = sign_of(a_parts[i], b_parts[i])) return order;
    }
    return 0;
}

int order_texts(std::string_view a, std::string_view b) {
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Item by item, then the shorter first.
int order_arrays(const doc::Array& a, const doc::Array& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (int order = order_values(a[i], b[i])) return order;
    }
    return sign_of(static_cast<std::int64_t>(a.size()), static_cast<std::int64_t>(b.size()));
}

// The smaller first, then entry by entry in key order, key before value.
int order_tables(const doc::Table& a, const doc::Table& b) {
    if (a.size() != b.size()) return sign_of(static_cast<std::int64_t>(a.size()), static_cast<std::int64_t>(b.size()));
    const auto a_entries = a.entries();
    const auto b_entries = b.entries();
    for (std::size_t i = 0; i < a_entries.size(); ++i) {
        if (int order = order_texts(a_entries[i].key, b_entries[i].key)) return order;
        if (int order = order_values(a_entries[i].value, b_entries[i].value)) return order;
    }
    return 0;
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t part) {
    hash ^= part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    hash *= 0xff51afd7ed558ccdull;
    return hash ^ (hash >> 33);
}

std::uint64_t hash_text(std::string_view text) { return std::hash<std::string_view>()(text); }

// An integral float in the range of integers hashes as that integer, which it equals.
std::uint64_t hash_number(const doc::Value& value) {
    if (value.is_integer()) return static_cast<std::uint64_t>(value.as_integer());
    const double x = value.as_float();
    if (std::isnan(x)) return 0x7ff8000000000000ull;
    if (x >= -9223372036854775808.0 && x < 9223372036854775808.0 && std::trunc(x) == x)
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(x));
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

std::uint64_t hash_datetime(const doc::DateTime& dt) {
    std::uint64_t hash = 0;
    if (dt.date) hash = mix(hash, (std::uint64_t{dt.date->year} << 16) | (dt.date->month << 8) | dt.date->day);
    if (dt.time) {
        hash = mix(hash, (std::uint64_t{dt.time->hour} << 8) | dt.time->minute);
        hash = mix(hash, dt.time->second ? *dt.time->second + 1u : 0u);
        hash = mix(hash, dt.time->nanosecond ? *dt.time->nanosecond + 1ull : 0u);
    }
    if (dt.offset) hash = mix(hash, static_cast<std::uint64_t>(offset_minutes(*dt.offset) + 100000));
    return hash;
}

}  // namespace

std::uint64_t hash_value(const doc::Value& value) {
    std::uint64_t hash = static_cast<std::uint64_t>(kind_rank(value));
    switch (value.kind()) {
        case doc::ValueKind::String:
            return mix(hash, hash_text(value.as_string()));
        case doc::ValueKind::Integer:
        case doc::ValueKind::Float:
            return mix(hash, hash_number(value));
        case doc::ValueKind::Boolean:
            return mix(hash, value.as_boolean() ? 1 : 0);
        case doc::ValueKind::DateTime:
            return mix(hash, hash_datetime(value.as_datetime()));
        case doc::ValueKind::Array:
            for (const doc::Value& item : value.as_array()) hash = mix(hash, hash_value(item));
            return mix(hash, value.as_array().size());
        case doc::ValueKind::Table:
            for (const doc::Entry& entry : value.as_table()) {
                // A short key's order word stands for its bytes; equal keys take the same way.
                const std::uint64_t word = entry.key.order_word();
                hash = mix(hash, word != 0 ? word : hash_text(entry.key));
                hash = mix(hash, hash_value(entry.value));
            }
            return mix(hash, value.as_table().size());
    }
    return hash;
}

int order_values(const doc::Value& a, const doc::Value& b) {
    const int a_rank = kind_rank(a);
    const int b_rank = kind_rank(b);
    if (a_rank != b_rank) return sign_of(a_rank, b_rank);
    switch (a.kind()) {
        case doc::ValueKind::String:
            return order_texts(a.as_string(), b.as_string());
        case doc::ValueKind::Integer:
        case doc::ValueKind::Float:
            return order_numbers(a, b);
        case doc::ValueKind::Boolean:
            return sign_of(a.as_boolean(), b.as_boolean());
        case doc::ValueKind::DateTime:
            return order_datetimes(a.as_datetime(), b.as_datetime());
        case doc::ValueKind::Array:
            return order_arrays(a.as_array(), b.as_array());
        case doc::ValueKind::Table:
            return order_tables(a.as_table(), b.as_table());
    }
    return 0;
}

Result<Ordering> compare_integer_float(std::int64_t integer, double x) {
    if (std::isnan(x)) return fail(nan_message);
    if (x < -9223372036854775808.0) return Ordering::Greater;  // minus infinity included
    if (x >= 9223372036854775808.0) return Ordering::Less;     // plus infinity included
    const double t = std::trunc(x);
    const auto whole = static_cast<std::int64_t>(t);  // exact in the range left
    if (integer != whole) return order_of(integer, whole);
    const double fraction = x - t;
    if (fraction > 0) return Ordering::Less;
    if (fraction < 0) return Ordering::Greater;
    return Ordering::Equal;
}

std::optional<std::int64_t> datetime_to_utc_minutes(const doc::DateTime& datetime, const doc::Offset& offset) {
    if (!datetime.date || !datetime.time) return std::nullopt;
    const doc::Date& date = *datetime.date;
    const doc::Time& time = *datetime.time;
    // Days from civil: years start in March so the leap day ends a year.
    const std::int64_t month = date.month;
    const std::int64_t y = static_cast<std::int64_t>(date.year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - 400 * era;
    const std::int64_t mp = month > 2 ? month - 3 : month + 9;
    const std::int64_t doy = (153 * mp + 2) / 5 + date.day;
    const std::int64_t doe = 365 * yoe + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = 146097 * era + doe - 719469;
    return 86400 * days + 3600 * std::int64_t{time.hour} + 60 * std::int64_t{time.minute} +
           std::int64_t{time.second.value_or(0)} - 60 * std::int64_t{offset_minutes(offset)};
}

Result<Ordering> compare(const doc::Value& value, const doc::Value& boundary) {
    if (value.is_integer()) {
        if (boundary.is_integer()) return order_of(value.as_integer(), boundary.as_integer());
        if (boundary.is_float()) return compare_integer_float(value.as_integer(), boundary.as_float());
    } else if (value.is_float()) {
        if (boundary.is_float()) return compare_floats(value.as_float(), boundary.as_float());
        if (boundary.is_integer()) {
            Result<Ordering> ordering = compare_integer_float(boundary.as_integer(), value.as_float());
            if (!ordering.ok()) return ordering;
            return reversed(*ordering);
        }
    } else if (value.is_datetime() && boundary.is_datetime()) {
        return compare_datetimes(value, boundary);
    }
    return mismatch(value, boundary);
}

bool values_equal(const doc::Value& a, const doc::Value& b) {
    switch (a.kind()) {
        case doc::ValueKind::String:
            return b.is_string() && a.as_string() == b.as_string();
        case doc::ValueKind::Integer:
        case doc::ValueKind::Float:
            return numbers_equal(a, b);
        case doc::ValueKind::Boolean:
            return b.is_boolean() && a.as_boolean() == b.as_boolean();
        case doc::ValueKind::DateTime:
            return b.is_datetime() && datetimes_equal(a.as_datetime(), b.as_datetime());
        case doc::ValueKind::Array:
            return b.is_array() && arrays_equal(a.as_array(), b.as_array());
        case doc::ValueKind::Table:
            return b.is_table() && tables_equal(a.as_table(), b.as_table());
    }
    return false;
}

bool value_matches_type(const doc::Value& value, SchemaType kind) {
    switch (kind.kind()) {
        case SchemaType::Any:
            return true;
        case SchemaType::String:
            return value.is_string();
        case SchemaType::Integer:
            return value.is_integer();
        case SchemaType::Float:
            return value.is_float();
        case SchemaType::Boolean:
            return value.is_boolean();
        case SchemaType::OffsetDateTime:
            return has_shape(value, doc::DateTimeShape::OffsetDateTime);
        case SchemaType::LocalDateTime:
            return has_shape(value, doc::DateTimeShape::LocalDateTime);
        case SchemaType::LocalDate:
            return has_shape(value, doc::DateTimeShape::LocalDate);
        case SchemaType::LocalTime:
            return has_shape(value, doc::DateTimeShape::LocalTime);
        case SchemaType::Array:
            return value.is_array();
        case SchemaType::Table:
        case SchemaType::Collection:
            return value.is_table();
    }
    return false;
}

bool matches_pattern(const Pattern& pattern, std::string_view text) { return pattern.search(text); }

std::string_view found_kind(const doc::Value& value) {
    switch (value.kind()) {
        case doc::ValueKind::String:
            return "string";
        case doc::ValueKind::Integer:
            return "integer";
        case doc::ValueKind::Float:
            return "float";
        case doc::ValueKind::Boolean:
            return "boolean";
        case doc::ValueKind::DateTime: {
            const auto shape = value.datetime_shape();
            return shape ? doc::datetime_shape_name(*shape) : "datetime";
        }
        case doc::ValueKind::Array:
            return "array";
        case doc::ValueKind::Table:
            return "table";
    }
    return "datetime";
}

}  // namespace qeld::schema
