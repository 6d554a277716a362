#include "document/arena.h"

#include <new>

namespace qeld::doc::detail {

namespace {

constexpr std::size_t header = (sizeof(void*) + 7) & ~std::size_t{7};

}  // namespace

Arena::~Arena() {
    while (blocks_ != nullptr) {
        Block* next = blocks_->next;
        ::operator delete(blocks_);
        blocks_ = next;
    }
}

Arena::Block* Arena::new_block(std::size_t size) {
    auto* block = static_cast<Block*>(::operator new(header + size));
    reserved_ += header + size;
    return block;
}

void Arena::link_behind(Block* block) noexcept {
    if (blocks_ == nullptr) {
        block->next = nullptr;
        blocks_ = block;
    } else {
        block->next = blocks_->next;
        blocks_->next = block;
    }
}

void* Arena::allocate_slow(std::size_t size, bool aligned) {
    // A piece larger than a quarter of the next block gets a block of its own, kept behind the
    // current one, so that the free room of the current block is not given up for it.
    if (size > next_size_ / 4) {
        Block* block = new_block(size);
        link_behind(block);
        return reinterpret_cast<char*>(block) + header;
    }
    Block* block = new_block(next_size_);
    block->next = blocks_;
    blocks_ = block;
    low_ = reinterpret_cast<char*>(block) + header;
    high_ = low_ + next_size_;
    if (next_size_ < largest_block) next_size_ *= 2;
    return aligned ? allocate(size) : allocate_bytes(size);
}

void* Arena::new_loose(std::size_t size) { return static_cast<char*>(::operator new(header + size)) + header; }

void Arena::free_loose(void* piece) noexcept { ::operator delete(static_cast<char*>(piece) - header); }

void Arena::adopt(void* piece, std::size_t size) noexcept {
    link_behind(reinterpret_cast<Block*>(static_cast<char*>(piece) - header));
    reserved_ += header + size;
}

}  // namespace qeld::doc::detail
