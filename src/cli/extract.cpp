#include "cli/commands.h"

namespace qeld::cli {

ExitStatus extract(std::string_view, std::string_view, Writer&, Writer& err) {
    err.write("qeld: extract is not built yet\n");
    return 2;
}

}  // namespace qeld::cli
