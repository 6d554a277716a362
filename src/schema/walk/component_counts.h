#pragma once
// How many components a definition expands to through allof, counted without expanding it. A
// type composed twice (a diamond) counts twice, as resolution lists it twice, so the count can
// grow exponentially with a schema's size: a definition past the limit is refused.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "schema/model.h"
#include "schema/walk/type_walk.h"

namespace qeld::schema {

inline constexpr std::uint64_t max_components = 10'000;

// "{name} expands to more than 10000 components through allof"
std::string too_many_components(std::string_view name);

// The count of the definition: its type reference's count (or 1 without one) plus the counts of
// its allof members, a keyword counting 1. Counts stop growing past the limit.
class ComponentCountRules {
public:
    using Answer = std::uint64_t;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
        std::uint64_t total = 0;
        std::uint64_t received = 0;
    };

    static std::uint64_t add(std::uint64_t a, std::uint64_t b) {
        return a + b > max_components ? max_components + 1 : a + b;
    }

    Frame start(const Definition& definition) { return Frame{&definition, 0, definition.type_reference ? 0u : 1u}; }
    Advance advance(Frame& frame, std::string_view& reference);
    void receive(Frame& frame, std::uint64_t count) { frame.received = count; }
    std::uint64_t answer(const Frame& frame) const { return frame.total; }
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<std::uint64_t> keyword(std::string_view name) const;
    Result<std::uint64_t> cycle(std::string_view name) const;
    Result<std::uint64_t> unknown(std::string_view reference, std::string_view name, NameSet& chain) const;
};

extern template class TypeWalk<ComponentCountRules>;
using ComponentCounts = TypeWalk<ComponentCountRules>;

}  // namespace qeld::schema
