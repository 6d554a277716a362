#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "schema/locate/locate.h"
#include "support/temp_folder.h"

namespace qeld::schema {
namespace {

namespace fs = std::filesystem;

std::string located(std::string_view document, std::string_view location) {
    auto path = resolve_schema_location(document, location);
    return path ? *path : "error: " + path.error();
}

struct LocationCase {
    std::string location;
    std::string expected;
};

TEST(ResolveSchemaLocation, FollowsTheLocationRulesInOrder) {
    const std::vector<LocationCase> cases = {
        {"schema.qeld", "/docs/schema.qeld"},
        {"../shared/s.qeld", "/shared/s.qeld"},
        {"/abs/s.qeld", "/abs/s.qeld"},
        {"file:///abs/s.qeld", "/abs/s.qeld"},
        {"file:/abs/s.qeld", "/abs/s.qeld"},
        {"FILE:///abs/s.qeld", "/abs/s.qeld"},
        {"file://localhost/abs/s.qeld", "/abs/s.qeld"},
        {"a b.qeld", "/docs/a b.qeld"},
        {"a%20b.qeld", "/docs/a b.qeld"},
        // A file URL on its own needs a slash right after "file:".
        {"file:schema.qeld", "error: invalid file schema location: file:schema.qeld"},
        {"file:", "error: invalid file schema location: file:"},
        {"file:\\abs\\s.qeld", "error: invalid file schema location: file:\\abs\\s.qeld"},
        {"FiLe:s.qeld", "error: invalid file schema location: FiLe:s.qeld"},
        {"file:?v", "error: invalid file schema location: file:?v"},
        // The scheme is read as the URL parser reads it: leading controls and inner tabs go.
        {"\x01" "file:/s.qeld", "error: invalid file schema location: \x01" "file:/s.qeld"},
        {"fi\tle:///s.qeld", "error: invalid file schema location: fi\tle:///s.qeld"},
        {"\x01" "file://exa mple/x",
         "error: invalid [vantle].location URI: \x01" "file://exa mple/x: invalid international domain name"},
        // Other schemes, named as the parser gives them.
        {"c:/s.qeld", "error: unsupported schema location URI scheme: c"},
        {"ftp://host/x", "error: unsupported schema location URI scheme: ftp"},
        {"HTTP://host/x", "error: unsupported schema location URI scheme: http"},
        {"urn:x", "error: unsupported schema location URI scheme: urn"},
        // Queries and fragments, even empty ones.
        {"x.qeld?", "error: invalid file schema location: x.qeld?"},
        {"x.qeld#", "error: invalid file schema location: x.qeld#"},
        {"x.qeld?v=1", "error: invalid file schema location: x.qeld?v=1"},
        {"x.qeld#top", "error: invalid file schema location: x.qeld#top"},
        // Encoded separators are refused, never decoded.
        {"a%2Fb.qeld", "error: invalid file schema location: a%2Fb.qeld"},
        {"a%2fb.qeld", "error: invalid file schema location: a%2fb.qeld"},
        {"a%5Cb.qeld", "error: invalid file schema location: a%5Cb.qeld"},
        {"a%5cb.qeld", "error: invalid file schema location: a%5cb.qeld"},
        // Hosts other than this machine have no local path.
        {"file://host/s.qeld", "error: invalid file schema location: file://host/s.qeld"},
        {"//host/s.qeld", "error: invalid file schema location: //host/s.qeld"},
        {"file://[::1]/s.qeld", "error: invalid file schema location: file://[::1]/s.qeld"},
        {"file://b\xC3\xBC" "cher.de/s.qeld", "error: invalid file schema location: file://b\xC3\xBC" "cher.de/s.qeld"},
        // Texts that are no URL.
        {"http://", "error: invalid [vantle].location URI: http://: empty host"},
        {"http://host:99999/x", "error: invalid [vantle].location URI: http://host:99999/x: invalid port number"},
        {"file://1.2.3.999/x", "error: invalid [vantle].location URI: file://1.2.3.999/x: invalid IPv4 address"},
        {"file://[::1/x", "error: invalid [vantle].location URI: file://[::1/x: invalid IPv6 address"},
        {"file://exa mple/x",
         "error: invalid [vantle].location URI: file://exa mple/x: invalid international domain name"},
        {"x://a b/", "error: invalid [vantle].location URI: x://a b/: invalid domain character"},
    };
    for (const auto& c : cases) EXPECT_EQ(located("/docs/doc.toml", c.location), c.expected) << c.location;
}

// A file URL with one slash takes the host and a drive letter from the document's own URL.
TEST(ResolveSchemaLocation, LendsAFileUrlTheDocumentsDriveLetter) {
    EXPECT_EQ(located("/C:/doc.toml", "file:/s.qeld"), "/C:/s.qeld");
    EXPECT_EQ(located("/C:/doc.toml", "file:///s.qeld"), "/s.qeld");
    EXPECT_EQ(located("/C:/doc.toml", "file:/D:/s.qeld"), "/D:/s.qeld");
}

TEST(ResolveSchemaLocation, JoinsARelativeDocumentPathToTheCurrentDirectory) {
    std::string cwd = fs::current_path().string();
    EXPECT_EQ(located("docs/doc.toml", "schema.qeld"), cwd + "/docs/schema.qeld");
    EXPECT_EQ(located("docs/doc.toml", "../shared/s.qeld"), cwd + "/shared/s.qeld");
    EXPECT_EQ(located("./doc.toml", "schema.qeld"), cwd + "/schema.qeld");
    // The document path's own ".." stays as written.
    EXPECT_EQ(located("/w/a/../doc.toml", "s.qeld"), "/w/a/../s.qeld");
}

TEST(ResolveSchemaLocation, ReportsAnUnavailableCurrentDirectory) {
    fs::path saved = fs::current_path();
    char name[] = "/tmp/qeld-gone-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    ASSERT_EQ(chdir(name), 0);
    fs::remove(name);
    std::string result = located("doc.toml", "schema.qeld");
    std::string absolute = located("/docs/doc.toml", "schema.qeld");
    std::string own_form = located("doc.toml", "file:schema.qeld");
    fs::current_path(saved);
    EXPECT_EQ(result, "error: invalid current directory: No such file or directory (os error 2)");
    // The location's own form is judged first.
    EXPECT_EQ(own_form, "error: invalid file schema location: file:schema.qeld");
    EXPECT_EQ(absolute, "/docs/schema.qeld");
}

TEST(ContainsPercentEncodedSeparator, FindsEncodedSlashesAndBackslashesOnly) {
    for (std::string_view text : {"%2F", "%2f", "%5C", "%5c", "a%2fb", "/x/%5C"}) {
        EXPECT_TRUE(contains_percent_encoded_separator(text)) << text;
    }
    for (std::string_view text : {"", "%2", "%", "%20", "%2e", "%5B", "2f", "%%2", "%25%32f", "/a/b\\c"}) {
        EXPECT_FALSE(contains_percent_encoded_separator(text)) << text;
    }
}

std::string compared(const doc::Value& version, std::string_view schema_version) {
    auto result = compare_document_schema_version(version, schema_version);
    if (!result) return "error: " + result.error();
    return result->value_or("no notice");
}

TEST(CompareDocumentSchemaVersion, GivesNoticeOrMessage) {
    struct Case {
        doc::Value version;
        std::string schema;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"1.0.0", "1.0.0", "no notice"},
        {"1.0.0-rc.1", "1.0.0-rc.1", "no notice"},
        {"1.0.1", "1.0.0", "Warning: document expects Vantle version 1.0.1, but resolved schema uses 1.0.0"},
        {"1.1.0", "1.0.0", "Warning: document expects Vantle version 1.1.0, but resolved schema uses 1.0.0"},
        {"1.0.0+build", "1.0.0", "Warning: document expects Vantle version 1.0.0+build, but resolved schema uses 1.0.0"},
        {"1.0.0", "1.0.0-alpha.1+b.7",
         "Warning: document expects Vantle version 1.0.0, but resolved schema uses 1.0.0-alpha.1+b.7"},
        {"2.0.0", "1.0.0", "error: document expects Vantle major version 2.0.0, but resolved schema uses 1.0.0"},
        {"10.0.0", "1.0.0", "error: document expects Vantle major version 10.0.0, but resolved schema uses 1.0.0"},
        {"0.9.0", "1.0.0", "error: document expects Vantle major version 0.9.0, but resolved schema uses 1.0.0"},
        {"1.0", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {"v1.0.0", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {" 1.0.0", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {"1.0.0\n", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {"01.0.0", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {"1.0.0-01", "1.0.0", "error: document [vantle].version must use SemVer MAJOR.MINOR.PATCH syntax"},
        {1, "1.0.0", "error: document [vantle].version must be a SemVer string"},
        {true, "1.0.0", "error: document [vantle].version must be a SemVer string"},
        {doc::Table(), "1.0.0", "error: document [vantle].version must be a SemVer string"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compared(c.version, c.schema), c.expected)
            << (c.version.is_string() ? c.version.as_string() : "(not a string)");
    }
}

// A folder of small files for the document-reading steps.
class SchemaFromDocument : public qeld::testing::TempFolderTest {
protected:
    std::string message(const std::string& document_text) {
        auto result = schema_from_document(write("doc.toml", document_text));
        return result ? "loaded" : result.error();
    }
};

TEST_F(SchemaFromDocument, RefusesAMissingOrMalformedReservedTable) {
    const std::string none = "document does not contain [vantle].location";
    EXPECT_EQ(message("a = 1\n"), none);
    EXPECT_EQ(message("vantle = 1\n"), none);
    EXPECT_EQ(message("[vantle]\nversion = '1.0.0'\n"), none);
    EXPECT_EQ(message("[vantle]\nlocation = 3\n"), none);
    EXPECT_EQ(message("[vantle]\nlocation = 1979-05-27\n"), none);
    EXPECT_EQ(message("[vantle]\nlocation = ''\n"), none);
    EXPECT_EQ(message("[vantle]\nlocation = \" \\t\\n\\u00A0\\u3000\"\n"), none);
    EXPECT_EQ(message("[vantle]\nlocation = ['s.qeld']\n"), "document [vantle].location must be a scalar value");
    EXPECT_EQ(message("[vantle]\nlocation = 's.qeld'\nz = {}\nb = [1]\n"), "document [vantle].b must be a scalar value");
    // An entry that is no scalar is found before a missing location.
    EXPECT_EQ(message("[vantle]\nextra = { a = 1 }\n"), "document [vantle].extra must be a scalar value");
}

TEST_F(SchemaFromDocument, PassesTheReadersMessageOn) {
    auto result = schema_from_document(dir_ + "/missing.toml");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), dir_ + "/missing.toml: No such file or directory (os error 2)");
}

TEST_F(SchemaFromDocument, NamesTheResolvedSchemaPathTwiceWhenItCannotBeRead) {
    // Trimmed and resolved beside the document; the bad version is never looked at.
    EXPECT_EQ(message("[vantle]\nlocation = \"\\u2003 missing.qeld \\t\"\nversion = 7\n"),
              "unable to parse schema " + dir_ + "/missing.qeld: " + dir_ +
                  "/missing.qeld: No such file or directory (os error 2)");
    EXPECT_EQ(message("[vantle]\nlocation = 'a%20b.qeld'\n"),
              "unable to parse schema " + dir_ + "/a b.qeld: " + dir_ + "/a b.qeld: No such file or directory (os error 2)");
}

TEST_F(SchemaFromDocument, ShowsUndecodableBytesOfThePathAsReplacementCharacters) {
    EXPECT_EQ(message("[vantle]\nlocation = 'x%FF%C3.qeld'\n"),
              "unable to parse schema " + dir_ + "/x\xEF\xBF\xBD\xEF\xBF\xBD.qeld: " + dir_ +
                  "/x\xEF\xBF\xBD\xEF\xBF\xBD.qeld: No such file or directory (os error 2)");
}

TEST_F(SchemaFromDocument, NeverOpensAPathCutShortByANulByte) {
    // "doc.toml" exists, but "doc.toml%00x" must not open it.
    std::string path = dir_ + "/doc.toml" + std::string(1, '\0') + "x";
    EXPECT_EQ(message("[vantle]\nlocation = 'doc.toml%00x'\n"),
              "unable to parse schema " + path + ": " + path + ": file name contained an unexpected NUL byte");
}

// The document chose the schema file, so a parse error gives its position and description but no
// line of the file, which may hold secrets; the user's own schema keeps the whole frame.
TEST_F(SchemaFromDocument, QuotesNoLineOfASchemaThatDoesNotParse) {
    write("secret.qeld", "[vantle]\nversion = '1.0.0'\ntoken = s3cret-value\n");
    const std::string path = dir_ + "/secret.qeld";
    const std::string position = "TOML parse error at line 3, column 9\n";
    const std::string description =
        "expected a value: a string, number, boolean, date-time, array or inline table";
    EXPECT_EQ(message("[vantle]\nlocation = 'secret.qeld'\n"),
              "unable to parse schema " + path + ": " + path + ": " + position + description);
    auto named = Schema::load(path);
    ASSERT_FALSE(named);
    EXPECT_NE(named.error().find("3 | token = s3cret-value\n"), std::string::npos) << named.error();
}

TEST_F(SchemaFromDocument, QuotesNothingOfTheProcessEnvironment) {
    std::ifstream in("/proc/self/environ", std::ios::binary);
    std::string first_entry;
    std::getline(in, first_entry, '\0');
    ASSERT_FALSE(first_entry.empty());
    const std::string shown = message("[vantle]\nlocation = 'file:///proc/self/environ'\n");
    const std::string start = "unable to parse schema /proc/self/environ: /proc/self/environ: TOML parse error at line 1, column ";
    ASSERT_EQ(shown.compare(0, start.size(), start), 0) << shown;
    // The position line and the description, nothing else.
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    const std::string value = first_entry.substr(first_entry.find('=') + 1);
    if (value.size() >= 8) {
        EXPECT_EQ(shown.find(value), std::string::npos) << shown;
    }
}

TEST_F(SchemaFromDocument, PassesLocationFailuresOnUnchanged) {
    EXPECT_EQ(message("[vantle]\nlocation = 'file:s.qeld'\n"), "invalid file schema location: file:s.qeld");
    EXPECT_EQ(message("[vantle]\nlocation = ' ftp://h/s.qeld'\n"), "unsupported schema location URI scheme: ftp");
}

}  // namespace
}  // namespace qeld::schema
