#pragma once
// Anonymous memory for large buffers, with one policy: a mapping is aligned to 2 MiB, its whole
// 2 MiB runs are asked of the kernel as huge pages, and the rest takes small pages, filled at once
// in one call instead of a page fault each. A huge page costs one page fault and one TLB entry
// instead of 512, which is much of the time a large document takes where both are dear (virtual
// machines); the small pages of the rest keep memory to what was asked for. Parts are given back
// in whole pages of the kind they lie in, so that no huge page is ever split.

#include <cstddef>

namespace qeld::pages {

constexpr std::size_t huge_page = 2 * 1024 * 1024;

// A mapping of `size` (> 0) bytes, zero-filled, or nullptr.
void* map(std::size_t size) noexcept;
// Unmaps what map(size) gave.
void unmap(void* mapping, std::size_t size) noexcept;

// The end of the whole pages before `offset` in a mapping of `size` bytes: a multiple of huge_page
// within its huge pages, of the small page size in the rest.
std::size_t whole_pages_before(std::size_t size, std::size_t offset) noexcept;
// Gives back the pages of [offset, end) of a mapping, which then read as zero bytes; both are ends
// of whole pages (whole_pages_before).
void release(void* mapping, std::size_t offset, std::size_t end) noexcept;

}  // namespace qeld::pages
