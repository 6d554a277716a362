#include "cli/run.h"

#include "cli/commands.h"
#include "cli/version.h"

namespace qeld::cli {

void usage(Writer& writer) {
    writer.write("Usage:\n");
    writer.write("  qeld validate <schema.qeld> <document.toml>\n");
    writer.write("  qeld validate <document.toml>\n");
    writer.write("  qeld extract <document.toml> <schema.qeld>\n");
}

ExitStatus run(const std::vector<std::string>& arguments, Writer& out, Writer& err) {
    if (arguments.empty()) {
        usage(out);
        return 0;
    }
    const std::string& command = arguments[0];
    const std::size_t operands = arguments.size() - 1;
    if (command == "-h" || command == "--help") {
        usage(out);
        return 0;
    }
    if (command == "-V" || command == "--version") {
        out.write("qeld " + std::string(version_text) + "\n");
        return 0;
    }
    if (command == "validate") {
        if (operands == 1) return validate_with_embedded_schema(arguments[1], out, err);
        if (operands == 2) return validate_explicit(arguments[1], arguments[2], out, err);
        usage(err);
        return 2;
    }
    if (command == "extract") {
        if (operands == 2) return extract(arguments[1], arguments[2], out, err);
        usage(err);
        return 2;
    }
    err.write("Unknown command: " + command + "\n");
    usage(err);
    return 2;
}

}  // namespace qeld::cli
