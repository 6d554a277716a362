// Runs extraction on arbitrary bytes as a document.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/utf8.h"
#include "document/parse.h"
#include "extract/extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!qeld::is_valid_utf8(text)) return 0;
    auto document = qeld::doc::parse(text);
    if (!document) return 0;
    (void)qeld::extract::generate_schema(*document);
    return 0;
}
