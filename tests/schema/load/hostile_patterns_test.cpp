// Patterns a schema from an untrusted document may carry: each loads or is refused at load with
// the engine's message, never at validation time, and nothing grows without bound.
#include <gtest/gtest.h>

#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::body_outcome;
using testing::MessageCase;

class HostilePattern : public ::testing::TestWithParam<MessageCase> {};

TEST_P(HostilePattern, LoadsOrIsRefusedWhenTheSchemaLoads) {
    std::string body = std::string("[elements.x]\ntype = \"string\"\npattern = '") + GetParam().body + "'\n";
    EXPECT_EQ(body_outcome(body), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePattern,
    ::testing::Values(
        MessageCase{"LookAhead", "(?=a)", "elements.x has invalid pattern: look-around is not supported at offset 0"},
        MessageCase{"LookBehind", "(?<=a)b", "elements.x has invalid pattern: look-around is not supported at offset 0"},
        MessageCase{"BackReference", "(a)\\1", "elements.x has invalid pattern: backreferences are not supported at offset 3"},
        MessageCase{"LargeRepetition", "a{1001}", "loaded"},
        MessageCase{"NestedRepetitions", "((a{100}){100}){100}",
                    "elements.x has invalid pattern: pattern too large: its compiled form exceeds 10 MiB"},
        MessageCase{"RepeatedUnicodeClass", "(\\w+){1000}", "loaded"},
        MessageCase{"BeyondTheSizeLimit", "(\\w+){1000}{1000}",
                    "elements.x has invalid pattern: pattern too large: its compiled form exceeds 10 MiB"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qeld::schema
