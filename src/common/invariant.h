#pragma once
#include <string_view>

namespace qeld {

// Ends the process with status 101: a condition that earlier checks make impossible has occurred.
[[noreturn]] void invariant_failure(std::string_view what);

}  // namespace qeld
