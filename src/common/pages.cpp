#include "common/pages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace qeld::pages {

namespace {

std::size_t small_page() noexcept {
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t whole_huge_pages(std::size_t size) noexcept { return size & ~(huge_page - 1); }

}  // namespace

void* map(std::size_t size) noexcept {
    if (size > SIZE_MAX - huge_page) return nullptr;
    // Mapped with a huge page to spare, then trimmed to an aligned run.
    const std::size_t reserve = size + huge_page;
    void* raw = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + huge_page - 1) & ~std::uintptr_t{huge_page - 1};
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t page = small_page();
    const std::uintptr_t page_end = (aligned + size + page - 1) & ~(page - 1);
    if (start + reserve > page_end) ::munmap(reinterpret_cast<void*>(page_end), start + reserve - page_end);
    void* mapping = reinterpret_cast<void*>(aligned);
    // Only advice: where the kernel refuses it, or the system does not know the filling at all
    // (before Linux 5.14), the mapping is the same zero-filled memory, faulted in as written.
    const std::size_t whole = whole_huge_pages(size);
    if (whole > 0) ::madvise(mapping, whole, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    if (size > whole) ::madvise(static_cast<char*>(mapping) + whole, size - whole, MADV_POPULATE_WRITE);
#endif
    return mapping;
}

void unmap(void* mapping, std::size_t size) noexcept { ::munmap(mapping, size); }

std::size_t whole_pages_before(std::size_t size, std::size_t offset) noexcept {
    const std::size_t small_from = whole_huge_pages(size);
    if (offset < small_from) return whole_huge_pages(offset);
    return offset & ~(small_page() - 1);
}

void release(void* mapping, std::size_t offset, std::size_t end) noexcept {
    if (end > offset) ::madvise(static_cast<char*>(mapping) + offset, end - offset, MADV_DONTNEED);
}

}  // namespace qeld::pages
