#include "common/pages.h"

#include <cstring>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace qeld;

TEST(PagesTest, MappingsAreZeroFilledAndGiveBackWholePages) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    // A whole huge page and a tail of small ones; then small pages only.
    for (const std::size_t size : {pages::huge_page + 4 * page, 6 * page}) {
        auto* bytes = static_cast<unsigned char*>(pages::map(size));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[size - 1], 0);
        std::memset(bytes, 'x', size);
        pages::release(bytes, page, 3 * page);
        EXPECT_EQ(bytes[page - 1], 'x');
        EXPECT_EQ(bytes[page], 0);
        EXPECT_EQ(bytes[3 * page - 1], 0);
        EXPECT_EQ(bytes[3 * page], 'x');
        EXPECT_EQ(bytes[size - 1], 'x');
        pages::release(bytes, page, page);  // an empty range gives back nothing
        EXPECT_EQ(bytes[0], 'x');
        pages::unmap(bytes, size);
    }
}

}  // namespace
