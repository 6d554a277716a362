#include "cli/commands.h"

namespace qeld::cli {

ExitStatus validate_explicit(std::string_view schema_path, std::string_view document_path, Writer& out, Writer& err) {
    auto schema = schema::Schema::load(schema_path);
    if (!schema) {
        err.write(schema.error() + "\n");
        return 2;
    }
    return report(schema->validate_file(document_path), document_path, out, err);
}

ExitStatus report(schema::ValidationResult result, std::string_view document_path, Writer& out, Writer& err) {
    for (const auto& warning : result.warnings) {
        err.write("warning [" + warning.code + "] " + warning.path + ": " + warning.message + "\n");
    }
    if (!result.errors.empty()) {
        err.write(std::string(document_path) + " is invalid:\n");
        for (const auto& error : result.errors) err.write("  - " + error.path + ": " + error.message + "\n");
        return 1;
    }
    out.write(std::string(document_path) + " is valid\n");
    return 0;
}

}  // namespace qeld::cli
