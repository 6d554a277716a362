// Every reference of every definition must name a keyword or a reusable type.
#include "schema/check/references.h"

#include "schema/walk/type_walk.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error unknown_stored_reference(const Definition& definition, std::string_view reference) {
    return fail(definition.name + " contains unknown type reference: " + std::string(reference));
}

}  // namespace

Status validate_references(const Schema& schema, const DefinitionMap& definitions) {
    // References are tested as stored: the parser already took one "types." away.
    auto known = [&schema](const std::string& reference) {
        return SchemaType::parse(reference).has_value() || schema.types.count(reference) != 0;
    };
    return visit_definitions(definitions, [&](const Definition& definition) -> Status {
        if (definition.type_reference && !known(*definition.type_reference))
            return unknown_stored_reference(definition, *definition.type_reference);
        if (definition.item_type && !known(*definition.item_type))
            return unknown_stored_reference(definition, *definition.item_type);
        for (const auto* list : {&definition.items, &definition.one_of, &definition.any_of}) {
            for (const auto& reference : *list) {
                if (!known(reference)) return unknown_stored_reference(definition, reference);
            }
        }
        if (definition.conditional) {
            if (!known(definition.conditional->then_type))
                return unknown_stored_reference(definition, definition.conditional->then_type);
            if (!known(definition.conditional->else_type))
                return unknown_stored_reference(definition, definition.conditional->else_type);
        }
        for (const auto& reference : definition.all_of) {
            if (!known(reference)) return unknown_stored_reference(definition, reference);
        }
        return {};
    });
}

}  // namespace qeld::schema
