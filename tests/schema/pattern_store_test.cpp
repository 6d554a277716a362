#include "schema/pattern_store.h"

#include <gtest/gtest.h>

#include <string>

namespace qeld::schema {
namespace {

Pattern compiled(const std::string& source) {
    auto pattern = Pattern::compile(source);
    EXPECT_TRUE(pattern.ok()) << source;
    return std::move(pattern).value();
}

// Three programs of the same size, each searched on a text of its own letter so that their DFA
// states weigh alike too, in a store with room for two of them.
TEST(PatternStore, GivesBackTheLeastRecentlyUsedAndBuildsThemAgain) {
    Pattern first = compiled("^a{1000}$");
    Pattern second = compiled("^b{1000}$");
    Pattern third = compiled("^c{1000}$");
    PatternStore one(PatternStore::default_budget);
    EXPECT_TRUE(one.is_match(first, std::string(1000, 'a')));
    const std::size_t budget = one.memory_usage() * 5 / 2;
    PatternStore store(budget);
    const std::string as(1000, 'a');
    const std::string bs(1000, 'b');
    const std::string cs(1000, 'c');

    EXPECT_TRUE(store.is_match(first, as));
    EXPECT_TRUE(store.is_match(second, bs));
    EXPECT_EQ(store.builds(), 2u);
    EXPECT_EQ(store.programs(), 2u);
    // The third gives back the first, which has waited longest.
    EXPECT_TRUE(store.is_match(third, cs));
    EXPECT_EQ(store.builds(), 3u);
    EXPECT_EQ(store.programs(), 2u);
    EXPECT_LE(store.memory_usage(), budget);
    EXPECT_TRUE(store.is_match(second, bs));
    EXPECT_EQ(store.builds(), 3u);
    // The first is built again, with the same verdicts; the third goes.
    EXPECT_TRUE(store.is_match(first, as));
    EXPECT_FALSE(store.is_match(first, as + "a"));
    EXPECT_EQ(store.builds(), 4u);
    EXPECT_TRUE(store.is_match(second, bs));
    EXPECT_EQ(store.builds(), 4u);
    EXPECT_TRUE(store.is_match(third, cs));
    EXPECT_EQ(store.builds(), 5u);
    EXPECT_LE(store.memory_usage(), budget);
}

TEST(PatternStore, CopiesShareOneEntry) {
    Pattern pattern = compiled("^[a-z]+$");
    Pattern copy = pattern;
    PatternStore store(PatternStore::default_budget);
    EXPECT_TRUE(store.is_match(pattern, "abc"));
    EXPECT_FALSE(store.is_match(copy, "ab1"));
    EXPECT_EQ(store.builds(), 1u);
    EXPECT_EQ(store.programs(), 1u);
}

// One program larger than the whole budget is still built and kept while it is the one in use.
TEST(PatternStore, NeverRefusesAPatternForTheTotal) {
    Pattern big = compiled("^a{1000}$");
    Pattern other = compiled("^b$");
    PatternStore store(1024);
    EXPECT_TRUE(store.is_match(big, std::string(1000, 'a')));
    EXPECT_EQ(store.programs(), 1u);
    EXPECT_TRUE(store.is_match(other, "b"));
    EXPECT_EQ(store.programs(), 1u);
    EXPECT_TRUE(store.is_match(big, std::string(1000, 'a')));
    EXPECT_EQ(store.builds(), 3u);
}

// A pattern dropped takes its program out of the process's store.
TEST(PatternStore, ForgetsAPatternThatIsGone) {
    PatternStore& store = PatternStore::process();
    const std::size_t before = store.programs();
    {
        Pattern pattern = compiled("^dropped{2}$");
        EXPECT_TRUE(pattern.search("droppedd"));
        EXPECT_EQ(store.programs(), before + 1);
    }
    EXPECT_EQ(store.programs(), before);
}

}  // namespace
}  // namespace qeld::schema
