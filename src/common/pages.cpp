#include "common/pages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace qeld::pages {

void* map(std::size_t size) noexcept {
    if (size > SIZE_MAX - huge_page) return nullptr;
    // Mapped with a huge page to spare, then trimmed to an aligned run.
    const std::size_t reserve = size + huge_page;
    void* raw = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + huge_page - 1) & ~std::uintptr_t{huge_page - 1};
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + size;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t page_end = (tail + page - 1) & ~(page - 1);
    if (start + reserve > page_end) ::munmap(reinterpret_cast<void*>(page_end), start + reserve - page_end);
    void* mapping = reinterpret_cast<void*>(aligned);
    // Only advice: without it the mapping works the same, with pages faulted in as written.
    const std::size_t whole = size & ~(huge_page - 1);
    if (whole > 0) ::madvise(mapping, whole, MADV_HUGEPAGE);
    if (size > whole) ::madvise(static_cast<char*>(mapping) + whole, size - whole, MADV_POPULATE_WRITE);
    return mapping;
}

void unmap(void* mapping, std::size_t size) noexcept { ::munmap(mapping, size); }

void release(void* mapping, std::size_t offset, std::size_t end) noexcept {
    if (end > offset) ::madvise(static_cast<char*>(mapping) + offset, end - offset, MADV_DONTNEED);
}

}  // namespace qeld::pages
