#pragma once
// The command handlers that dispatch calls; each returns the exit status.

#include <string_view>

#include "cli/run.h"
#include "cli/writer.h"
#include "schema/model.h"

namespace qeld::cli {

ExitStatus validate_explicit(std::string_view schema_path, std::string_view document_path, Writer& out, Writer& err);
ExitStatus validate_with_embedded_schema(std::string_view document_path, Writer& out, Writer& err);
// Prints warnings, then the verdict; 0 valid, 1 invalid.
ExitStatus report(schema::ValidationResult result, std::string_view document_path, Writer& out, Writer& err);

ExitStatus extract(std::string_view document_path, std::string_view schema_path, Writer& out, Writer& err);

}  // namespace qeld::cli
