#include "schema/check/checks.h"

#include "schema/check/array_ranges.h"
#include "schema/check/component_limit.h"
#include "schema/check/defaults.h"
#include "schema/check/definition_semantics.h"
#include "schema/check/references.h"
#include "schema/check/selector_cycles.h"

namespace qeld::schema {

// The checks across definitions, in their fixed order. Only the check of defaults expands allof
// members (it validates default values), so a definition that expands past the limit of
// components is refused there when its expansion is met, and by the last check otherwise: every
// schema that loaded or was refused before keeps its outcome, unless it holds such a definition.
Status run_semantic_checks(const Schema& schema) {
    QELD_TRY(validate_references(schema, schema.types));
    QELD_TRY(validate_references(schema, schema.elements));
    QELD_TRY(validate_selector_cycles(schema));
    QELD_TRY(validate_allowed_value_types(schema));
    QELD_TRY(validate_definition_semantics(schema));
    QELD_TRY(validate_array_range_definitions(schema));
    QELD_TRY(validate_defaults(schema));
    return validate_component_counts(schema);
}

}  // namespace qeld::schema
