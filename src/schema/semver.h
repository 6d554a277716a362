#pragma once
// Semantic Versioning 2.0.0 texts, read by hand: the same texts and parts as semver_pattern
// gives, without building a matcher on every load.

#include <optional>
#include <string_view>

namespace qeld::schema {

// The Semantic Versioning 2.0.0 pattern with ASCII digit classes; groups 1 to 5 are major,
// minor, patch, pre-release and build. It anchors itself at both ends.
inline constexpr std::string_view semver_pattern =
    R"re(^(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)(?:-((?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*)(?:\.(?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*))*))?(?:\+([0-9A-Za-z-]+(?:\.[0-9A-Za-z-]+)*))?$)re";

// Views into the text read; pre_release and build are empty when absent.
struct SemVer {
    std::string_view major, minor, patch, pre_release, build;
};

// The parts of a whole text that is SemVer, or none.
std::optional<SemVer> parse_semver(std::string_view text);

}  // namespace qeld::schema
