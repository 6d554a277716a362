// Every definition must expand to at most max_components through allof.
#include "schema/check/component_limit.h"

#include "schema/walk/component_counts.h"

namespace qeld::schema {

Status validate_component_counts(const Schema& schema) {
    // Without any allof list every definition is one component.
    bool composes = false;
    (void)visit_definitions(schema, [&composes](const Definition& definition) -> Status {
        composes = composes || !definition.all_of.empty();
        return {};
    });
    if (!composes) return {};
    ComponentCounts counts(schema);
    return visit_definitions(schema, [&counts](const Definition& definition) -> Status {
        auto count = counts.of_definition(definition);
        if (!count) return Error{count.take_error()};
        if (*count > max_components) return fail(too_many_components(definition.name));
        return {};
    });
}

}  // namespace qeld::schema
