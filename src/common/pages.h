#pragma once
// Anonymous memory for large buffers, in mappings aligned to 2 MiB whose whole 2 MiB runs the
// kernel is asked to back with huge pages: filling one then costs a page fault per 2 MiB instead
// of one per 4 KiB, and reading it far fewer TLB misses, which is much of the time a large
// document takes where both are dear (virtual machines).

#include <cstddef>

namespace qeld::pages {

constexpr std::size_t huge_page = 2 * 1024 * 1024;

// A mapping of `size` (> 0) bytes, zero-filled, or nullptr. The last part of a size that is not a
// multiple of huge_page takes small pages, so that no more memory is touched than asked for; they
// are filled at once, in one call instead of a page fault each.
void* map(std::size_t size) noexcept;
// Unmaps what map(size) gave.
void unmap(void* mapping, std::size_t size) noexcept;
// Gives back the pages of [offset, end) of a mapping, which then read as zero bytes; both are
// multiples of the page size (a huge page partly given back is split first, by the kernel).
void release(void* mapping, std::size_t offset, std::size_t end) noexcept;

}  // namespace qeld::pages
