#include "cli/commands.h"
#include "schema/locate/locate.h"

namespace qeld::cli {

ExitStatus validate_with_embedded_schema(std::string_view document_path, Writer& out, Writer& err) {
    auto found = schema::schema_from_document(document_path);
    if (!found) {
        err.write(found.error() + "\n");
        return 2;
    }
    for (const auto& notice : found->schema.notices) err.write(notice + "\n");
    return report(found->schema.validate(found->document), document_path, out, err);
}

}  // namespace qeld::cli
