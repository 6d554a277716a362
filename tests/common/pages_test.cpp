// The page policy: aligned mappings, whole 2 MiB runs advised as huge pages and the rest filled at
// once in small pages, and parts given back in whole pages that then read as zero and are no
// longer resident while the rest keeps its bytes.

#include "common/pages.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mman.h>

#include <gtest/gtest.h>

#include "support/residency.h"

namespace {

using namespace qeld;
using qeld::testing::resident_pages;

const std::size_t page = qeld::testing::small_page_size();

// The VmFlags of the mapping that starts at the address, from /proc/self/smaps ("" if none does).
std::string vm_flags(const void* start) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool in_mapping = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0;
        std::istringstream fields(line);
        if (line.find('-') != std::string::npos && (fields >> std::hex >> from) && fields.peek() == '-') {
            in_mapping = from == reinterpret_cast<std::uintptr_t>(start);
        } else if (in_mapping && line.rfind("VmFlags:", 0) == 0) {
            return line + " ";
        }
    }
    return "";
}

TEST(PagesTest, WholeHugeRunsAreAdvisedAndTheRestIsFilledAtOnce) {
    const std::size_t size = 2 * pages::huge_page + 5 * page + 100;
    auto* bytes = static_cast<unsigned char*>(pages::map(size));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % pages::huge_page, 0u);
    unsigned char* tail = bytes + 2 * pages::huge_page;
    // Filled at once: every small page of the rest is resident before it is touched, unless the
    // kernel does not know the advice.
    bool can_populate = false;
#ifdef MADV_POPULATE_WRITE
    void* probe = ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(probe, MAP_FAILED);
    can_populate = ::madvise(probe, page, MADV_POPULATE_WRITE) == 0;
    ::munmap(probe, page);
#endif
    if (can_populate) {
        EXPECT_EQ(resident_pages(tail, size - 2 * pages::huge_page), 6u);
    }
    EXPECT_EQ(resident_pages(bytes, 2 * pages::huge_page), 0u);
    if (std::filesystem::exists("/sys/kernel/mm/transparent_hugepage")) {
        EXPECT_NE(vm_flags(bytes).find(" hg "), std::string::npos) << vm_flags(bytes);
        EXPECT_EQ(vm_flags(tail).find(" hg "), std::string::npos) << vm_flags(tail);
    }
    for (const std::size_t at : {std::size_t{0}, pages::huge_page, 2 * pages::huge_page, size - 1}) {
        EXPECT_EQ(bytes[at], 0) << at;
    }
    pages::unmap(bytes, size);
}

TEST(PagesTest, WholePagesAreHugeWithinHugeRunsAndSmallInTheRest) {
    constexpr std::size_t huge = pages::huge_page;
    const std::size_t size = 3 * huge + 10 * page + 7;
    struct Case {
        std::size_t offset;
        std::size_t end;
    };
    const Case cases[] = {
        {0, 0},
        {huge - 1, 0},
        {huge + 5 * page, huge},
        {3 * huge - 1, 2 * huge},
        {3 * huge, 3 * huge},
        {3 * huge + 3 * page + 1, 3 * huge + 3 * page},
        {size, 3 * huge + 10 * page},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pages::whole_pages_before(size, c.offset), c.end) << c.offset;
    }
    // A mapping without a whole huge page is small pages only.
    EXPECT_EQ(pages::whole_pages_before(huge - 1, 5 * page + 3), 5 * page);
}

TEST(PagesTest, GivenBackPagesReadAsZeroAndAreNoLongerResident) {
    const std::size_t size = pages::huge_page + 6 * page + 100;
    auto* bytes = static_cast<unsigned char*>(pages::map(size));
    ASSERT_NE(bytes, nullptr);
    std::memset(bytes, 'x', size);
    ASSERT_EQ(resident_pages(bytes, size), pages::huge_page / page + 7);
    // The huge page, and two small pages of the rest.
    const std::size_t from = pages::huge_page + page;
    pages::release(bytes, 0, pages::huge_page);
    pages::release(bytes, from, from + 2 * page);
    pages::release(bytes, from, from);  // an empty range gives back nothing
    EXPECT_EQ(resident_pages(bytes, pages::huge_page), 0u);
    EXPECT_EQ(resident_pages(bytes + from, 2 * page), 0u);
    EXPECT_EQ(resident_pages(bytes + pages::huge_page, page), 1u);
    EXPECT_EQ(resident_pages(bytes + from + 2 * page, size - from - 2 * page), 4u);
    for (std::size_t i = 0; i < size; ++i) {
        const bool given_back = i < pages::huge_page || (i >= from && i < from + 2 * page);
        ASSERT_EQ(bytes[i], given_back ? 0 : 'x') << i;
    }
    pages::unmap(bytes, size);
}

}  // namespace
