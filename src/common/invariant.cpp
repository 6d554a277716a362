#include "common/invariant.h"

#include <string>
#include <unistd.h>

namespace qeld {

void invariant_failure(std::string_view what) {
    std::string line = "internal error: ";
    line.append(what);
    line.push_back('\n');
    // Best effort only: the process ends whatever the write does.
    [[maybe_unused]] auto written = ::write(2, line.data(), line.size());
    ::_exit(101);
}

}  // namespace qeld
