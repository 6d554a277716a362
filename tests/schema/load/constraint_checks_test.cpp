#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/parse.h"
#include "schema/load/constraint_checks.h"
#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::case_name;
using testing::MessageCase;

// Schema bodies after a valid reserved table, and the message each gives.
class ConstraintChecks : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ConstraintChecks, GiveTheirMessage) { EXPECT_EQ(body_outcome(GetParam().body), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Range, ConstraintChecks,
    ::testing::Values(
        MessageCase{"FloatBoundOnInteger", "[elements.x]\ntype = 'integer'\nmin = 0.5\n", "loaded"},
        MessageCase{"IntegerBoundOnFloat", "[elements.x]\ntype = 'float'\nmax = 10\n", "loaded"},
        MessageCase{"StringBound", "[elements.x]\ntype = 'integer'\nmin = '1'\n",
                    "elements.x min must be an integer, float, or temporal value"},
        MessageCase{"BooleanBoundBeforeTypeRule", "[elements.x]\ntype = 'boolean'\nmin = true\n",
                    "elements.x min must be an integer, float, or temporal value"},
        MessageCase{"NanMin", "[elements.x]\ntype = 'float'\nmin = nan\n", "elements.x cannot use NaN as min"},
        MessageCase{"NanMax", "[elements.x]\ntype = 'float'\nmin = 1\nmax = -nan\n", "elements.x cannot use NaN as max"},
        MessageCase{"InfinityBound", "[elements.x]\ntype = 'float'\nmin = -inf\nmax = inf\n", "loaded"},
        MessageCase{"FormsBeforeNan", "[elements.x]\ntype = 'float'\nmin = nan\nmax = 'a'\n",
                    "elements.x max must be an integer, float, or temporal value"},
        MessageCase{"BoundOnString", "[elements.x]\ntype = 'string'\nmin = 1\n",
                    "elements.x can only define min or max for integer, float, date/time, or compatible array types"},
        MessageCase{"BoundOnCollection", "[elements.x]\ntype = 'collection'\nitemtype = 'integer'\nmax = 1\n",
                    "elements.x can only define min or max for integer, float, date/time, or compatible array types"},
        MessageCase{"BoundOnAny", "[elements.x]\ntype = 'any'\nmax = 1\n",
                    "elements.x cannot define min or max when type is any"},
        MessageCase{"DateTimeBoundOnLocalDate", "[elements.x]\ntype = 'local-date'\nmin = 2024-01-01T00:00:00\n",
                    "elements.x min must be comparable with local-date"},
        MessageCase{"DateBoundOnInteger", "[elements.x]\ntype = 'integer'\nmax = 1979-05-27\n",
                    "elements.x max must be comparable with integer"},
        MessageCase{"LocalBoundOnOffsetDateTime", "[elements.x]\ntype = 'offset-date-time'\nmax = 1979-05-27T00:00:00\n",
                    "elements.x max must be comparable with offset-date-time"},
        MessageCase{"IntegerBoundOnLocalTime", "[elements.x]\ntype = 'local-time'\nmin = 12:00:00\nmax = 5\n",
                    "elements.x max must be comparable with local-time"},
        MessageCase{"StringBoundOnArray", "[elements.x]\ntype = 'array'\nitemtype = 'integer'\nmin = 'a'\n",
                    "elements.x min must be an integer, float, or temporal value"},
        MessageCase{"BoundsNotComparedWithEachOther", "[elements.x]\ntype = 'integer'\nmin = 10\nmax = 1\n", "loaded"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    AllowedValues, ConstraintChecks,
    ::testing::Values(
        MessageCase{"InclusiveBounds", "[elements.x]\ntype = 'integer'\nmin = 1\nmax = 10\nallowedvalues = [1, 10]\n",
                    "loaded"},
        MessageCase{"LessThanMin", "[elements.x]\ntype = 'integer'\nmin = 1\nmax = 10\nallowedvalues = [0]\n",
                    "elements.x allowedvalues[0] is less than min"},
        MessageCase{"GreaterThanMax", "[elements.x]\ntype = 'integer'\nmin = 1\nmax = 10\nallowedvalues = [5, 11]\n",
                    "elements.x allowedvalues[1] is greater than max"},
        MessageCase{"NanEntry", "[elements.x]\ntype = 'float'\nmin = 0\nallowedvalues = [nan]\n",
                    "elements.x allowedvalues[0] does not satisfy min or max"},
        MessageCase{"NanEntryWithoutBounds", "[elements.x]\ntype = 'float'\nallowedvalues = [nan]\n", "loaded"},
        MessageCase{"NotComparableWithMin", "[elements.x]\ntype = 'integer'\nmin = 1\nallowedvalues = ['a']\n",
                    "elements.x allowedvalues[0] cannot be compared with min: cannot compare string with boundary integer"},
        MessageCase{"NotComparableWithMax", "[elements.x]\ntype = 'integer'\nmax = 1\nallowedvalues = [true]\n",
                    "elements.x allowedvalues[0] cannot be compared with max: cannot compare boolean with boundary integer"},
        MessageCase{"OtherDateTimeShape",
                    "[elements.x]\ntype = 'local-date'\nmin = 2024-01-01\nallowedvalues = [2024-01-01T00:00:00]\n",
                    "elements.x allowedvalues[0] cannot be compared with min: "
                    "cannot compare local-date-time with boundary local-date"},
        MessageCase{"PatternFailure", "[elements.x]\ntype = 'string'\npattern = '^a'\nallowedvalues = ['abc', 'b']\n",
                    "elements.x allowedvalues[1] does not satisfy pattern"},
        MessageCase{"PatternOnNonString", "[elements.x]\ntype = 'string'\npattern = 'a'\nallowedvalues = [1]\n",
                    "elements.x allowedvalues[0] does not satisfy pattern"},
        MessageCase{"PatternMatchesAnywhere", "[elements.x]\ntype = 'string'\npattern = 'b'\nallowedvalues = ['abc']\n",
                    "loaded"},
        MessageCase{"PatternBeforeLength",
                    "[elements.x]\ntype = 'string'\npattern = '^a'\nminlength = 5\nallowedvalues = ['b']\n",
                    "elements.x allowedvalues[0] does not satisfy pattern"},
        MessageCase{"LengthCountsCharacters", "[elements.x]\ntype = 'string'\nmaxlength = 1\nallowedvalues = ['é']\n",
                    "loaded"},
        MessageCase{"ShorterThanMinlength", "[elements.x]\ntype = 'string'\nminlength = 2\nallowedvalues = ['é']\n",
                    "elements.x allowedvalues[0] is shorter than minlength"},
        MessageCase{"LongerThanMaxlength", "[elements.x]\ntype = 'string'\nmaxlength = 1\nallowedvalues = ['a', 'ab']\n",
                    "elements.x allowedvalues[1] is longer than maxlength"},
        MessageCase{"LengthOnNonString", "[elements.x]\ntype = 'string'\nminlength = 1\nallowedvalues = [1]\n",
                    "elements.x allowedvalues[0] does not satisfy string length constraints"},
        MessageCase{"MixedKindsOnAny", "[elements.x]\ntype = 'any'\nallowedvalues = [1, 'a', [true], { b = 1 }]\n",
                    "loaded"}),
    case_name);

doc::Value toml(const std::string& text) {
    auto parsed = doc::parse("v = " + text + "\n");
    EXPECT_TRUE(parsed.ok()) << text;
    return parsed.ok() ? *parsed->find("v") : doc::Value();
}

// The definition elements.x with a kind, bounds and allowed values.
Definition constrained(std::optional<SchemaType> kind, std::optional<doc::Value> min, std::optional<doc::Value> max,
                       std::vector<doc::Value> allowed_values = {}, std::optional<std::int64_t> min_length = {}) {
    Definition definition;
    definition.name = "elements.x";
    definition.kind = kind;
    definition.min = std::move(min);
    definition.max = std::move(max);
    definition.allowed_values = std::move(allowed_values);
    definition.min_length = min_length;
    return definition;
}

TEST(ConstraintChecksTest, ArrayBoundsAndEntriesWaitForTheItemType) {
    const auto array = std::optional<SchemaType>(SchemaType::Array);
    EXPECT_TRUE(validate_range_constraints(constrained(array, toml("1"), std::nullopt)).ok());
    EXPECT_TRUE(
        validate_allowed_values_constraints(constrained(array, toml("1"), std::nullopt, {toml("0"), toml("'a'")}, 5))
            .ok());
}

TEST(ConstraintChecksTest, FormsWithoutATypeOfTheirOwnPassTheRangeCheck) {
    EXPECT_TRUE(validate_range_constraints(constrained(std::nullopt, toml("1"), toml("2"))).ok());
    EXPECT_TRUE(validate_range_constraints(constrained(std::nullopt, std::nullopt, std::nullopt)).ok());
}

TEST(ConstraintChecksTest, RangeComesBeforeLengthWithinAnEntry) {
    auto status =
        validate_allowed_values_constraints(constrained(std::nullopt, toml("1"), std::nullopt, {toml("'a'")}, 5));
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(),
              "elements.x allowedvalues[0] cannot be compared with min: cannot compare string with boundary integer");
}

}  // namespace
}  // namespace qeld::schema
