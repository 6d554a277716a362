#pragma once
// Anonymous memory for large buffers, in mappings aligned to 2 MiB that the kernel is asked to back
// with huge pages: filling one then costs a page fault per 2 MiB instead of one per 4 KiB, which
// is most of the time a large document takes where faults are dear (virtual machines).

#include <cstddef>

namespace qeld::pages {

constexpr std::size_t huge_page = 2 * 1024 * 1024;

// A mapping of at least `size` bytes (rounded up to whole huge pages), zero-filled, or nullptr.
void* map(std::size_t size) noexcept;
// Unmaps what map(size) gave.
void unmap(void* mapping, std::size_t size) noexcept;
// Gives back the pages of [offset, end) of a mapping, which then read as zero bytes; both are
// multiples of huge_page.
void release(void* mapping, std::size_t offset, std::size_t end) noexcept;

constexpr std::size_t rounded(std::size_t size) { return (size + huge_page - 1) & ~(huge_page - 1); }

}  // namespace qeld::pages
