#include "document/arena.h"

#include <new>

#include "common/pages.h"

namespace qeld::doc::detail {

namespace {

constexpr std::size_t header = 16;

}  // namespace

Arena::~Arena() {
    while (blocks_ != nullptr) {
        Block* next = blocks_->next;
        if (blocks_->mapped != 0) {
            pages::unmap(blocks_, blocks_->mapped);
        } else {
            ::operator delete(blocks_);
        }
        blocks_ = next;
    }
}

Arena::Block* Arena::new_block(std::size_t size, bool mappable) {
    if (mappable) {
        if (void* mapping = pages::map(header + size)) {
            auto* block = static_cast<Block*>(mapping);
            block->mapped = header + size;
            reserved_ += header + size;
            return block;
        }
    }
    auto* block = static_cast<Block*>(::operator new(header + size));
    block->mapped = 0;
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
        Block* block = new_block(size, false);
        link_behind(block);
        return reinterpret_cast<char*>(block) + header;
    }
    // A block of the largest size fills its mapping exactly, header included.
    const bool largest = next_size_ == largest_block;
    const std::size_t room = largest ? largest_block - header : next_size_;
    Block* block = new_block(room, room >= populated_from);
    block->next = blocks_;
    blocks_ = block;
    low_ = reinterpret_cast<char*>(block) + header;
    high_ = low_ + room;
    if (next_size_ < largest_block) next_size_ *= 4;
    return aligned ? allocate(size) : allocate_bytes(size);
}

void* Arena::new_loose(std::size_t size) { return static_cast<char*>(::operator new(header + size)) + header; }

void Arena::free_loose(void* piece) noexcept { ::operator delete(static_cast<char*>(piece) - header); }

void Arena::adopt(void* piece, std::size_t size) noexcept {
    auto* block = reinterpret_cast<Block*>(static_cast<char*>(piece) - header);
    block->mapped = 0;
    link_behind(block);
    reserved_ += header + size;
}

}  // namespace qeld::doc::detail
