// What type references make of definitions: the built-in kind a definition stands for, the kinds
// a reference can select, and whether a collection gets an item type.
#include "schema/walk/kinds.h"

namespace qeld::schema {

template class TypeWalk<KindRules>;
template class TypeWalk<SelectedKindRules>;
template class TypeWalk<ItemTypeRules>;

namespace {

[[gnu::noinline, gnu::cold]] Error definition_failure(const Definition& definition, std::string_view text) {
    return fail(definition.name + std::string(text));
}

[[gnu::noinline, gnu::cold]] Error unknown_reference(std::string_view reference) {
    return fail("unknown type reference: " + std::string(reference));
}

[[gnu::noinline, gnu::cold]] Error cyclic_reference(std::string_view name) {
    return fail("cyclic type reference: " + std::string(name));
}

bool is_comparable(SchemaType kind) {
    switch (kind.kind()) {
        case SchemaType::Integer:
        case SchemaType::Float:
        case SchemaType::OffsetDateTime:
        case SchemaType::LocalDateTime:
        case SchemaType::LocalDate:
        case SchemaType::LocalTime:
            return true;
        default:
            return false;
    }
}

// The alternatives that decide a definition's kind: oneof when given, else anyof.
const std::vector<std::string>& alternatives_of(const Definition& definition) {
    return definition.one_of.empty() ? definition.any_of : definition.one_of;
}

}  // namespace

Advance KindRules::failure(const Frame& frame, std::string_view text) {
    message_ = frame.definition->name + std::string(text);
    return Advance::Fail;
}

Result<SchemaType> KindRules::cycle(std::string_view name) const { return cyclic_reference(name); }

Result<SchemaType> KindRules::unknown(std::string_view reference, std::string_view, NameSet&) const {
    return unknown_reference(reference);
}

Advance KindRules::advance(Frame& frame, std::string_view& reference) {
    using Stage = Frame::Stage;
    const Definition& definition = *frame.definition;
    switch (frame.stage) {
        case Stage::Start:
            if (definition.kind) {
                frame.base = *definition.kind;
                return compose(frame, reference);
            }
            if (definition.type_reference) {
                frame.stage = Stage::TypeReference;
                reference = *definition.type_reference;
                return Advance::Follow;
            }
            if (definition.conditional) {
                frame.stage = Stage::Then;
                reference = definition.conditional->then_type;
                return Advance::Follow;
            }
            return alternatives(frame, reference);
        case Stage::TypeReference:
            frame.base = frame.received;
            return compose(frame, reference);
        case Stage::Then:
            frame.then_kind = frame.received;
            frame.stage = Stage::Else;
            reference = definition.conditional->else_type;
            return Advance::Follow;
        case Stage::Else:
            if (!(frame.then_kind == frame.received))
                return failure(frame, " conditional branches do not have compatible effective types");
            if (!(frame.then_kind == SchemaType::Table) && !(frame.then_kind == SchemaType::Collection))
                return failure(frame, " conditional branches must resolve to table or collection");
            frame.base = frame.then_kind;
            return compose(frame, reference);
        case Stage::Alternatives:
            frame.alternatives.add(frame.received);
            ++frame.index;
            return alternatives(frame, reference);
        case Stage::AllOf:
            if (!(frame.received == frame.base)) {
                message_ = definition.name + " allof component " + definition.all_of[frame.index] +
                           " has incompatible effective type";
                return Advance::Fail;
            }
            ++frame.index;
            break;
    }
    if (frame.index < definition.all_of.size()) {
        reference = definition.all_of[frame.index];
        return Advance::Follow;
    }
    return Advance::Done;
}

// Each alternative in list order; the first failure ends the walk before the later ones.
Advance KindRules::alternatives(Frame& frame, std::string_view& reference) {
    const auto& members = alternatives_of(*frame.definition);
    if (frame.index < members.size()) {
        frame.stage = Frame::Stage::Alternatives;
        reference = members[frame.index];
        return Advance::Follow;
    }
    if (frame.alternatives.size() != 1) return failure(frame, " alternatives do not have one compatible effective type");
    frame.base = frame.alternatives.only();
    frame.index = 0;
    return compose(frame, reference);
}

// The allof members, each of the base kind; with a base kind any they are not resolved.
Advance KindRules::compose(Frame& frame, std::string_view& reference) {
    const Definition& definition = *frame.definition;
    if (definition.all_of.empty()) return Advance::Done;
    if (frame.base == SchemaType::Any) return failure(frame, " cannot compose an indeterminate any type with allof");
    frame.stage = Frame::Stage::AllOf;
    frame.index = 0;
    reference = definition.all_of[0];
    return Advance::Follow;
}

std::optional<KindSet> SelectedKindRules::keyword(std::string_view name) const {
    auto kind = SchemaType::parse(name);
    if (!kind) return std::nullopt;
    KindSet kinds;
    kinds.add(*kind);
    return kinds;
}

Result<KindSet> SelectedKindRules::cycle(std::string_view name) const { return cyclic_reference(name); }

Result<KindSet> SelectedKindRules::unknown(std::string_view reference, std::string_view, NameSet&) const {
    return unknown_reference(reference);
}

// The first rule that applies; allof members and, beside a reference, the own kind never count.
Advance SelectedKindRules::advance(Frame& frame, std::string_view& reference) {
    const Definition& definition = *frame.definition;
    const std::size_t index = frame.index++;
    if (definition.type_reference) {
        if (index > 0) return Advance::Done;
        reference = *definition.type_reference;
        return Advance::Follow;
    }
    const std::size_t alternatives = definition.one_of.size() + definition.any_of.size();
    if (alternatives != 0) {
        if (index == alternatives) return Advance::Done;
        reference = index < definition.one_of.size() ? definition.one_of[index]
                                                     : definition.any_of[index - definition.one_of.size()];
        return Advance::Follow;
    }
    if (definition.conditional) {
        if (index == 2) return Advance::Done;
        reference = index == 0 ? definition.conditional->then_type : definition.conditional->else_type;
        return Advance::Follow;
    }
    if (definition.kind) frame.kinds.add(*definition.kind);
    return Advance::Done;
}

std::optional<bool> ItemTypeRules::keyword(std::string_view name) const {
    if (SchemaType::parse(name)) return false;
    return std::nullopt;
}

// A true answer ends the search.
Advance ItemTypeRules::advance(Frame& frame, std::string_view& reference) {
    if (frame.found) return Advance::Done;
    // In order: the type reference, the deciding alternatives, then and else, the allof members.
    return follow(selector_reference(*frame.definition, frame.index++, Alternatives::Deciding), reference);
}

Result<SchemaType> reference_kind(const Schema& schema, std::string_view reference, NameSet& visiting) {
    return EffectiveKinds(schema).of_reference(reference, visiting);
}

Result<SchemaType> effective_kind(const Schema& schema, const Definition& definition, NameSet& visiting) {
    return EffectiveKinds(schema).of_definition(definition, visiting);
}

Status collect_reference_types(const Schema& schema, std::string_view reference, NameSet& visiting, KindSet& kinds) {
    auto selected = SelectedKinds(schema).of_reference(reference, visiting);
    if (!selected) return Error{selected.take_error()};
    kinds.add_all(*selected);
    return {};
}

Result<SchemaType> array_range_item_type(SelectedKinds& selected, const Definition& definition) {
    constexpr std::string_view not_comparable =
        " can only define min or max when itemtype resolves to one comparable built-in type";
    if (!definition.item_type) return definition_failure(definition, not_comparable);
    auto kinds = selected.of_reference(*definition.item_type);
    if (!kinds) return Error{kinds.take_error()};
    if (kinds->size() != 1)
        return definition_failure(definition, " cannot define min or max when itemtype has mixed alternatives");
    if (!is_comparable(kinds->only())) return definition_failure(definition, not_comparable);
    return kinds->only();
}

Result<SchemaType> array_range_item_type(const Schema& schema, const Definition& definition) {
    SelectedKinds selected(schema);
    return array_range_item_type(selected, definition);
}

bool has_collection_item_constraint(const Schema& schema, const Definition& definition, NameSet& visiting) {
    return *ItemTypeSearch(schema).of_definition(definition, visiting);
}

bool reference_has_collection_item_constraint(const Schema& schema, std::string_view reference, NameSet& visiting) {
    return *ItemTypeSearch(schema).of_reference(reference, visiting);
}

}  // namespace qeld::schema
