// The arena of a parsed tree: its pieces, and how long views into the tree stay valid. The
// sanitizer build turns any use of a freed block here into a failure.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "document/arena.h"
#include "document/parse.h"
#include "document/tree_diff.h"
#include "support/failing_allocation.h"

namespace qeld::doc {
namespace {

Table parsed(const std::string& text) {
    auto result = parse(text);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error());
    return result.ok() ? std::move(result).value() : Table();
}

// Aligned pieces and byte pieces share blocks without overlapping; a piece too large for a block
// gets one of its own, and the block in use keeps serving the small pieces after it.
TEST(DocumentArena, PiecesAreAlignedAndDisjoint) {
    detail::Arena arena;
    struct Piece {
        char* at;
        std::size_t size;
    };
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < 3000; ++i) {
        const std::size_t size = 1 + (i * 37) % 300;
        char* p = i % 2 ? arena.allocate_bytes(size) : static_cast<char*>(arena.allocate(size));
        if (i % 2 == 0) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u);
        }
        std::memset(p, static_cast<int>(i % 251), size);
        pieces.push_back({p, size});
    }
    const std::size_t before = arena.reserved();
    char* big = static_cast<char*>(arena.allocate(4 * 1024 * 1024));
    std::memset(big, 0xAB, 4 * 1024 * 1024);
    EXPECT_GE(arena.reserved(), before + 4 * 1024 * 1024);
    char* after = arena.allocate_bytes(10);
    std::memset(after, 0xCD, 10);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        for (std::size_t b = 0; b < pieces[i].size; ++b) {
            ASSERT_EQ(static_cast<unsigned char>(pieces[i].at[b]), i % 251) << i;
        }
    }
    EXPECT_EQ(static_cast<unsigned char>(big[4 * 1024 * 1024 - 1]), 0xAB);
}

// Moving the root moves the arena with it: views taken before stay valid after any number of
// moves, and die only with the last root. Copies own their blocks and outlive the root.
TEST(DocumentArena, ViewsLiveAsLongAsTheRootWhereverItMoves) {
    const std::string long_text(100, 'x');
    Table root = parsed("s = '" + long_text + "'\n[t.u]\nv = ['" + long_text + "', 2]\n");
    const std::string_view view = root.find("s")->as_string();
    const Table& inner = root.find("t")->as_table().find("u")->as_table();

    Value as_value(std::move(root));
    std::vector<Value> values;
    values.push_back(std::move(as_value));
    for (int i = 0; i < 100; ++i) values.emplace_back(i);  // the vector moves its items as it grows
    Table back;
    back = Table(values.front().as_table());  // an owned copy, assigned over an empty table
    Value last(std::move(values.front()));
    values.clear();

    EXPECT_EQ(view, long_text);
    EXPECT_EQ(inner.find("v")->as_array()[0].as_string(), long_text);
    const Value copy_of_inner(inner);
    last = Value();  // the last root goes, and the arena with it
    EXPECT_EQ(copy_of_inner.as_table().find("v")->as_array()[1].as_integer(), 2);
    EXPECT_EQ(back.find("s")->as_string(), long_text);
    EXPECT_EQ(back.find("t")->as_table().find("u")->as_table().find("v")->as_array()[0].as_string(), long_text);
}

// Keys of up to seven bytes are stored inline, longer ones in the arena; both must read back
// exactly, embedded NULs included, and sort by their bytes.
TEST(DocumentArena, KeysOnBothSidesOfTheInlineBoundary) {
    Table root = parsed("abcdefgh = 2\nabcdefg = 1\n\"\\u0000\\u0000x\" = 3\n\"\" = 0\n[t]\n'key of nine' = 4\n");
    std::vector<std::string> keys;
    for (const Entry& e : root) keys.push_back(e.key.str());
    EXPECT_EQ(keys, (std::vector<std::string>{"", std::string("\0\0x", 3), "abcdefg", "abcdefgh", "t"}));
    EXPECT_EQ(root.find("abcdefg")->as_integer(), 1);
    EXPECT_EQ(root.find("abcdefgh")->as_integer(), 2);
    EXPECT_EQ(root.find(std::string("\0\0x", 3))->as_integer(), 3);
    EXPECT_EQ(root.find("t")->as_table().find("key of nine")->as_integer(), 4);
    const Value copy{Table(root)};
    EXPECT_EQ(testing::tree_difference(copy, Value(std::move(root))), "");
}

// Changing a parsed root first makes it an owned copy; the tree it came from is released.
TEST(DocumentArena, SettingAKeyOfAParsedRootCopiesItFirst) {
    Table root = parsed("b = 'a string longer than fourteen bytes'\nd = [1, 2]\n");
    root.set("c", Value(3));
    root.set("b", Value("short"));
    std::string keys;
    for (const Entry& e : root) keys += e.key.str();
    EXPECT_EQ(keys, "bcd");
    EXPECT_EQ(root.find("b")->as_string(), "short");
    EXPECT_EQ(root.find("d")->as_array()[1].as_integer(), 2);
}

// A tree as deep as the parser allows is copied, compared and released whole.
TEST(DocumentArena, TreesAtTheDepthLimitCopyAndRelease) {
    const std::string leaf = "'" + std::string(20, 'l') + "'";
    // The key counts as one level, each array as one more.
    std::string arrays = "a = " + std::string(max_depth - 1, '[') + leaf + std::string(max_depth - 1, ']') + "\n";
    std::string tables = "x = " + leaf;
    for (std::size_t i = 1; i < max_depth; ++i) tables = "k" + std::to_string(i) + " = { " + tables + " }";
    for (const std::string& text : {arrays, tables + "\n"}) {
        Value copy;
        {
            Value root(parsed(text));
            copy = root;
            EXPECT_EQ(testing::tree_difference(copy, root), "");
        }
        const Value* v = &copy;
        std::size_t depth = 0;
        while (!v->is_string()) {
            v = v->is_array() ? &v->as_array()[0] : &v->as_table().begin()->value;
            ++depth;
        }
        EXPECT_EQ(depth, max_depth);
        EXPECT_EQ(v->as_string(), std::string(20, 'l'));
    }
}

// Pieces larger than a block, and more blocks than one: a long string, a long array of long
// strings and a wide table of long keys.
TEST(DocumentArena, HugeArraysTablesAndStrings) {
    const std::string huge(3 * 1024 * 1024, 'h');
    std::string text = "huge = '" + huge + "'\nitems = [";
    const int count = 200000;
    for (int i = 0; i < count; ++i) text += "'item number " + std::to_string(i) + " of the long array',";
    text += "]\n[wide]\n";
    for (int i = count; i > 0; --i) text += "a_key_longer_than_fourteen_bytes_" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    Table root = parsed(text);
    EXPECT_EQ(root.find("huge")->as_string(), huge);
    const Array& items = root.find("items")->as_array();
    ASSERT_EQ(items.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(items[123456].as_string(), "item number 123456 of the long array");
    const Table& wide = root.find("wide")->as_table();
    ASSERT_EQ(wide.size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(testing::keys_sorted(Value(wide)));
    EXPECT_EQ(wide.find("a_key_longer_than_fourteen_bytes_777")->as_integer(), 777);
    EXPECT_EQ(wide.begin()->key, "a_key_longer_than_fourteen_bytes_1");
}

// A deep copy of a parsed tree that fails part way frees what it made and leaves the tree whole.
TEST(DocumentArena, CopiesOfAParsedTreeThatFailFreeWhatTheyMade) {
    const Value root(parsed("a = ['" + std::string(30, 'a') + "', { b = 'c', d = [1, 2] }]\n[e.f]\ng = 1\n"));
    bool completed = false;
    for (long count = 0; !completed; ++count) {
        qeld::testing::fail_allocation_after(count);
        try {
            const Value copy(root);
            completed = true;
            EXPECT_EQ(testing::tree_difference(copy, root), "");
        } catch (const std::bad_alloc&) {
        }
        qeld::testing::fail_allocation_after(-1);
        ASSERT_LT(count, 100);
    }
    EXPECT_EQ(root.as_table().find("a")->as_array()[0].as_string(), std::string(30, 'a'));
}

}  // namespace
}  // namespace qeld::doc
