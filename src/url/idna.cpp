#include "url/idna.h"

#include <unicode/uchar.h>
#include <unicode/uidna.h>

#include <algorithm>
#include <cstdint>

#include "common/utf8.h"

namespace qeld::url {

namespace {

// The Bidi rule is left out here: it spans labels, so it is checked below across the whole name.
constexpr std::uint32_t options =
    UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE | UIDNA_CHECK_CONTEXTJ;

// Findings that only matter with hyphen checks or DNS length limits, both of which browsers
// leave off.
constexpr std::uint32_t ignored_errors = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                         UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                         UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

// ICU's conversion of a name takes time that grows with the number of its labels times its
// length, so a name is handed over in runs of whole labels of about this many bytes. Mapping,
// normalization and the checks other than the Bidi rule all work within one label.
constexpr std::size_t run_bytes = 512;

class Processor {
public:
    Processor() { idna_ = uidna_openUTS46(options, &status_); }
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;
    ~Processor() {
        if (idna_ != nullptr) uidna_close(idna_);
    }

    // The converted name and UTS #46's error bits; none when ICU itself failed.
    template <class Convert>
    std::optional<std::string> convert(Convert function, std::string_view name, std::uint32_t& errors) {
        if (U_FAILURE(status_) || idna_ == nullptr) return std::nullopt;
        std::string out(name.size() * 4 + 16, '\0');
        for (int attempt = 0; attempt < 2; ++attempt) {
            UErrorCode status = U_ZERO_ERROR;
            UIDNAInfo info = UIDNA_INFO_INITIALIZER;
            int32_t length = function(idna_, name.data(), static_cast<int32_t>(name.size()), out.data(),
                                      static_cast<int32_t>(out.size()), &info, &status);
            if (status == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
                out.assign(static_cast<std::size_t>(length), '\0');
                continue;
            }
            if (U_FAILURE(status)) return std::nullopt;
            out.resize(static_cast<std::size_t>(length));
            errors = info.errors;
            return out;
        }
        return std::nullopt;
    }

private:
    UErrorCode status_ = U_ZERO_ERROR;
    UIDNA* idna_ = nullptr;
};

bool starts_with_ace_prefix(std::string_view label) {
    return label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' && label[2] == '-' &&
           label[3] == '-';
}

// The length of the label separator at the start of the text: the full stop and the three
// characters that UTS #46 maps to it (U+3002, U+FF0E, U+FF61); 0 for anything else.
std::size_t separator_length(std::string_view text) {
    if (text.empty()) return 0;
    if (text[0] == '.') return 1;
    if (text.size() < 3) return 0;
    const std::string_view three = text.substr(0, 3);
    return three == "\xE3\x80\x82" || three == "\xEF\xBC\x8E" || three == "\xEF\xBD\xA1" ? 3 : 0;
}

constexpr std::uint32_t mask(UCharDirection direction) { return std::uint32_t{1} << direction; }

constexpr std::uint32_t l_mask = mask(U_LEFT_TO_RIGHT);
constexpr std::uint32_t r_al_mask = mask(U_RIGHT_TO_LEFT) | mask(U_RIGHT_TO_LEFT_ARABIC);
constexpr std::uint32_t en_an_mask = mask(U_EUROPEAN_NUMBER) | mask(U_ARABIC_NUMBER);
constexpr std::uint32_t neutral_mask = mask(U_EUROPEAN_NUMBER_SEPARATOR) | mask(U_COMMON_NUMBER_SEPARATOR) |
                                       mask(U_EUROPEAN_NUMBER_TERMINATOR) | mask(U_OTHER_NEUTRAL) |
                                       mask(U_BOUNDARY_NEUTRAL) | mask(U_DIR_NON_SPACING_MARK);

// The Bidi rule of RFC 5893, section 2, which every label must meet once any label of the name
// is right-to-left (holds a character of class R, AL or AN).
class BidiRule {
public:
    // One label as UTS #46 checks it: mapped, normalized, decoded from Punycode.
    void add_label(std::string_view label) {
        if (label.empty()) return;
        std::uint32_t first = 0;
        std::uint32_t last = 0;  // of the last character that is not a non-spacing mark
        std::uint32_t all = 0;
        for (std::size_t at = 0; at < label.size();) {
            const std::size_t length = utf8_sequence_length(label.substr(at));
            // ICU writes valid UTF-8; a byte that were not would count as U+FFFD.
            const char32_t c = length == 0 ? U'\uFFFD' : decode_utf8_sequence(label.substr(at, length));
            const std::uint32_t direction = mask(u_charDirection(static_cast<UChar32>(c)));
            if (at == 0) first = direction;
            if (at == 0 || direction != mask(U_DIR_NON_SPACING_MARK)) last = direction;
            all |= direction;
            at += std::max<std::size_t>(length, 1);
        }
        bool meets = (first & (l_mask | r_al_mask)) != 0;
        if ((first & l_mask) != 0) {
            meets = meets && (last & (l_mask | mask(U_EUROPEAN_NUMBER))) != 0 &&
                    (all & ~(l_mask | mask(U_EUROPEAN_NUMBER) | neutral_mask)) == 0;
        } else {
            meets = meets && (last & (r_al_mask | en_an_mask)) != 0 &&
                    (all & ~(r_al_mask | en_an_mask | neutral_mask)) == 0 && (all & en_an_mask) != en_an_mask;
        }
        any_right_to_left_ = any_right_to_left_ || (all & (r_al_mask | mask(U_ARABIC_NUMBER))) != 0;
        any_failing_ = any_failing_ || !meets;
    }
    bool broken() const { return any_right_to_left_ && any_failing_; }

private:
    bool any_right_to_left_ = false;
    bool any_failing_ = false;
};

// Converts one run of whole labels and appends its ASCII form; false when UTS #46 refuses it.
bool append_run(Processor& processor, std::string_view run, std::string& ascii, BidiRule& bidi) {
    std::uint32_t errors = 0;
    auto converted = processor.convert(uidna_nameToASCII_UTF8, run, errors);
    if (!converted || (errors & ~ignored_errors) != 0) return false;
    // Labels that ICU left as they were are their own Unicode form; the others are decoded.
    std::string unicode;
    std::string_view labels = *converted;
    if (converted->find("xn--") != std::string::npos) {
        std::uint32_t unicode_errors = 0;
        auto decoded = processor.convert(uidna_nameToUnicodeUTF8, run, unicode_errors);
        if (!decoded) return false;
        unicode = std::move(*decoded);
        labels = unicode;
    }
    for (;;) {
        const std::size_t dot = labels.find('.');
        const std::string_view label = labels.substr(0, dot);
        bidi.add_label(label);
        // Without hyphen checks a label may still not begin with "xn--" once decoded, a rule
        // newer than the ICU versions in common use.
        if ((errors & UIDNA_ERROR_HYPHEN_3_4) != 0 && starts_with_ace_prefix(label)) return false;
        if (dot == std::string_view::npos) break;
        labels.remove_prefix(dot + 1);
    }
    ascii += *converted;
    return true;
}

}  // namespace

std::optional<std::string> unicode_domain_to_ascii(std::string_view domain) {
    if (domain.size() > INT32_MAX / 4 - 16) return std::nullopt;
    Processor processor;
    BidiRule bidi;
    std::string ascii;
    // Runs end at a separator, which the output writes as a full stop.
    std::size_t run_start = 0;
    for (std::size_t at = 0;;) {
        std::size_t separator = 0;
        while (at < domain.size() && (separator = separator_length(domain.substr(at))) == 0) ++at;
        const bool last = at == domain.size();
        if (last || at - run_start >= run_bytes) {
            if (!append_run(processor, domain.substr(run_start, at - run_start), ascii, bidi)) return std::nullopt;
            if (last) break;
            ascii.push_back('.');
            run_start = at + separator;
        }
        at += separator;
    }
    if (bidi.broken()) return std::nullopt;
    return ascii;
}

}  // namespace qeld::url
