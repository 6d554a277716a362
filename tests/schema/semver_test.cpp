#include "schema/semver.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "schema/pattern.h"

namespace {

using namespace qeld::schema;

TEST(SemVerTest, ReadsTheParts) {
    auto parts = parse_semver("10.20.3-alpha.1.x-y+build.007");
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->major, "10");
    EXPECT_EQ(parts->minor, "20");
    EXPECT_EQ(parts->patch, "3");
    EXPECT_EQ(parts->pre_release, "alpha.1.x-y");
    EXPECT_EQ(parts->build, "build.007");
    for (const char* text : {"1.0", "01.0.0", "1.0.0-", "1.0.0-01", "1.0.0-a..b", "1.0.0+", "1.0.0+a.", "1.0.0\n",
                             " 1.0.0", "1.0.0-é", ""}) {
        EXPECT_FALSE(parse_semver(text).has_value()) << text;
    }
}

// The same verdicts and parts as the pattern, on random texts over the bytes that matter.
TEST(SemVerTest, AgreesWithThePattern) {
    auto pattern = Pattern::compile(semver_pattern);
    ASSERT_TRUE(pattern.ok()) << pattern.error();
    std::mt19937 random(7);
    const std::string alphabet = "0019.-+aZ-.\n";
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? "1.0." : "";
        const std::size_t length = random() % 14;
        for (std::size_t k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
        const auto groups = pattern->capture_groups(text, 5);
        const auto parts = parse_semver(text);
        ASSERT_EQ(groups.has_value(), parts.has_value()) << text;
        if (!parts) continue;
        EXPECT_EQ(*groups, (std::vector<std::string>{std::string(parts->major), std::string(parts->minor),
                                                     std::string(parts->patch), std::string(parts->pre_release),
                                                     std::string(parts->build)}))
            << text;
    }
}

}  // namespace
