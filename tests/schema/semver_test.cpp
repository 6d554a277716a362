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

// The same verdicts as the pattern, on random texts over the bytes that matter; the parts put
// together again give the text, and each matches the pattern's group for it.
TEST(SemVerTest, AgreesWithThePattern) {
    auto pattern = Pattern::compile(semver_pattern);
    ASSERT_TRUE(pattern.ok()) << pattern.error();
    auto number = Pattern::compile("^(?:0|[1-9][0-9]*)$");
    auto pre_release = Pattern::compile(
        "^(?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*)(?:\\.(?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*))*$");
    auto build = Pattern::compile("^[0-9A-Za-z-]+(?:\\.[0-9A-Za-z-]+)*$");
    ASSERT_TRUE(number.ok() && pre_release.ok() && build.ok());
    std::mt19937 random(7);
    const std::string alphabet = "0019.-+aZ-.\n";
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? "1.0." : "";
        const std::size_t length = random() % 14;
        for (std::size_t k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
        const auto parts = parse_semver(text);
        ASSERT_EQ(pattern->search(text), parts.has_value()) << text;
        if (!parts) continue;
        std::string joined = std::string(parts->major) + "." + std::string(parts->minor) + "." + std::string(parts->patch);
        if (!parts->pre_release.empty()) joined += "-" + std::string(parts->pre_release);
        if (!parts->build.empty()) joined += "+" + std::string(parts->build);
        EXPECT_EQ(joined, text);
        for (std::string_view part : {parts->major, parts->minor, parts->patch}) EXPECT_TRUE(number->search(part)) << text;
        EXPECT_TRUE(parts->pre_release.empty() || pre_release->search(parts->pre_release)) << text;
        EXPECT_TRUE(parts->build.empty() || build->search(parts->build)) << text;
    }
}

}  // namespace
