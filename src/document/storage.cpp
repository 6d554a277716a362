#include "document/storage.h"

#include <cstring>
#include <new>

namespace qeld::doc::detail {

namespace {

void set_block(Cell& cell, Holder holder, const void* block, std::size_t n) {
    cell.aux = holder;
    cell.set_size48(n);
    cell.set_pointer(const_cast<void*>(block));
}

}  // namespace

Key Storage::key(Arena& arena, std::string_view text) {
    if (text.size() <= Key::inline_capacity) return Key(text);
    const std::size_t size = text.size();
    char* block = static_cast<char*>(arena.allocate(sizeof size + size));
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, text.data(), size);
    Key k;
    k.set_block(block, true);
    return k;
}

String Storage::string(Arena& arena, std::string_view text) {
    if (text.size() <= String::inline_capacity) return String(text);
    char* bytes = arena.allocate_bytes(text.size());
    std::memcpy(bytes, text.data(), text.size());
    String s;
    s.cell_.aux = String::in_arena;
    s.cell_.set_size48(text.size());
    s.cell_.set_pointer(bytes);
    return s;
}

Array Storage::array(Arena& arena, Value* items, std::size_t n) {
    Array a;
    if (n == 0) return a;
    auto* block = static_cast<Value*>(arena.allocate(n * sizeof(Value)));
    for (std::size_t i = 0; i < n; ++i) new (block + i) Value(std::move(items[i]));
    set_block(a.cell_, held, block, n);
    return a;
}

Array Storage::array_in_place(Value* items, std::size_t n) {
    Array a;
    if (n != 0) set_block(a.cell_, held, items, n);
    return a;
}

Entry* Storage::entries(Arena& arena, std::size_t n) {
    return n == 0 ? nullptr : static_cast<Entry*>(arena.allocate(n * sizeof(Entry)));
}

Table Storage::table(Entry* entries, std::size_t n) {
    Table t;
    if (n != 0) set_block(t.cell_, held, entries, n);
    return t;
}

Entry* Storage::root_entries(Arena& arena, std::size_t n) {
    static_assert(sizeof(Arena*) <= alignof(Entry));
    char* block = static_cast<char*>(arena.allocate(alignof(Entry) + n * sizeof(Entry)));
    return reinterpret_cast<Entry*>(block + alignof(Entry));
}

Table Storage::root_table(std::unique_ptr<Arena> arena, Entry* entries, std::size_t n) {
    Arena* owner = arena.release();
    std::memcpy(reinterpret_cast<char*>(entries) - sizeof owner, &owner, sizeof owner);
    Table t;
    set_block(t.cell_, root, entries, n);
    return t;
}

}  // namespace qeld::doc::detail
