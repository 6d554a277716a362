#include "schema/path_key.h"

#include "document/key.h"

namespace qeld::schema {

std::string encode_path_key(std::string_view key) {
    if (doc::is_bare_key(key)) return std::string(key);
    return doc::quote_basic_string(key);
}

}  // namespace qeld::schema
