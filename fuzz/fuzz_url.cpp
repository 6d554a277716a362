// Parses arbitrary text as a URL on its own and as a reference against a document's file URL:
// nothing may crash, and every URL must read back from what it writes out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "url/url.h"

namespace {

void check_reads_back(const qeld::url::Url& url) {
    std::string written = qeld::url::serialize(url);
    auto again = qeld::url::parse(written);
    if (!again || qeld::url::serialize(*again) != written) std::abort();
    (void)qeld::url::to_file_path(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto url = qeld::url::parse(text)) check_reads_back(*url);
    static const auto base = qeld::url::from_file_path("/w/C:/doc.toml");
    if (auto url = qeld::url::parse_with_base(text, *base)) check_reads_back(*url);
    return 0;
}
