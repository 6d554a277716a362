#include "common/pages.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

namespace {

using namespace qeld;

TEST(PagesTest, MappingsAreAlignedZeroFilledAndGiveBackWholePages) {
    const std::size_t size = 2 * pages::huge_page + 100;  // rounds up to three huge pages
    auto* bytes = static_cast<unsigned char*>(pages::map(size));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % pages::huge_page, 0u);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[pages::rounded(size) - 1], 0);
    std::memset(bytes, 'x', pages::rounded(size));
    pages::release(bytes, 0, pages::huge_page);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[pages::huge_page - 1], 0);
    EXPECT_EQ(bytes[pages::huge_page], 'x');
    pages::unmap(bytes, size);
}

TEST(PagesTest, SizesRoundUpToWholeHugePages) {
    EXPECT_EQ(pages::rounded(1), pages::huge_page);
    EXPECT_EQ(pages::rounded(pages::huge_page), pages::huge_page);
    EXPECT_EQ(pages::rounded(pages::huge_page + 1), 2 * pages::huge_page);
}

}  // namespace
