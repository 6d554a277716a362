#pragma once
// Lets GoogleTest print spans in its failure messages.

#include <ostream>

#include "regex/regex.h"

namespace qeld::regex {

inline void PrintTo(const Span& span, std::ostream* out) { *out << "[" << span.start << ", " << span.end << ")"; }

}  // namespace qeld::regex
