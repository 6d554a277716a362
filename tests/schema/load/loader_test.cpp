#include <gtest/gtest.h>

#include <string>

#include "schema/model.h"
#include "schema/schema_text.h"

namespace qeld::schema {
namespace {

using testing::case_name;
using testing::load_outcome;
using testing::MessageCase;

// Whole schema texts and the message each gives ("loaded" when it loads).
class TopLevel : public ::testing::TestWithParam<MessageCase> {};

TEST_P(TopLevel, GivesItsMessage) { EXPECT_EQ(load_outcome(GetParam().body), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TopLevel,
    ::testing::Values(
        MessageCase{"NoReservedTable", "[elements]\n", "schema must contain a [vantle] table"},
        MessageCase{"ReservedTableNotATable", "vantle = 1\n[elements]\n", "schema must contain a [vantle] table"},
        MessageCase{"NoElements", "[vantle]\nversion = '1.0.0'\n", "schema must contain an [elements] table"},
        MessageCase{"ElementsNotATable", "elements = 1\n[vantle]\nversion = '1.0.0'\n",
                    "schema must contain an [elements] table"},
        MessageCase{"ReservedTableCheckedBeforeElements", "elements = 1\n",
                    "schema must contain a [vantle] table"},
        MessageCase{"OtherRootKey", "zeta = 1\n[vantle]\nversion = '1.0.0'\n[elements]\n",
                    "unsupported top-level schema key: zeta"},
        MessageCase{"OtherRootKeysFirstByBytes", "b = 1\nA = 1\n[vantle]\nversion = '1.0.0'\n[elements]\n",
                    "unsupported top-level schema key: A"},
        MessageCase{"OtherRootKeyDecodedUnquoted", "\"a.b\" = 1\n[vantle]\nversion = '1.0.0'\n[elements]\n",
                    "unsupported top-level schema key: a.b"},
        MessageCase{"OtherRootKeyBeforeMissingVersion", "x = 1\n[vantle]\n[elements]\n",
                    "unsupported top-level schema key: x"},
        MessageCase{"NoVersion", "[vantle]\nmeta = 1\n[elements]\n", "[vantle] must contain version"},
        MessageCase{"VersionInteger", "[vantle]\nversion = 1\n[elements]\n", "[vantle].version must be a SemVer string"},
        MessageCase{"VersionTable", "[vantle]\nversion = { major = 1 }\n[elements]\n",
                    "[vantle].version must be a SemVer string"},
        MessageCase{"MinorNotZero", "[vantle]\nversion = '1.1.0'\n[elements]\n",
                    "unsupported Vantle minor version: 1.1.0"},
        MessageCase{"MajorTwo", "[vantle]\nversion = '2.0.0'\n[elements]\n", "unsupported Vantle major version: 2.0.0"},
        MessageCase{"MajorZero", "[vantle]\nversion = '0.9.0-rc.1'\n[elements]\n",
                    "unsupported Vantle major version: 0.9.0-rc.1"},
        MessageCase{"VersionBeforeReservedKey", "[vantle]\nversion = '2.0.0'\nextra = 1\n[elements]\n",
                    "unsupported Vantle major version: 2.0.0"},
        MessageCase{"ReservedKey", "[vantle]\nversion = '1.0.0'\nzz = 1\nextra = 1\n[elements]\n",
                    "unsupported [vantle] key: extra"},
        MessageCase{"MetaTable", "[vantle]\nversion = '1.0.0'\nmeta = { a = [1] }\n[elements]\n", "loaded"},
        MessageCase{"MetaArray", "[vantle]\nversion = '1.0.0'\nmeta = [1, 'a']\n[elements]\n", "loaded"},
        MessageCase{"MetaScalar", "[vantle]\nversion = '1.0.0'\nmeta = 1979-05-27\n[elements]\n", "loaded"},
        MessageCase{"TypesScalarIsNoTypes", "types = 1\n[vantle]\nversion = '1.0.0'\n[elements]\n", "loaded"},
        MessageCase{"TypesArrayIsNoTypes", "types = [1]\n[vantle]\nversion = '1.0.0'\n[elements]\n", "loaded"},
        MessageCase{"TypesBeforeElements",
                    "[vantle]\nversion = '1.0.0'\n[types.b]\nfoo = 1\n[elements.a]\nbar = 1\n",
                    "types.b contains unsupported property: foo"}),
    case_name);

struct VersionCase {
    const char* version;
    const char* message;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << '"' << c.version << '"'; }

class Version : public ::testing::TestWithParam<VersionCase> {};

TEST_P(Version, FollowsTheSemVerRule) {
    std::string text = "[vantle]\nversion = \"" + std::string(GetParam().version) + "\"\n[elements]\n";
    EXPECT_EQ(load_outcome(text), GetParam().message);
}

constexpr const char* syntax_message = "[vantle].version must use SemVer MAJOR.MINOR.PATCH syntax";

INSTANTIATE_TEST_SUITE_P(Cases, Version,
                         ::testing::Values(VersionCase{"1.0.0", "loaded"}, VersionCase{"1.0.12", "loaded"},
                                           VersionCase{"1.0.0-rc.1", "loaded"},
                                           VersionCase{"1.0.0-alpha.1+build.7", "loaded"},
                                           VersionCase{"1.0.0+20240101", "loaded"}, VersionCase{"1.0", syntax_message},
                                           VersionCase{"1.0.0.0", syntax_message}, VersionCase{"01.0.0", syntax_message},
                                           VersionCase{"1.00.0", syntax_message}, VersionCase{"1.0.0-01", syntax_message},
                                           VersionCase{"v1.0.0", syntax_message}, VersionCase{"1.0.0 ", syntax_message},
                                           VersionCase{"1.0.0\\n", syntax_message}, VersionCase{"", syntax_message},
                                           VersionCase{"١.0.0", syntax_message}));

TEST(SchemaLoadTest, KeepsPathVersionAndDefinitions) {
    auto schema = Schema::from_source("dir/s.qeld",
                                      "[vantle]\nversion = '1.0.0-rc.1'\n[types.port]\ntype = 'integer'\n"
                                      "[elements.a]\ntype = 'port'\n[elements.b]\ntype = 'string'\n");
    ASSERT_TRUE(schema.ok()) << schema.error();
    EXPECT_EQ(schema->source_path, "dir/s.qeld");
    EXPECT_EQ(schema->version, "1.0.0-rc.1");
    EXPECT_TRUE(schema->notices.empty());
    ASSERT_EQ(schema->types.size(), 1u);
    EXPECT_EQ(schema->types.at("port").name, "types.port");
    ASSERT_EQ(schema->elements.size(), 2u);
    EXPECT_EQ(schema->elements.at("a").type_reference, "port");
    ASSERT_NE(find_type(*schema, "port"), nullptr);
}

TEST(SchemaLoadTest, FileFailuresNameThePathTwice) {
    EXPECT_EQ(Schema::load("missing.qeld").error(),
              "unable to parse schema missing.qeld: missing.qeld: No such file or directory (os error 2)");
    EXPECT_EQ(Schema::load("/").error(), "unable to parse schema /: /: Is a directory (os error 21)");
}

TEST(SchemaLoadTest, ParseFailureNamesThePathTwiceBeforeTheParserText) {
    auto schema = Schema::from_source("s.qeld", "[vantle\n");
    ASSERT_FALSE(schema.ok());
    EXPECT_EQ(schema.error().rfind("unable to parse schema s.qeld: s.qeld: TOML parse error at line 1, column ", 0), 0u)
        << schema.error();
}

}  // namespace
}  // namespace qeld::schema
