#pragma once
// What type references make of definitions: the built-in kind a definition stands for, the kinds
// a reference can select, and whether a collection gets an item type. The checks and the
// validator share these rules.
//
// The functions taking a visiting set walk once with the caller's chain; the walk objects below
// remember what they found, for a check or a validation that asks about many definitions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "schema/model.h"
#include "schema/walk/type_walk.h"

namespace qeld::schema {

Result<SchemaType> effective_kind(const Schema& schema, const Definition& definition, NameSet& visiting);
Result<SchemaType> reference_kind(const Schema& schema, std::string_view reference, NameSet& visiting);
// Adds to the kind set every built-in kind a value under the reference can select.
Status collect_reference_types(const Schema& schema, std::string_view reference, NameSet& visiting, KindSet& kinds);
// The one comparable kind the itemtype of an array definition selects.
Result<SchemaType> array_range_item_type(const Schema& schema, const Definition& definition);
bool has_collection_item_constraint(const Schema& schema, const Definition& definition, NameSet& visiting);
bool reference_has_collection_item_constraint(const Schema& schema, std::string_view reference, NameSet& visiting);

// The effective kind: the built-in type a definition stands for through its type reference, its
// conditional branches or its alternatives, which its allof members must share.
class KindRules {
public:
    using Answer = SchemaType;
    struct Frame {
        enum class Stage : std::uint8_t { Start, TypeReference, Then, Else, Alternatives, AllOf };
        const Definition* definition;
        Stage stage = Stage::Start;
        std::size_t index = 0;
        SchemaType base = SchemaType::Any;
        SchemaType then_kind = SchemaType::Any;
        SchemaType received = SchemaType::Any;
        KindSet alternatives{};
    };

    Frame start(const Definition& definition) { return Frame{&definition}; }
    Advance advance(Frame& frame, std::string_view& reference);
    void receive(Frame& frame, SchemaType kind) { frame.received = kind; }
    SchemaType answer(const Frame& frame) const { return frame.base; }
    std::string take_message() { return std::move(message_); }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<SchemaType> keyword(std::string_view name) const { return SchemaType::parse(name); }
    Result<SchemaType> cycle(std::string_view name) const;
    Result<SchemaType> unknown(std::string_view reference, std::string_view name, NameSet& chain) const;

private:
    Advance alternatives(Frame& frame, std::string_view& reference);
    Advance compose(Frame& frame, std::string_view& reference);
    Advance failure(const Frame& frame, std::string_view text);

    std::string message_;
};

// The kinds a reference selects: through the first of its type reference, its alternatives, its
// conditional branches and its own kind; allof members never count.
class SelectedKindRules {
public:
    using Answer = KindSet;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
        KindSet kinds{};
    };

    Frame start(const Definition& definition) { return Frame{&definition}; }
    Advance advance(Frame& frame, std::string_view& reference);
    void receive(Frame& frame, KindSet kinds) { frame.kinds.add_all(kinds); }
    KindSet answer(const Frame& frame) const { return frame.kinds; }
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<KindSet> keyword(std::string_view name) const;
    Result<KindSet> cycle(std::string_view name) const;
    Result<KindSet> unknown(std::string_view reference, std::string_view name, NameSet& chain) const;
};

// Whether an item type for collections is reachable. It never fails: a name on the chain and an
// unknown name both count as no item type.
class ItemTypeRules {
public:
    using Answer = bool;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
        bool found = false;
    };

    Frame start(const Definition& definition) { return Frame{&definition, 0, definition.item_type.has_value()}; }
    Advance advance(Frame& frame, std::string_view& reference);
    void receive(Frame& frame, bool found) { frame.found = found; }
    bool answer(const Frame& frame) const { return frame.found; }
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<bool> keyword(std::string_view name) const;
    Result<bool> cycle(std::string_view) const { return false; }
    Result<bool> unknown(std::string_view, std::string_view, NameSet&) const { return false; }
};

extern template class TypeWalk<KindRules>;
extern template class TypeWalk<SelectedKindRules>;
extern template class TypeWalk<ItemTypeRules>;

using EffectiveKinds = TypeWalk<KindRules>;
using SelectedKinds = TypeWalk<SelectedKindRules>;
using ItemTypeSearch = TypeWalk<ItemTypeRules>;

// As above, with what the walk remembers.
Result<SchemaType> array_range_item_type(SelectedKinds& selected, const Definition& definition);

}  // namespace qeld::schema
