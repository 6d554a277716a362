#include "common/pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace qeld::pages {

void* map(std::size_t size) noexcept {
    const std::size_t length = rounded(size);
    if (length < size) return nullptr;
    // Mapped with a huge page to spare, then trimmed to an aligned run.
    const std::size_t reserve = length + huge_page;
    void* raw = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + huge_page - 1) & ~std::uintptr_t{huge_page - 1};
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + length;
    if (start + reserve > tail) ::munmap(reinterpret_cast<void*>(tail), start + reserve - tail);
    void* mapping = reinterpret_cast<void*>(aligned);
    // Only advice: without huge pages the mapping works the same, with small ones.
    ::madvise(mapping, length, MADV_HUGEPAGE);
    return mapping;
}

void unmap(void* mapping, std::size_t size) noexcept { ::munmap(mapping, rounded(size)); }

void release(void* mapping, std::size_t offset, std::size_t end) noexcept {
    if (end > offset) ::madvise(static_cast<char*>(mapping) + offset, end - offset, MADV_DONTNEED);
}

}  // namespace qeld::pages
