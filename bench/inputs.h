#pragma once
// Generated benchmark inputs: nothing large is committed.

#include <cstddef>
#include <string>

namespace qeld::bench {

// A typical configuration schema and a document of about 5 KB that it accepts.
std::string typical_schema();
std::string typical_document();

// A data schema of about 50 definitions, and an array of `items` record tables it accepts.
std::string records_schema();
std::string records_document(std::size_t items);

}  // namespace qeld::bench
