// A pass keeps what each definition resolves and expands to, but the conditional and
// alternatives steps read the value: every item of an array, every entry of a collection and every
// table described by one definition still gets its own verdict and its own warnings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../schema_text.h"
#include "document/parse.h"
#include "schema/model.h"
#include "schema/validate/expansions.h"

namespace qeld::schema {
namespace {

using testing::Lines;
using testing::lines;
using testing::load_body;

constexpr const char* branch_types = R"(
[types.a]
type = "table"
[types.a.kind]
type = "string"
optional = true
[types.a.x]
type = "integer"
deprecated = true

[types.b]
type = "table"
[types.b.kind]
type = "string"
optional = true
[types.b.y]
type = "string"
)";

struct ItemsCase {
    const char* name;
    const char* elements;
    const char* document;
    Lines expected;
};

void PrintTo(const ItemsCase& c, std::ostream* os) { *os << c.name; }

class ValidatorItems : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(ValidatorItems, EachItemGetsItsOwnVerdict) {
    const ItemsCase& c = GetParam();
    const Schema schema = load_body(std::string(branch_types) + c.elements);
    auto document = doc::parse(c.document);
    ASSERT_TRUE(document.ok()) << (document.ok() ? "" : document.error());
    EXPECT_EQ(lines(schema.validate(*document)), c.expected);
    // A second pass over the same schema gives the same verdicts.
    EXPECT_EQ(lines(schema.validate(*document)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidatorItems,
    ::testing::Values(
        ItemsCase{"conditional_item_type",
                  R"(
[types.pick]
if = { key = "kind", equals = "a" }
then = "a"
else = "b"
[elements.list]
type = "array"
itemtype = "pick"
)",
                  "list = [{kind = 'a', x = 1}, {kind = 'b', y = 's'}, {kind = 'a', y = 's'}, {x = 1},"
                  " {kind = 'a', x = 2}]\n",
                  Lines{"$.list[2].x: required value is missing", "$.list[2].y: unexpected key",
                        "$.list[3].y: required value is missing", "$.list[3].x: unexpected key",
                        "warning $.list[0].x", "warning $.list[4].x"}},
        ItemsCase{"oneof_item_type",
                  R"(
[types.either]
oneof = ["a", "b"]
[elements.list]
type = "array"
itemtype = "either"
)",
                  "list = [{x = 1}, {y = 's'}, {}, {x = 1, y = 's'}, {x = 2}]\n",
                  Lines{"$.list[2]: expected exactly one matching type from oneof but found 0",
                        "$.list[3]: expected exactly one matching type from oneof but found 0",
                        "warning $.list[0].x", "warning $.list[4].x"}},
        ItemsCase{"anyof_item_type_warns_only_where_it_fits",
                  R"(
[types.some]
anyof = ["a", "b"]
deprecated = true
[elements.list]
type = "array"
itemtype = "some"
)",
                  "list = [{y = 's'}, {x = 1}, {x = 'no'}, {kind = 'k', y = 't'}]\n",
                  Lines{"$.list[2]: expected at least one matching type from anyof", "warning $.list[0]",
                        "warning $.list[1].x", "warning $.list[1]", "warning $.list[3]"}},
        ItemsCase{"conditional_child_of_a_plain_item_type",
                  R"(
[types.pick]
if = { key = "kind", equals = "a" }
then = "a"
else = "b"
[types.holder]
type = "table"
[types.holder.inner]
type = "pick"
[elements.list]
type = "array"
itemtype = "holder"
)",
                  "list = [{inner = {kind = 'b', y = 's'}}, {inner = {kind = 'a', y = 's'}},"
                  " {inner = {kind = 'b', y = 't'}}]\n",
                  Lines{"$.list[1].inner.x: required value is missing", "$.list[1].inner.y: unexpected key"}},
        ItemsCase{"conditional_collection_entries",
                  R"(
[types.pick]
if = { key = "kind", equals = "a" }
then = "a"
else = "b"
[elements.map]
type = "collection"
itemtype = "pick"
)",
                  "[map]\np = {kind = 'a', x = 1}\nq = {kind = 'b', x = 1}\nr = {y = 's'}\n",
                  Lines{"$.map.q.y: required value is missing", "$.map.q.x: unexpected key", "warning $.map.p.x"}}));

// Past the number of expansions a pass keeps, definitions are expanded at every use, with the same
// verdicts.
TEST(ValidatorItemsBound, ChildrenPastTheKeptExpansionsGetTheSameVerdicts) {
    const std::size_t n = Expansions::max_entries + 100;
    auto key = [](std::size_t i) {
        std::string text = std::to_string(i);
        return "k" + std::string(6 - text.size(), '0') + text;
    };
    std::string body = "[types.big]\ntype = \"table\"\n";
    for (std::size_t i = 0; i < n; ++i) {
        body += "[types.big." + key(i) + "]\ntype = \"integer\"\nmin = 0\n";
        if (i % 2 == 1) body += "optional = true\n";
    }
    body += "[elements.list]\ntype = \"array\"\nitemtype = \"big\"\n";
    const Schema schema = load_body(body);

    // Every key but the last two, one below zero near each end.
    std::string item = "{";
    for (std::size_t i = 0; i + 2 < n; ++i) {
        item += (i == 0 ? "" : ", ") + key(i) + " = " + (i == 3 || i == n - 5 ? "-1" : "1");
    }
    item += "}";
    auto document = doc::parse("list = [" + item + ", " + item + "]\n");
    ASSERT_TRUE(document.ok()) << (document.ok() ? "" : document.error());
    Lines expected;
    for (int index = 0; index < 2; ++index) {
        const std::string at = "$.list[" + std::to_string(index) + "].";
        expected.push_back(at + key(3) + ": value is less than min");
        expected.push_back(at + key(n - 5) + ": value is less than min");
        expected.push_back(at + key(n - 2) + ": required value is missing");
    }
    EXPECT_EQ(lines(schema.validate(*document)), expected);
}

}  // namespace
}  // namespace qeld::schema
