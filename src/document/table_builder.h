#pragma once
// The tables of a document while it is parsed. A table that later lines may still extend is an
// open node: its entries in the order written, what each entry is (for TOML's rules on
// redefinition), and a hash index once it grows. A node becomes a doc::Table when nothing can
// reach it any more: at the end of the document, at the closing brace of an inline table, or when
// a new element is appended to its array of tables. Its entries then move once, in key order,
// into a block of exact size in the document's arena, where every key, string and array of the
// tree lives too.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/arena.h"
#include "document/value.h"

namespace qeld::doc::detail {

// What an entry of an open table holds, and so what may still be done with it.
enum class EntryKind : std::uint8_t {
    Value,       // a finished value other than an inline table (a static array included)
    Inline,      // a finished inline table: immutable
    Implicit,    // an open table made only by the path of a header, not yet defined
    Header,      // an open table defined by a [header]
    Dotted,      // an open table defined by dotted keys
    TableArray,  // an array of tables, whose last element is still open
};

class TableBuilder {
public:
    using NodeId = std::uint32_t;
    static constexpr std::uint32_t npos = UINT32_MAX;

    TableBuilder();
    TableBuilder(const TableBuilder&) = delete;
    TableBuilder& operator=(const TableBuilder&) = delete;
    ~TableBuilder();

    NodeId root() const { return 0; }

    // Values of the tree, kept in its arena.
    Key key(std::string_view text) { return text.size() <= Key::inline_capacity ? Key(text) : long_key(text); }
    Value string(std::string_view text);
    // The array of the n items, each moved.
    Value array(Value* items, std::size_t n);

    // The entry index of key in the node, or npos.
    std::uint32_t find(NodeId node, std::string_view key) const;
    std::uint32_t find(NodeId node, const Key& key) const;
    EntryKind kind(NodeId node, std::uint32_t index) const { return node_at_[node]->meta[index].kind; }
    void set_kind(NodeId node, std::uint32_t index, EntryKind kind) { node_at_[node]->meta[index].kind = kind; }
    const Value& value(NodeId node, std::uint32_t index) const { return node_at_[node]->entries[index].value; }
    // The open table below an entry of kind Implicit, Header or Dotted.
    NodeId child(NodeId node, std::uint32_t index) const { return node_at_[node]->meta[index].child; }
    // The open last element of the array of tables of a TableArray entry.
    NodeId last_element(NodeId node, std::uint32_t index) const;

    // The add functions take a key that the node does not hold yet.
    void add_value(NodeId node, Key&& key, Value&& value, EntryKind kind);
    NodeId add_table(NodeId node, std::string_view key, EntryKind kind);
    // A new array of tables with one element; returns the element.
    NodeId add_table_array(NodeId node, std::string_view key);
    // Closes the last element of a TableArray entry and opens a new one; returns it.
    NodeId append_element(NodeId node, std::uint32_t index);

    // A node for an inline table being read.
    NodeId new_node();
    // Turns a node and everything open below it into the finished table, releasing the nodes.
    Table finish(NodeId node);
    // Finishes the root; the table returned owns the arena and so the whole tree.
    Table finish_root();

private:
    struct Meta {
        std::uint32_t child = 0;  // node, or table array, of an open entry
        EntryKind kind = EntryKind::Value;
    };
    struct Node {
        std::vector<Entry> entries;
        std::vector<Meta> meta;
        std::vector<std::uint32_t> index;  // open addressing of entry index + 1; empty while small
        std::uint64_t filter = 0;  // the filter_bit of every key, so that most keys not held are
                                   // known absent without a search
    };
    static std::uint64_t filter_bit(std::string_view key);
    static std::uint64_t filter_bit(const Key& key);
    std::uint32_t find_linear(const Node& node, std::uint64_t word, std::string_view key) const;
    Key long_key(std::string_view text);
    // The finished elements grow in a loose block that the arena adopts when the array is
    // finished, so that a long array of tables is never copied whole.
    struct TableArrayNode {
        Value* items = nullptr;
        std::size_t size = 0;
        std::size_t capacity = 0;
        NodeId last = 0;
    };

    std::uint32_t add_entry(NodeId node, Key&& key, Value&& value, Meta meta);
    void rebuild_index(Node& node);
    Value finish_table_array(std::uint32_t id);
    void push_element(TableArrayNode& array, Value element);
    void finish_children(Node& node);
    // Moves the node's entries into the block in ascending key order.
    void move_sorted(Node& node, Entry* block);
    void release(NodeId id);

    std::unique_ptr<Arena> arena_;

    // Long keys are interned: a text met before gets the same arena block, so that it is stored
    // once and its word stays equal across tables. Only the first intern_capacity / 2 texts of up
    // to intern_size_limit bytes are kept, which bounds the table.
    // The table starts small and doubles while at most half full, so that a small document
    // does not clear the whole of it.
    static constexpr std::size_t intern_capacity = 8192;
    static constexpr std::size_t intern_first_capacity = 16;
    static constexpr std::size_t intern_size_limit = 64;
    std::vector<std::uint64_t> interned_;  // open addressing of key words; 0 is free
    std::size_t interned_count_ = 0;
    void grow_interned();

    // Deques keep references to nodes stable while others are added; released nodes keep their
    // buffers for reuse (unless large), so the many small tables of an array of tables cost one
    // exact allocation each.
    std::deque<Node> nodes_;
    std::vector<Node*> node_at_;  // each node of nodes_, found with one load
    std::vector<NodeId> free_nodes_;
    std::deque<TableArrayNode> arrays_;
    std::vector<std::uint32_t> free_arrays_;
    struct KeyAt {
        std::uint64_t prefix;  // the first eight key bytes, big-endian, so that most comparisons
                               // are one integer comparison
        std::string_view key;
        std::uint32_t index;
    };
    std::vector<KeyAt> sorting_;  // scratch for sorting
    // The key orders of the tables sorted last, one for each size modulo order_slots: the
    // positions of the entries in key order, and the words of their keys. The elements of an
    // array of tables, and the inline tables inside them, mostly repeat the keys of the ones
    // before in the same order, and reuse their order.
    struct Order {
        std::vector<std::uint64_t> words;
        std::vector<std::uint32_t> positions;
    };
    static constexpr std::size_t order_slots = 8;
    Order orders_[order_slots];
    Order large_order_;  // tables too large to remember
    const std::vector<std::uint32_t>& key_order(const std::vector<Entry>& entries);
};

}  // namespace qeld::doc::detail
