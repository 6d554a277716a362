#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"

namespace qeld {
namespace {

TEST(Utf8, StrictFormsAccepted) {
    for (const std::string& text : std::initializer_list<std::string>{"", "plain ascii", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
                                   "\xEF\xBF\xBF", std::string("nul\0inside", 10)}) {
        EXPECT_TRUE(is_valid_utf8(text)) << text;
    }
}

TEST(Utf8, FaultsRefused) {
    for (const std::string& text : std::initializer_list<std::string>{"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80",
                                   "\xC3", "\xE2\x82", "\xC3\x28", "\xFF"}) {
        EXPECT_FALSE(is_valid_utf8(text)) << text;
    }
}

// Runs of ASCII are checked several bytes at a time: a fault must be found wherever it falls
// within or after such a run, and a sequence must be decoded when it straddles a run's end.
TEST(Utf8, FaultsFoundAtEveryOffset) {
    for (std::size_t at = 0; at < 20; ++at) {
        std::string text(24, 'a');
        text[at] = '\xC3';
        EXPECT_FALSE(is_valid_utf8(text.substr(0, at + 1))) << at;  // truncated at the very end
        text[at + 1] = '\xA9';
        EXPECT_TRUE(is_valid_utf8(text)) << at;
        text[at + 1] = 'b';
        EXPECT_FALSE(is_valid_utf8(text)) << at;
        text[at] = '\x80';
        EXPECT_FALSE(is_valid_utf8(text)) << at;
    }
}

}  // namespace
}  // namespace qeld
