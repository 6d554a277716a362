#pragma once
// Semantic Versioning 2.0.0 texts, read by hand: the same texts and parts as semver_pattern
// (schema/pattern.h) gives, without building a matcher on every load.

#include <optional>
#include <string_view>

namespace qeld::schema {

// Views into the text read; pre_release and build are empty when absent.
struct SemVer {
    std::string_view major, minor, patch, pre_release, build;
};

// The parts of a whole text that is SemVer, or none.
std::optional<SemVer> parse_semver(std::string_view text);

}  // namespace qeld::schema
