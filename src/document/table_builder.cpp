#include "document/table_builder.h"

#include <algorithm>
#include <cstring>

#include "document/storage.h"

namespace qeld::doc::detail {

namespace {

// Tables up to this size are searched linearly; larger ones get a hash index.
constexpr std::size_t linear_limit = 16;
// Nodes that grew past this many entries give their buffers back when released.
constexpr std::size_t reuse_limit = 4096;
// The room a table first gets for its entries.
constexpr std::size_t first_capacity = 8;

std::uint64_t hash_key(std::string_view key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ key.size();
    const char* p = key.data();
    std::size_t n = key.size();
    while (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        p += 8;
        n -= 8;
    }
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

std::uint64_t key_prefix(std::string_view key) {
    std::uint64_t prefix = 0;
    const std::size_t n = std::min<std::size_t>(key.size(), 8);
    for (std::size_t i = 0; i < n; ++i) prefix |= std::uint64_t{static_cast<unsigned char>(key[i])} << (56 - 8 * i);
    return prefix;
}

}  // namespace

TableBuilder::TableBuilder() : arena_(std::make_unique<Arena>()) { node_at_.push_back(&nodes_.emplace_back()); }

TableBuilder::~TableBuilder() {
    for (const TableArrayNode& array : arrays_) {
        if (array.items != nullptr) Arena::free_loose(array.items);
    }
}

Key TableBuilder::long_key(std::string_view text) {
    if (text.size() > intern_size_limit) return Storage::key(*arena_, text);
    if (interned_.empty()) interned_.assign(intern_first_capacity, 0);
    const std::uint64_t hash = hash_key(text);
    std::size_t mask = interned_.size() - 1;
    std::size_t slot = hash & mask;
    for (; interned_[slot] != 0; slot = (slot + 1) & mask) {
        Key known = Storage::held_key(interned_[slot]);
        if (known.view() == text) return known;
    }
    Key made = Storage::key(*arena_, text);
    if (interned_count_ < intern_capacity / 2) {
        if ((interned_count_ + 1) * 2 > interned_.size()) {
            grow_interned();
            mask = interned_.size() - 1;
            for (slot = hash & mask; interned_[slot] != 0; slot = (slot + 1) & mask) {
            }
        }
        interned_[slot] = Storage::word(made);
        ++interned_count_;
    }
    return made;
}

void TableBuilder::grow_interned() {
    std::vector<std::uint64_t> old(interned_.size() * 2, 0);
    old.swap(interned_);
    const std::size_t mask = interned_.size() - 1;
    for (const std::uint64_t word : old) {
        if (word == 0) continue;
        std::size_t slot = hash_key(Storage::held_key(word).view()) & mask;
        while (interned_[slot] != 0) slot = (slot + 1) & mask;
        interned_[slot] = word;
    }
}

Value TableBuilder::string(std::string_view text) { return Value(Storage::string(*arena_, text)); }

Value TableBuilder::array(Value* items, std::size_t n) { return Value(Storage::array(*arena_, items, n)); }

// A short key's bit comes from its word, a longer one's from its first seven bytes and its size.
std::uint64_t TableBuilder::filter_bit(std::string_view key) {
    std::uint64_t sketch;
    if (!Storage::short_key_word(key, sketch)) {
        Storage::short_key_word(key.substr(0, Key::inline_capacity), sketch);
        sketch += key.size() << 4;
    }
    return std::uint64_t{1} << ((sketch * 0x9E3779B97F4A7C15ull) >> 58);
}

std::uint64_t TableBuilder::filter_bit(const Key& key) {
    const std::uint64_t word = Storage::word(key);
    if (Storage::is_short(key)) return std::uint64_t{1} << ((word * 0x9E3779B97F4A7C15ull) >> 58);
    return filter_bit(key.view());
}

// Short keys are equal exactly when their words are; a longer key is never equal to a short one.
std::uint32_t TableBuilder::find_linear(const Node& node, std::uint64_t word, std::string_view key) const {
    const std::size_t n = node.entries.size();
    const Entry* entries = node.entries.data();
    if (key.size() <= Key::inline_capacity) {
        for (std::size_t i = 0; i < n; ++i) {
            if (Storage::word(entries[i].key) == word) return static_cast<std::uint32_t>(i);
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            if (entries[i].key.view() == key) return static_cast<std::uint32_t>(i);
        }
    }
    return npos;
}

std::uint32_t TableBuilder::find(NodeId id, std::string_view key) const {
    const Node& node = *node_at_[id];
    if (node.index.empty()) {
        if ((node.filter & filter_bit(key)) == 0) return npos;
        std::uint64_t word = 0;
        Storage::short_key_word(key, word);
        return find_linear(node, word, key);
    }
    const std::size_t mask = node.index.size() - 1;
    for (std::size_t slot = hash_key(key) & mask;; slot = (slot + 1) & mask) {
        std::uint32_t at = node.index[slot];
        if (at == 0) return npos;
        if (node.entries[at - 1].key == key) return at - 1;
    }
}

std::uint32_t TableBuilder::find(NodeId id, const Key& key) const {
    const Node& node = *node_at_[id];
    if (!node.index.empty()) return find(id, key.view());
    if ((node.filter & filter_bit(key)) == 0) return npos;
    return find_linear(node, Storage::word(key), key.view());
}

void TableBuilder::rebuild_index(Node& node) {
    std::size_t capacity = 64;
    while (capacity < node.entries.size() * 2) capacity *= 2;
    node.index.assign(capacity, 0);
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; i < node.entries.size(); ++i) {
        std::size_t slot = hash_key(node.entries[i].key) & mask;
        while (node.index[slot] != 0) slot = (slot + 1) & mask;
        node.index[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

std::uint32_t TableBuilder::add_entry(NodeId id, Key&& key, Value&& value, Meta meta) {
    Node& node = *node_at_[id];
    const auto index = static_cast<std::uint32_t>(node.entries.size());
    if (node.entries.capacity() == 0) {
        // Most tables are small: one allocation each instead of one per doubling.
        node.entries.reserve(first_capacity);
        node.meta.reserve(first_capacity);
    } else if (node.entries.size() == node.entries.capacity() && node.entries.size() >= reuse_limit) {
        // Large tables grow by half, not double, to bound the spare room they hold.
        node.entries.reserve(node.entries.size() + node.entries.size() / 2);
    }
    Entry& entry = node.entries.emplace_back();
    entry.key = std::move(key);
    entry.value = std::move(value);
    node.meta.push_back(meta);
    node.filter |= filter_bit(node.entries.back().key);
    const std::size_t size = node.entries.size();
    if (size > linear_limit) {
        if (node.index.size() < size * 2) {
            rebuild_index(node);
        } else {
            const std::size_t mask = node.index.size() - 1;
            std::size_t slot = hash_key(node.entries.back().key) & mask;
            while (node.index[slot] != 0) slot = (slot + 1) & mask;
            node.index[slot] = index + 1;
        }
    }
    return index;
}

void TableBuilder::add_value(NodeId node, Key&& key, Value&& value, EntryKind kind) {
    add_entry(node, std::move(key), std::move(value), Meta{0, kind});
}

TableBuilder::NodeId TableBuilder::add_table(NodeId node, std::string_view key, EntryKind kind) {
    NodeId child = new_node();
    add_entry(node, this->key(key), Value(), Meta{child, kind});
    return child;
}

TableBuilder::NodeId TableBuilder::add_table_array(NodeId node, std::string_view key) {
    std::uint32_t id;
    if (!free_arrays_.empty()) {
        id = free_arrays_.back();
        free_arrays_.pop_back();
    } else {
        id = static_cast<std::uint32_t>(arrays_.size());
        arrays_.emplace_back();
    }
    NodeId element = new_node();
    arrays_[id].last = element;
    add_entry(node, this->key(key), Value(), Meta{id, EntryKind::TableArray});
    return element;
}

TableBuilder::NodeId TableBuilder::last_element(NodeId node, std::uint32_t index) const {
    return arrays_[node_at_[node]->meta[index].child].last;
}

TableBuilder::NodeId TableBuilder::append_element(NodeId node, std::uint32_t index) {
    TableArrayNode& array = arrays_[node_at_[node]->meta[index].child];
    push_element(array, Value(finish(array.last)));
    array.last = new_node();
    return array.last;
}

TableBuilder::NodeId TableBuilder::new_node() {
    if (!free_nodes_.empty()) {
        NodeId id = free_nodes_.back();
        free_nodes_.pop_back();
        return id;
    }
    node_at_.push_back(&nodes_.emplace_back());
    return static_cast<NodeId>(nodes_.size() - 1);
}

void TableBuilder::release(NodeId id) {
    Node& node = *node_at_[id];
    if (node.entries.capacity() > reuse_limit) {
        node = Node();
    } else {
        node.entries.clear();
        node.meta.clear();
        node.index.clear();
        node.filter = 0;
    }
    if (id != root()) free_nodes_.push_back(id);
}

void TableBuilder::push_element(TableArrayNode& array, Value element) {
    if (array.size == array.capacity) {
        const std::size_t capacity = array.capacity == 0 ? 4 : array.capacity * 2;
        auto* items = static_cast<Value*>(Arena::new_loose(capacity * sizeof(Value)));
        for (std::size_t i = 0; i < array.size; ++i) {
            new (items + i) Value(std::move(array.items[i]));
            array.items[i].~Value();
        }
        if (array.items != nullptr) Arena::free_loose(array.items);
        array.items = items;
        array.capacity = capacity;
    }
    new (array.items + array.size++) Value(std::move(element));
}

Value TableBuilder::finish_table_array(std::uint32_t id) {
    TableArrayNode& array = arrays_[id];
    push_element(array, Value(finish(array.last)));
    arena_->adopt(array.items, array.capacity * sizeof(Value));
    Value items(Storage::array_in_place(array.items, array.size));
    array = TableArrayNode();
    free_arrays_.push_back(id);
    return items;
}

// Recursion here follows the nesting of open tables, which the parser bounds by its depth limit.
void TableBuilder::finish_children(Node& node) {
    for (std::size_t i = 0; i < node.meta.size(); ++i) {
        const Meta meta = node.meta[i];
        switch (meta.kind) {
            case EntryKind::Implicit:
            case EntryKind::Header:
            case EntryKind::Dotted:
                node.entries[i].value = Value(finish(meta.child));
                break;
            case EntryKind::TableArray:
                node.entries[i].value = finish_table_array(meta.child);
                break;
            case EntryKind::Value:
            case EntryKind::Inline:
                break;
        }
    }
}

Table TableBuilder::finish(NodeId id) {
    Node& node = *node_at_[id];
    finish_children(node);
    const std::size_t n = node.entries.size();
    Entry* block = Storage::entries(*arena_, n);
    move_sorted(node, block);
    release(id);
    return Storage::table(block, n);
}

Table TableBuilder::finish_root() {
    Node& node = *node_at_[root()];
    finish_children(node);
    const std::size_t n = node.entries.size();
    Entry* block = Storage::root_entries(*arena_, n);
    move_sorted(node, block);
    release(root());
    return Storage::root_table(std::move(arena_), block, n);
}

const std::vector<std::uint32_t>& TableBuilder::key_order(const std::vector<Entry>& entries) {
    const std::size_t n = entries.size();
    const bool remembered = n <= linear_limit;
    Order& order = remembered ? orders_[n % order_slots] : large_order_;
    if (remembered && order.words.size() == n) {
        std::size_t same = 0;
        while (same < n && Storage::word(entries[same].key) == order.words[same]) ++same;
        if (same == n) return order.positions;
    }
    sorting_.clear();
    bool sorted = true;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view key = entries[i].key.view();
        sorting_.push_back({key_prefix(key), key, static_cast<std::uint32_t>(i)});
        if (i > 0) {
            const KeyAt& previous = sorting_[i - 1];
            const KeyAt& current = sorting_[i];
            sorted = sorted && (previous.prefix < current.prefix ||
                                (previous.prefix == current.prefix && previous.key < current.key));
        }
    }
    if (!sorted) {
        std::sort(sorting_.begin(), sorting_.end(), [](const KeyAt& a, const KeyAt& b) {
            return a.prefix != b.prefix ? a.prefix < b.prefix : a.key < b.key;
        });
    }
    order.positions.clear();
    order.words.clear();
    for (const KeyAt& k : sorting_) order.positions.push_back(k.index);
    if (remembered) {
        // Equal words mean equal keys: short keys compare by their bytes, a long key's word is
        // the address of its arena block, which no other key shares.
        for (const Entry& e : entries) order.words.push_back(Storage::word(e.key));
    }
    if (sorting_.capacity() > reuse_limit) sorting_ = std::vector<KeyAt>();
    return order.positions;
}

void TableBuilder::move_sorted(Node& node, Entry* block) {
    std::vector<Entry>& entries = node.entries;
    const std::vector<std::uint32_t>& order = key_order(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) new (block + i) Entry(std::move(entries[order[i]]));
    if (large_order_.positions.capacity() > reuse_limit) large_order_ = Order();
}

}  // namespace qeld::doc::detail
