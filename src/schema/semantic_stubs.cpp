// Placeholders for the checks across definitions, until they are built.
#include "schema/model.h"

namespace qeld::schema {

Status Schema::validate_references(const DefinitionMap&) const { return {}; }
Status Schema::validate_selector_cycles() const { return {}; }
Status Schema::validate_allowed_value_types() const { return {}; }
Status Schema::validate_definition_semantics() const { return {}; }
Status Schema::validate_array_range_definitions() const { return {}; }
Status Schema::validate_defaults() const { return {}; }
Result<SchemaType> Schema::reference_kind(std::string_view reference, NameSet&) const {
    return fail("unknown type reference: " + std::string(reference));
}
Result<SchemaType> Schema::array_range_item_type(const Definition& definition) const {
    return fail(definition.name + " can only define min or max when itemtype resolves to one comparable built-in type");
}

}  // namespace qeld::schema
