#include <gtest/gtest.h>

#include <cstdint>
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

struct ReplaceCase {
    std::string bytes;
    std::string shown;
};

// Each maximal ill-formed subsequence becomes one U+FFFD: a truncated sequence as a whole, a
// byte that can start no sequence on its own.
TEST(Utf8, InvalidSequencesReplaced) {
    const std::string fffd = "\xEF\xBF\xBD";
    const ReplaceCase cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"a\xFF" "b", "a" + fffd + "b"},
        {"a\xE2\x82" "b", "a" + fffd + "b"},
        {"\xE2\x82", fffd},
        {"\xC0\xAF", fffd + fffd},
        {"\xED\xA0\x80", fffd + fffd + fffd},
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        {"\xF0\x9F\x98", fffd},
        {"\xF0\x9F\x98\x80\x80", "\xF0\x9F\x98\x80" + fffd},
    };
    for (const auto& c : cases) EXPECT_EQ(replace_invalid_utf8(c.bytes), c.shown) << c.bytes;
}

TEST(Utf8, SequencesDecodedAndEncoded) {
    for (char32_t scalar : {U'\0', U'a', U'\x7F', U'\x80', U'\xE9', U'\x7FF', U'\x800', U'\x20AC', U'\xFFFF',
                            U'\x10000', U'\x1F600', U'\x10FFFF'}) {
        std::string text;
        append_utf8(text, scalar);
        ASSERT_EQ(utf8_sequence_length(text), text.size()) << static_cast<std::uint32_t>(scalar);
        EXPECT_EQ(decode_utf8_sequence(text), scalar);
    }
    EXPECT_EQ(utf8_sequence_length(""), 0u);
    EXPECT_EQ(utf8_sequence_length("\xC3"), 0u);
    EXPECT_EQ(utf8_sequence_length("\xC3\xA9rest"), 2u);
}

}  // namespace
}  // namespace qeld
