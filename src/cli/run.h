#pragma once
// Command dispatch: the first argument picks one command handler.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/writer.h"

namespace qeld::cli {

using ExitStatus = std::uint8_t;

// Writes the four usage lines, one write each.
void usage(Writer& writer);

ExitStatus run(const std::vector<std::string>& arguments, Writer& out, Writer& err);

}  // namespace qeld::cli
