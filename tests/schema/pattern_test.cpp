#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schema/pattern.h"
#include "schema/semver.h"

namespace qeld::schema {
namespace {

Pattern compiled(std::string_view source) {
    auto pattern = Pattern::compile(source);
    EXPECT_TRUE(pattern.ok()) << source << ": " << (pattern.ok() ? "" : pattern.error());
    return std::move(pattern).value();
}

TEST(PatternTest, PerlClassesAreUnicode) {
    EXPECT_TRUE(compiled("^\\d+$").search("٣4"));
    EXPECT_TRUE(compiled("^\\w+$").search("éa_1"));
    EXPECT_TRUE(compiled("^\\s$").search("\u00a0"));
    EXPECT_FALSE(compiled("\\D").search("٣"));
    EXPECT_TRUE(compiled("^[\\d-]+$").search("٣-4"));
    EXPECT_FALSE(compiled("^[\\w]+$").search("a b"));
    EXPECT_FALSE(compiled("[\\D]").search("٣4"));
    EXPECT_TRUE(compiled("^[\\Da]+$").search("xa-"));
}

TEST(PatternTest, EscapedBackslashAndLiteralBracketStayAsWritten) {
    EXPECT_TRUE(compiled("\\\\d").search("\\d"));
    EXPECT_TRUE(compiled("[]d]").search("]"));
    EXPECT_TRUE(compiled("[[:alpha:]]").search("x"));
}

// Quoting with \Q...\E is not part of the syntax.
TEST(PatternTest, QuotedRunsAreRefused) {
    auto pattern = Pattern::compile("^\\Q\\d[\\E\\d$");
    ASSERT_FALSE(pattern.ok());
    EXPECT_EQ(pattern.error(), "unrecognized escape sequence \\Q at offset 1");
}

TEST(PatternTest, ErrorNamesTheFaultAndWhereItIs) {
    auto pattern = Pattern::compile("(\\d");
    ASSERT_FALSE(pattern.ok());
    EXPECT_EQ(pattern.error(), "unclosed group at offset 0");
}

TEST(PatternTest, Semver) {
    EXPECT_EQ(semver_pattern.size(), 200u);
    Pattern semver = compiled(semver_pattern);
    EXPECT_TRUE(semver.search("1.0.0-alpha.1+build.7"));
    EXPECT_TRUE(semver.search("10.20.3"));
    EXPECT_FALSE(semver.search("1.0.0\n"));
    EXPECT_FALSE(semver.search("1.0"));
}

}  // namespace
}  // namespace qeld::schema
