#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_UNRELEASED_FEATURES 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include "toml_floor.h"

namespace qeld::bench {

bool parse_with_tomlpp(std::string_view text) {
    toml::parse_result result = toml::parse(text);
    return static_cast<bool>(result);
}

}  // namespace qeld::bench
