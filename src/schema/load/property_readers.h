#pragma once
// Readers of the property keys of one definition table. Each looks up its key, checks the form
// of the value and returns it converted, or one finished message that begins with the
// definition path. A missing key, and a table under the key, read as absent.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "document/value.h"
#include "schema/model.h"
#include "schema/pattern.h"
#include "schema/load/source.h"

namespace qeld::schema {

using DependentRequired = std::map<std::string, std::vector<std::string>, std::less<>>;
using NameGroups = std::vector<std::vector<std::string>>;

Result<std::optional<bool>> get_bool(std::string_view path, const doc::Table& table, std::string_view key);
// Compiled once, as written, with default options; matched anywhere in a text.
Result<std::optional<Pattern>> get_pattern_key(std::string_view path, const doc::Table& table, std::string_view key);
// Zero or more.
Result<std::optional<std::int64_t>> get_unsigned_integer(std::string_view path, const doc::Table& table,
                                                        std::string_view key);
// The strings exactly as written; an empty array gives an empty list.
Result<std::vector<std::string>> get_string_array_values(std::string_view path, const doc::Table& table,
                                                         std::string_view key);
// Copies of the elements of any kind; used for "allowedvalues".
Result<std::vector<doc::Value>> get_array_values(std::string_view path, const doc::Table& table,
                                                 std::string_view key);
// Groups of at least two distinct child names.
Result<NameGroups> get_name_groups(std::string_view path, const doc::Table& table, std::string_view key);
// The inline table "dependentrequired": trigger to the distinct names it requires.
Result<DependentRequired> get_dependent_required(std::string_view path, const doc::Table& table,
                                                 const SyntaxContext& context);
// "if" with "then" and "else"; called only when all three are present.
Result<ConditionalSelector> parse_conditional_selector(std::string_view path, const doc::Table& table);
// The reusable type named by "then" or "else", without one leading "types.".
Result<std::string> parse_conditional_branch_reference(std::string_view path, const doc::Table& table,
                                                       std::string_view key);

}  // namespace qeld::schema
