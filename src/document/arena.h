#pragma once
// The storage of one parsed document: large blocks handed out in pieces, never freed piece by
// piece, and released together when the document goes.

#include <cstddef>

namespace qeld::doc::detail {

class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena();

    // Room for `size` (> 0) bytes aligned to 8.
    void* allocate(std::size_t size) {
        size = (size + 7) & ~std::size_t{7};
        if (static_cast<std::size_t>(high_ - low_) < size) return allocate_slow(size, true);
        void* p = low_;
        low_ += size;
        return p;
    }

    // Room for `size` (> 0) bytes of no alignment (string bytes). They are taken from the far end of the
    // free room, so that aligned pieces need no padding.
    char* allocate_bytes(std::size_t size) {
        if (static_cast<std::size_t>(high_ - low_) < size) return static_cast<char*>(allocate_slow(size, false));
        high_ -= size;
        return high_;
    }

    // The bytes of all blocks, free room included.
    std::size_t reserved() const { return reserved_; }

    // A block of its own outside any arena, for a piece that grows: moved to a larger loose block
    // as it fills, then adopted whole by the arena, which frees it with the others. Until it is
    // adopted, free_loose must free it.
    static void* new_loose(std::size_t size);
    static void free_loose(void* piece) noexcept;
    void adopt(void* piece, std::size_t size) noexcept;

private:
    // A small document takes one small block; blocks then grow four-fold up to the largest size,
    // so that a large document costs few allocations and leaves at most one block's free room
    // unused, and reaches huge pages after less than 1 MiB.
    // Blocks of the largest size are mapped on their own, as huge pages where the kernel has them.
    static constexpr std::size_t first_block = 8 * 1024;
    static constexpr std::size_t largest_block = 2 * 1024 * 1024;
    // Smaller blocks from this size on are mapped too, and filled in one call instead of a page
    // fault per small page, which costs at most the last block's unused room in memory.
    static constexpr std::size_t populated_from = 128 * 1024;

    struct Block {
        Block* next;
        std::size_t mapped;  // the size given to pages::map, or 0 for memory of operator new
    };

    void* allocate_slow(std::size_t size, bool aligned);
    // Room for `size` bytes after the header; a mappable block takes a mapping of its own.
    Block* new_block(std::size_t size, bool mappable);
    // Links a block that is not the current one, keeping the current one first.
    void link_behind(Block* block) noexcept;

    char* low_ = nullptr;   // the free room of the current block is [low_, high_)
    char* high_ = nullptr;
    Block* blocks_ = nullptr;
    std::size_t next_size_ = first_block;
    std::size_t reserved_ = 0;
};

}  // namespace qeld::doc::detail
