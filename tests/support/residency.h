#pragma once
// Which small pages of memory the kernel holds: given-back pages must no longer be resident.

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace qeld::testing {

inline std::size_t small_page_size() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

// How many of the small pages of [bytes, bytes + size) are resident; bytes is page-aligned.
inline std::size_t resident_pages(const void* bytes, std::size_t size) {
    const std::size_t page = small_page_size();
    std::vector<unsigned char> resident((size + page - 1) / page);
    if (::mincore(const_cast<void*>(bytes), size, resident.data()) != 0) return SIZE_MAX;
    std::size_t count = 0;
    for (const unsigned char r : resident) count += r & 1;
    return count;
}

}  // namespace qeld::testing
