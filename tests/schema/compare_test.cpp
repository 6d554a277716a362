#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "document/parse.h"
#include "schema/compare.h"

namespace qeld::schema {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The value of one TOML value text, e.g. "1.0", "[1, 2]" or "2024-01-01T00:00:00Z".
doc::Value toml(const std::string& text) {
    auto parsed = doc::parse("v = " + text + "\n");
    EXPECT_TRUE(parsed.ok()) << text << ": " << (parsed.ok() ? "" : parsed.error());
    if (!parsed.ok()) return doc::Value();
    return *parsed->find("v");
}

doc::Value integer(std::int64_t i) { return doc::Value(i); }

// "less", "equal", "greater" or the message.
std::string outcome(const doc::Value& value, const doc::Value& boundary) {
    Result<Ordering> r = compare(value, boundary);
    if (!r.ok()) return r.error();
    switch (*r) {
        case Ordering::Less: return "less";
        case Ordering::Equal: return "equal";
        case Ordering::Greater: return "greater";
    }
    return "?";
}

struct CompareCase {
    const char* name;
    doc::Value value;
    doc::Value boundary;
    const char* expected;
};

void run_cases(const std::vector<CompareCase>& cases) {
    for (const auto& c : cases) EXPECT_EQ(outcome(c.value, c.boundary), c.expected) << c.name;
}

TEST(Compare, IntegerAgainstFloatIsExact) {
    run_cases({
        {"3 vs 3.0", 3, 3.0, "equal"},
        {"3 vs 3.5", 3, 3.5, "less"},
        {"3 vs 2.5", 3, 2.5, "greater"},
        {"-3 vs -3.5", -3, -3.5, "greater"},
        {"-3 vs -2.5", -3, -2.5, "less"},
        {"0 vs -0.0", 0, -0.0, "equal"},
        {"2^53+1 vs 2^53", integer(9007199254740993), 9007199254740992.0, "greater"},
        {"2^53 vs 2^53", integer(9007199254740992), 9007199254740992.0, "equal"},
        {"max vs 2^63", integer(INT64_MAX), 9223372036854775807.0, "less"},
        {"min vs -2^63", integer(INT64_MIN), -9223372036854775808.0, "equal"},
        {"min vs below -2^63", integer(INT64_MIN), -9223372036854777856.0, "greater"},
        {"max vs largest float below 2^63", integer(INT64_MAX), 9223372036854774784.0, "greater"},
        {"max vs +inf", integer(INT64_MAX), inf, "less"},
        {"min vs -inf", integer(INT64_MIN), -inf, "greater"},
        {"0 vs tiny positive", 0, 5e-324, "less"},
        {"0 vs tiny negative", 0, -5e-324, "greater"},
        {"integer vs NaN", 1, nan, "NaN is unordered"},
    });
    EXPECT_EQ(compare_integer_float(1, -nan).error(), "NaN is unordered");
}

TEST(Compare, FloatValuesAndIntegerBoundaries) {
    run_cases({
        {"2.5 vs 2", 2.5, 2, "greater"},
        {"1.5 vs 2", 1.5, 2, "less"},
        {"-0.0 vs 0", -0.0, 0, "equal"},
        {"2^53 vs 2^53+1", 9007199254740992.0, integer(9007199254740993), "less"},
        {"2^63 vs max", 9223372036854775807.0, integer(INT64_MAX), "greater"},
        {"-inf vs min", -inf, integer(INT64_MIN), "less"},
        {"NaN vs integer", nan, 1, "NaN is unordered"},
        {"integers", 2, 3, "less"},
        {"integer extremes", integer(INT64_MAX), integer(INT64_MIN), "greater"},
        {"-0.0 vs 0.0", -0.0, 0.0, "equal"},
        {"+inf vs +inf", inf, inf, "equal"},
        {"-inf vs +inf", -inf, inf, "less"},
        {"1.5 vs 1.25", 1.5, 1.25, "greater"},
        {"NaN vs float", nan, 1.0, "NaN is unordered"},
        {"float vs NaN", 1.0, nan, "NaN is unordered"},
        {"NaN vs NaN", nan, nan, "NaN is unordered"},
    });
}

TEST(Compare, MismatchNamesBothFoundKinds) {
    run_cases({
        {"string vs integer", "x", 1, "cannot compare string with boundary integer"},
        {"strings", "a", "b", "cannot compare string with boundary string"},
        {"booleans", true, true, "cannot compare boolean with boundary boolean"},
        {"NaN vs string", nan, "x", "cannot compare float with boundary string"},
        {"integer vs NaN-free array", 1, toml("[1]"), "cannot compare integer with boundary array"},
        {"tables", toml("{}"), toml("{}"), "cannot compare table with boundary table"},
        {"local date vs local date-time", toml("2024-01-01"), toml("2024-01-01T00:00:00"),
         "cannot compare local-date with boundary local-date-time"},
        {"integer vs local date", 1, toml("2024-01-01"), "cannot compare integer with boundary local-date"},
        {"offset vs local date-time", toml("2024-01-01T00:00:00Z"), toml("2024-01-01T00:00:00"),
         "cannot compare offset-date-time with boundary local-date-time"},
        {"local time vs float", toml("12:00:00"), 1.0, "cannot compare local-time with boundary float"},
    });
}

doc::DateTime offset_datetime(std::uint16_t year, std::uint8_t month, std::uint8_t day, std::uint8_t hour,
                              std::uint8_t minute, std::uint8_t second, doc::Offset offset = {true, 0}) {
    return doc::DateTime{doc::Date{year, month, day}, doc::Time{hour, minute, second, std::nullopt}, offset};
}

TEST(Compare, DateTimes) {
    doc::DateTime time_with_offset;  // a shape the parser never produces
    time_with_offset.time = doc::Time{12, 0, 0, std::nullopt};
    time_with_offset.offset = doc::Offset{true, 0};
    run_cases({
        {"same instant, other offsets", toml("2024-01-01T10:00:00+01:00"), toml("2024-01-01T09:00:00Z"), "equal"},
        {"absent seconds are zero", toml("2024-01-01T00:00Z"), toml("2024-01-01T00:00:00Z"), "equal"},
        {"absent fraction before zero fraction", toml("2024-01-01T00:00:00Z"), toml("2024-01-01T00:00:00.0Z"),
         "less"},
        {"zero fraction after absent fraction", toml("2024-01-01T00:00:00.0Z"), toml("2024-01-01T00:00:00Z"),
         "greater"},
        {"fractions compare", toml("2024-01-01T00:00:00.25Z"), toml("2024-01-01T00:00:00.5Z"), "less"},
        {"later instant", toml("2024-01-01T00:00:01-00:01"), toml("2024-01-01T00:00:59Z"), "greater"},
        {"leap second", offset_datetime(1990, 12, 31, 23, 59, 60), offset_datetime(1991, 1, 1, 0, 0, 0), "equal"},
        {"local times without seconds and fraction", toml("12:00"), toml("12:00:00"), "equal"},
        {"local times with zero fraction", toml("12:00:00"), toml("12:00:00.0"), "equal"},
        {"local times with fraction", toml("12:00:00.5"), toml("12:00:00"), "greater"},
        {"local dates", toml("2024-01-02"), toml("2024-02-01"), "less"},
        {"local date-times", toml("2024-01-01T12:00:00"), toml("2024-01-01T11:59:59.999"), "greater"},
        {"offset without date", time_with_offset, time_with_offset, "cannot compare datetime with boundary datetime"},
    });
}

TEST(DatetimeToUtcMinutes, GivesSecondsSinceTheEpoch) {
    const doc::Offset z{true, 0};
    EXPECT_EQ(datetime_to_utc_minutes(offset_datetime(1970, 1, 1, 0, 0, 0), z), 0);
    EXPECT_EQ(datetime_to_utc_minutes(offset_datetime(1970, 1, 1, 1, 0, 0), doc::Offset{false, 60}), 0);
    EXPECT_EQ(datetime_to_utc_minutes(offset_datetime(2000, 3, 1, 0, 0, 0), z), 951868800);
    EXPECT_EQ(datetime_to_utc_minutes(offset_datetime(0, 1, 1, 0, 0, 0), z), -62167219200);
    EXPECT_EQ(datetime_to_utc_minutes(offset_datetime(2024, 2, 29, 0, 0, 0), doc::Offset{false, -330}),
              1709164800 + 330 * 60);

    const doc::DateTime date_only{doc::Date{2024, 1, 1}, std::nullopt, std::nullopt};
    const doc::DateTime time_only{std::nullopt, doc::Time{12, 0, 0, std::nullopt}, std::nullopt};
    EXPECT_EQ(datetime_to_utc_minutes(date_only, z), std::nullopt);
    EXPECT_EQ(datetime_to_utc_minutes(time_only, z), std::nullopt);
}

struct EqualCase {
    const char* name;
    doc::Value a;
    doc::Value b;
    bool equal;
};

std::vector<EqualCase> equal_cases() {
    doc::Table ab;
    ab.set("a", 1);
    ab.set("b", 2.0);
    return {
        {"1 and 1.0", 1, 1.0, true},
        {"NaN and NaN", nan, nan, true},
        {"0.0 and -0.0", 0.0, -0.0, true},
        {"Z and +00:00", toml("2024-01-01T09:00:00Z"), toml("2024-01-01T09:00:00+00:00"), true},
        {"Z and -00:00", toml("2024-01-01T09:00:00Z"), toml("2024-01-01T09:00:00-00:00"), true},
        {"arrays of mixed numbers", toml("[1, 2]"), toml("[1.0, 2]"), true},
        {"tables in other order", toml("{a = 1, b = 2}"), doc::Value(ab), true},
        {"nested", toml("{a = [{b = 'x'}]}"), toml("{a = [{b = 'x'}]}"), true},
        {"strings", "x", "x", true},
        {"booleans", false, false, true},
        {"2^53+1 and 2^53", integer(9007199254740993), 9007199254740992.0, false},
        {"NaN and 1.0", nan, 1.0, false},
        {"NaN and 1", nan, 1, false},
        {"same instant, other offsets", toml("2024-01-01T10:00:00+01:00"), toml("2024-01-01T09:00:00Z"), false},
        {"absent and zero seconds", toml("12:00"), toml("12:00:00"), false},
        {"absent and zero fraction", toml("12:00:00"), toml("12:00:00.0"), false},
        {"local and offset", toml("2024-01-01T09:00:00"), toml("2024-01-01T09:00:00Z"), false},
        {"other day", toml("2024-01-01"), toml("2024-01-02"), false},
        {"arrays in other order", toml("[1, 2]"), toml("[2, 1]"), false},
        {"arrays of other length", toml("[1, 2]"), toml("[1, 2, 3]"), false},
        {"empty table and empty array", toml("{}"), toml("[]"), false},
        {"tables with other keys", toml("{a = 1}"), toml("{b = 1}"), false},
        {"tables of other size", toml("{a = 1}"), toml("{a = 1, b = 1}"), false},
        {"digit string and integer", "1", 1, false},
        {"strings", "x", "X", false},
        {"booleans", true, false, false},
        {"boolean and integer", true, 1, false},
    };
}

TEST(ValuesEqual, BothDirections) {
    for (const auto& c : equal_cases()) {
        EXPECT_EQ(values_equal(c.a, c.b), c.equal) << c.name;
        EXPECT_EQ(values_equal(c.b, c.a), c.equal) << c.name << " (swapped)";
    }
}

int sign(int order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); }

TEST(OrderValues, TiesAndHashesExactlyWhereValuesAreEqual) {
    for (const auto& c : equal_cases()) {
        EXPECT_EQ(order_values(c.a, c.b) == 0, c.equal) << c.name;
        EXPECT_EQ(sign(order_values(c.a, c.b)), -sign(order_values(c.b, c.a))) << c.name;
        if (c.equal) {
            EXPECT_EQ(hash_value(c.a), hash_value(c.b)) << c.name;
        }
    }
}

TEST(OrderValues, IsATotalOrderOverMixedValues) {
    std::vector<doc::Value> values;
    for (const auto& c : equal_cases()) {
        values.push_back(c.a);
        values.push_back(c.b);
    }
    for (const char* text : {"-1", "-0.5", "inf", "-inf", "9223372036854775807", "9.3e18", "-9223372036854775808",
                             "-9.223372036854775808e18", "[]", "[[1]]", "{}", "{a = {b = 1}}", "''", "1979-05-27",
                             "07:32:00", "1979-05-27T07:32:00-08:00", "true"}) {
        values.push_back(toml(text));
    }
    for (const auto& a : values) {
        for (const auto& b : values) {
            EXPECT_EQ(order_values(a, b) == 0, values_equal(a, b));
            if (values_equal(a, b)) {
                EXPECT_EQ(hash_value(a), hash_value(b));
            }
            EXPECT_EQ(sign(order_values(a, b)), -sign(order_values(b, a)));
            for (const auto& c : values) {
                if (order_values(a, b) <= 0 && order_values(b, c) <= 0) {
                    EXPECT_LE(order_values(a, c), 0);
                }
            }
        }
    }
}

TEST(ValueMatchesType, AcceptsByFoundKind) {
    doc::DateTime time_with_offset;
    time_with_offset.time = doc::Time{12, 0, 0, std::nullopt};
    time_with_offset.offset = doc::Offset{false, 60};
    const std::vector<doc::Value> values = {
        "s", 1, 1.0, true, toml("2024-01-01T00:00:00Z"), toml("2024-01-01T00:00:00"), toml("2024-01-01"),
        toml("12:00"), doc::Value(time_with_offset), toml("[1]"), toml("{a = 1}"),
    };
    const std::vector<std::string> kinds = {
        "string", "integer", "float", "boolean", "offset-date-time", "local-date-time", "local-date",
        "local-time", "datetime", "array", "table",
    };
    ASSERT_EQ(values.size(), kinds.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(found_kind(values[i]), kinds[i]);
        for (int k = 0; k < SchemaType::count; ++k) {
            const SchemaType type(static_cast<SchemaType::Kind>(k));
            const bool expected = type == SchemaType::Any || type.keyword() == kinds[i] ||
                                  (type == SchemaType::Collection && kinds[i] == "table");
            EXPECT_EQ(value_matches_type(values[i], type), expected) << kinds[i] << " as " << type.keyword();
        }
    }
}

TEST(MatchesPattern, SearchesAnywhereUnlessAnchored) {
    auto unanchored = Pattern::compile("b");
    auto anchored = Pattern::compile("^b$");
    ASSERT_TRUE(unanchored.ok() && anchored.ok());
    EXPECT_TRUE(matches_pattern(*unanchored, "abc"));
    EXPECT_FALSE(matches_pattern(*anchored, "abc"));
    EXPECT_TRUE(matches_pattern(*anchored, "b"));
}

}  // namespace
}  // namespace qeld::schema
