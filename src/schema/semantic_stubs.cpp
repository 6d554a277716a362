// Placeholders for the checks across definitions, until they are built.
#include "schema/model.h"

namespace qeld::schema {

Status Schema::validate_defaults() const { return {}; }

}  // namespace qeld::schema
