// Patterns a schema from an untrusted document may carry: each is refused at load with the
// engine's message, never at validation time, and nothing grows without bound.
#include <gtest/gtest.h>

#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::MessageCase;

class HostilePattern : public ::testing::TestWithParam<MessageCase> {};

TEST_P(HostilePattern, IsRefusedWhenTheSchemaLoads) {
    std::string body = std::string("[elements.x]\ntype = \"string\"\npattern = '") + GetParam().body + "'\n";
    EXPECT_EQ(body_outcome(body), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePattern,
    ::testing::Values(
        MessageCase{"LookAhead", "(?=a)", "elements.x has invalid pattern: invalid perl operator: (?="},
        MessageCase{"LookBehind", "(?<=a)b", "elements.x has invalid pattern: invalid perl operator: (?<"},
        MessageCase{"BackReference", "(a)\\1", "elements.x has invalid pattern: invalid escape sequence: \\1"},
        MessageCase{"HugeRepetition", "a{1001}", "elements.x has invalid pattern: invalid repetition size: {1001}"},
        MessageCase{"NestedRepetitions", "((a{100}){100}){100}",
                    "elements.x has invalid pattern: invalid repetition size: {100}"},
        MessageCase{"BeyondMemoryBudget", "(\\w+){1000}", "elements.x has invalid pattern: pattern too large - compile failed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeld::schema
