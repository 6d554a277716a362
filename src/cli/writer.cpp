#include "cli/writer.h"

#include <cerrno>
#include <unistd.h>

namespace qeld::cli {

bool FdWriter::write(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace qeld::cli
