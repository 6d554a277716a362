#include "common/system_error.h"

#include <cstring>

namespace qeld {

std::string system_error_text(int error_number) {
    return std::string(std::strerror(error_number)) + " (os error " + std::to_string(error_number) + ")";
}

}  // namespace qeld
