#pragma once
// How the parser lays a tree into the arena of its document: handles over arena blocks that free
// nothing, and the root table that takes the arena over.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "document/arena.h"
#include "document/value.h"

namespace qeld::doc::detail {

struct Storage {
    // A key or string value: inline when short, else its bytes copied into the arena.
    static Key key(Arena& arena, std::string_view text);
    // The eight bytes of a key. Keys of up to seven bytes are equal exactly when their words are;
    // short_key_word gives the word such a key has, or false for a longer text.
    static std::uint64_t word(const Key& key) { return key.word_; }
    static bool is_short(const Key& key) { return key.is_inline(); }
    // Another handle of a key held by the arena, from its word.
    static Key held_key(std::uint64_t word) {
        Key k;
        k.word_ = word;
        return k;
    }
    static bool short_key_word(std::string_view text, std::uint64_t& word) {
        if (text.size() > Key::inline_capacity) return false;
        word = Key::inline_word(text);
        return true;
    }
    static String string(Arena& arena, std::string_view text);
    // An array of the n items, each moved into a new arena block.
    static Array array(Arena& arena, Value* items, std::size_t n);
    // An array over n items that already lie in the arena.
    static Array array_in_place(Value* items, std::size_t n);

    // Room in the arena for the n entries of a table, which the caller constructs, then wraps.
    static Entry* entries(Arena& arena, std::size_t n);
    static Table table(Entry* entries, std::size_t n);
    // The same for the root table, whose handle then owns the arena and all of the tree.
    static Entry* root_entries(Arena& arena, std::size_t n);
    static Table root_table(std::unique_ptr<Arena> arena, Entry* entries, std::size_t n);
};

}  // namespace qeld::doc::detail
