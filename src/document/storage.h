#pragma once
// How the parser lays a tree into the arena of its document: handles over arena blocks that free
// nothing, and the root table that takes the arena over.

#include <cstddef>
#include <memory>
#include <string_view>

#include "document/arena.h"
#include "document/value.h"

namespace qeld::doc::detail {

struct Storage {
    // A key or string value: inline when short, else its bytes copied into the arena.
    static Key key(Arena& arena, std::string_view text);
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
