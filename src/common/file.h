#pragma once
// Whole-file reading and writing; every failure message names the path.

#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld {

// The whole file as strict UTF-8 text, or "{path}: {system text}" /
// "{path}: stream did not contain valid UTF-8".
Result<std::string> read_text_file(std::string_view path);

// Creates or truncates the file and writes the whole text, or "{path}: {system text}".
Status write_whole_file(std::string_view path, std::string_view text);

}  // namespace qeld
