#include "cli/commands.h"

namespace qeld::cli {

ExitStatus validate_explicit(std::string_view, std::string_view, Writer&, Writer& err) {
    err.write("qeld: validate is not built yet\n");
    return 2;
}

ExitStatus validate_with_embedded_schema(std::string_view, Writer&, Writer& err) {
    err.write("qeld: validate is not built yet\n");
    return 2;
}

ExitStatus report(schema::ValidationResult, std::string_view, Writer&, Writer&) { return 2; }

}  // namespace qeld::cli
