#include "schema/walk/type_walk.h"

namespace qeld::schema {

std::optional<std::string_view> selector_reference(const Definition& definition, std::size_t index,
                                                   Alternatives alternatives) {
    if (definition.type_reference) {
        if (index == 0) return *definition.type_reference;
        --index;
    }
    const bool both = alternatives == Alternatives::Both;
    for (const auto* members : {&definition.one_of, &definition.any_of}) {
        if (!both && members == &definition.any_of && !definition.one_of.empty()) break;
        if (index < members->size()) return (*members)[index];
        index -= members->size();
    }
    if (definition.conditional) {
        if (index == 0) return definition.conditional->then_type;
        if (index == 1) return definition.conditional->else_type;
        index -= 2;
    }
    if (index < definition.all_of.size()) return definition.all_of[index];
    return std::nullopt;
}

std::optional<std::string_view> composition_reference(const Definition& definition, std::size_t index) {
    if (definition.type_reference) {
        if (index == 0) return *definition.type_reference;
        --index;
    }
    if (index < definition.all_of.size()) return definition.all_of[index];
    return std::nullopt;
}

Advance follow(std::optional<std::string_view> next, std::string_view& reference) {
    if (!next) return Advance::Done;
    reference = *next;
    return Advance::Follow;
}

}  // namespace qeld::schema
