#pragma once
// The local type of one definition table, and the properties that type cannot carry.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

// What the definition parser has read of one definition table. A key counts as set only when
// it holds a value that is not a table.
struct TypeRuleInputs {
    std::string_view path;
    std::optional<SchemaType> keyword_type;  // "type" holding one of the twelve keywords
    bool named_reference = false;
    bool is_union = false;
    bool is_conditional = false;
    std::size_t child_count = 0;
    bool has_item_type = false;
    std::size_t item_count = 0;
    std::optional<std::int64_t> min_length;
    std::optional<std::int64_t> max_length;
    bool has_allowed_values = false;
    bool has_min = false;
    bool has_max = false;
    bool has_pattern = false;
    bool has_key_pattern = false;
    std::size_t all_of_count = 0;
};

// The local type: the keyword's type; none for a named type reference, a union or a
// conditional; Table for a definition made only of children. The first rule that holds fails.
std::optional<SchemaType> local_type(const TypeRuleInputs& inputs);
Result<std::optional<SchemaType>> apply_type_rules(const TypeRuleInputs& inputs);

}  // namespace qeld::schema
