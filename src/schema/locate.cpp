#include "schema/locate.h"

namespace qeld::schema {

Result<DocumentSchema> schema_from_document(std::string_view document_path) {
    return fail("locating a document's schema is not built yet: " + std::string(document_path));
}

}  // namespace qeld::schema
