// Loads arbitrary bytes as a schema: every input must end in a schema or one message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/utf8.h"
#include "schema/model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // The reader refuses text that is not UTF-8 before anything parses it.
    if (!qeld::is_valid_utf8(text)) return 0;
    auto schema = qeld::schema::Schema::from_source("fuzz.qeld", text);
    if (schema) {
        // A loaded schema must validate an empty document without trouble.
        (void)schema->validate(qeld::doc::Table());
    }
    return 0;
}
