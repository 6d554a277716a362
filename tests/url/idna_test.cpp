// The conversion of a domain in runs of labels gives what ICU gives for the whole name at once.

#include <gtest/gtest.h>

#include <unicode/uidna.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "url/idna.h"

namespace qeld::url {
namespace {

// One call of ICU on the whole name, with the Bidi rule left to it: the conversion as it was
// made before names were split into runs.
class WholeName {
public:
    WholeName() {
        UErrorCode status = U_ZERO_ERROR;
        idna_ = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE |
                                    UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ,
                                &status);
    }
    WholeName(const WholeName&) = delete;
    WholeName& operator=(const WholeName&) = delete;
    ~WholeName() { uidna_close(idna_); }

    std::optional<std::string> to_ascii(const std::string& name) const {
        std::uint32_t errors = 0;
        auto ascii = convert(uidna_nameToASCII_UTF8, name, errors);
        constexpr std::uint32_t ignored = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                          UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                          UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;
        if (!ascii || (errors & ~ignored) != 0) return std::nullopt;
        if ((errors & UIDNA_ERROR_HYPHEN_3_4) != 0) {
            auto unicode = convert(uidna_nameToUnicodeUTF8, name, errors);
            if (!unicode) return std::nullopt;
            std::string_view rest = *unicode;
            for (;;) {
                std::string_view label = rest.substr(0, rest.find('.'));
                if (label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-' &&
                    label[3] == '-')
                    return std::nullopt;
                if (label.size() == rest.size()) break;
                rest.remove_prefix(label.size() + 1);
            }
        }
        return ascii;
    }

private:
    template <class Convert>
    std::optional<std::string> convert(Convert function, const std::string& name, std::uint32_t& errors) const {
        std::string out(name.size() * 4 + 16, '\0');
        UErrorCode status = U_ZERO_ERROR;
        UIDNAInfo info = UIDNA_INFO_INITIALIZER;
        int32_t length = function(idna_, name.data(), static_cast<int32_t>(name.size()), out.data(),
                                  static_cast<int32_t>(out.size()), &info, &status);
        if (U_FAILURE(status)) return std::nullopt;
        out.resize(static_cast<std::size_t>(length));
        errors = info.errors;
        return out;
    }

    UIDNA* idna_ = nullptr;
};

std::string show(const std::optional<std::string>& ascii) { return ascii ? "\"" + *ascii + "\"" : "refused"; }

// Pieces that exercise every rule: case mapping, deviations, joiners in and out of context, each
// Bidi class that the rule looks at, leading marks, Punycode good and bad, disallowed characters,
// and the four label separators.
const std::vector<std::string> pieces = {
    "a", "Z", "q", "0", "7", "-", "--", "_", " ", "xn--", "XN--", "xn--tda", "xn--a", "xn--zca", "xn--4dbc",
    "xn--xn---epa", "ab--c", "\u00FC", "\u00DF", "\u03C2", "\u0301", "\u200C", "\u200D", "\u094D",
    "\u05D0", "\u05D1", "\u0627", "\u0628", "\u0661", "\u06F1", "\u0300", "\u0644", "\u0663", "\u00A0",
    "\uFDD0", "\uFFFD", "\u2488", "\U0001D7CE", "\uFB50", "\u3002", "\uFF0E", "\uFF61", ".", ".", ".",
};

std::string random_name(std::mt19937& random, std::size_t max_pieces) {
    std::uniform_int_distribution<std::size_t> count(1, max_pieces);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::string name;
    for (std::size_t n = count(random); n > 0; --n) name += pieces[pick(random)];
    return name;
}

TEST(Idna, RunsOfLabelsGiveWhatTheWholeNameGives) {
    WholeName whole;
    std::mt19937 random(28);
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string name = random_name(random, 12);
        const auto expected = whole.to_ascii(name);
        accepted += expected.has_value() ? 1 : 0;
        ASSERT_EQ(show(unicode_domain_to_ascii(name)), show(expected)) << name;
    }
    // Both outcomes are well represented.
    EXPECT_GT(accepted, 2000);
    EXPECT_LT(accepted, 18000);
}

TEST(Idna, LongNamesAcrossRunsGiveWhatTheWholeNameGives) {
    WholeName whole;
    std::mt19937 random(46);
    for (int i = 0; i < 300; ++i) {
        std::string name;
        while (name.size() < 3000) name += random_name(random, 6) + ".";
        name += random_name(random, 6);
        ASSERT_EQ(show(unicode_domain_to_ascii(name)), show(whole.to_ascii(name))) << name;
    }
}

// The Bidi rule holds across the whole name: a right-to-left label far from a label that breaks
// the rule still refuses the name.
TEST(Idna, BidiRuleSpansTheWholeName) {
    WholeName whole;
    std::string filler;
    for (int i = 0; i < 1000; ++i) filler += "\u00FC.";
    struct Case {
        std::string name;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {filler + "\u05D0\u05D1", true},
        {"1a." + filler + "\u05D0\u05D1", false},
        {"\u05D0\u05D1." + filler + "a-", false},
        {"\u05D0\u05D1." + filler + "ab", true},
        {"a\u0663\u3002" + filler + "b", false},
        {"\u0627." + filler + "\u0627\u0661\u0031", false},
        {filler + "." + filler, true},
        {filler + "\uFF0E", true},
        {filler + "\u00FC\u200D", false},
    };
    for (const Case& c : cases) {
        const auto expected = whole.to_ascii(c.name);
        EXPECT_EQ(expected.has_value(), c.accepted) << c.name.substr(0, 40);
        EXPECT_EQ(show(unicode_domain_to_ascii(c.name)), show(expected)) << c.name.substr(0, 40);
    }
}

}  // namespace
}  // namespace qeld::url
