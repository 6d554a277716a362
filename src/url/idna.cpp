#include "url/idna.h"

#include <unicode/uidna.h>

#include <cstdint>

namespace qeld::url {

namespace {

constexpr std::uint32_t options =
    UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE | UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ;

// Findings that only matter with hyphen checks or DNS length limits, both of which browsers
// leave off.
constexpr std::uint32_t ignored_errors = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                         UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                         UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

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

// Without hyphen checks a label may still not begin with "xn--" once decoded, a rule newer than
// the ICU versions in common use.
bool has_decoded_ace_prefix(Processor& processor, std::string_view domain) {
    std::uint32_t errors = 0;
    auto unicode = processor.convert(uidna_nameToUnicodeUTF8, domain, errors);
    if (!unicode) return true;
    std::string_view rest = *unicode;
    for (;;) {
        std::size_t dot = rest.find('.');
        if (starts_with_ace_prefix(rest.substr(0, dot))) return true;
        if (dot == std::string_view::npos) return false;
        rest.remove_prefix(dot + 1);
    }
}

}  // namespace

std::optional<std::string> unicode_domain_to_ascii(std::string_view domain) {
    if (domain.size() > INT32_MAX / 4 - 16) return std::nullopt;
    Processor processor;
    std::uint32_t errors = 0;
    auto ascii = processor.convert(uidna_nameToASCII_UTF8, domain, errors);
    if (!ascii || (errors & ~ignored_errors) != 0) return std::nullopt;
    if ((errors & UIDNA_ERROR_HYPHEN_3_4) != 0 && has_decoded_ace_prefix(processor, domain)) return std::nullopt;
    return ascii;
}

}  // namespace qeld::url
