#pragma once
#include <string>

namespace qeld {

// The system's description of an error number followed by " (os error {n})".
std::string system_error_text(int error_number);

}  // namespace qeld
