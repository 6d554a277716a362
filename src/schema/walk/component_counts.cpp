// How many components a definition expands to through allof, counted without expanding it.
#include "schema/walk/component_counts.h"

namespace qeld::schema {

template class TypeWalk<ComponentCountRules>;

std::string too_many_components(std::string_view name) {
    return std::string(name) + " expands to more than " + std::to_string(max_components) +
           " components through allof";
}

Advance ComponentCountRules::advance(Frame& frame, std::string_view& reference) {
    const Definition& definition = *frame.definition;
    if (frame.index > 0) frame.total = add(frame.total, frame.received);
    return follow(composition_reference(definition, frame.index++), reference);
}

std::optional<std::uint64_t> ComponentCountRules::keyword(std::string_view name) const {
    if (SchemaType::parse(name)) return 1;
    return std::nullopt;
}

Result<std::uint64_t> ComponentCountRules::cycle(std::string_view name) const {
    return fail("cyclic type reference: " + std::string(name));
}

Result<std::uint64_t> ComponentCountRules::unknown(std::string_view reference, std::string_view, NameSet&) const {
    return fail("unknown type reference: " + std::string(reference));
}

}  // namespace qeld::schema
