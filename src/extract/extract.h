#pragma once
// A starting schema inferred from a document: one definition table per value, stating only
// the value's built-in type (and for arrays the type their items share).

#include <string>
#include <string_view>
#include <vector>

#include "document/value.h"

namespace qeld::extract {

// "elements", then the document keys from the top level down to one value, raw; rendered into
// a table header only when written.
using HeaderPath = std::vector<std::string_view>;

// The type keyword written for one document value; "any" for a date-time of an unusual shape.
std::string_view extraction_kind(const doc::Value& value);

// The kind every item shares, or "any" when the array is empty or its items differ.
std::string_view item_kind(const doc::Array& items);

// The whole schema text for a document root table. The top-level reserved table is left out.
std::string generate_schema(const doc::Table& table);

// Appends the block of one value and, for a table, the blocks of everything below it, depth
// first in key-byte order.
void append_definition(std::string& out, const HeaderPath& header_path, const doc::Value& value);

}  // namespace qeld::extract
