#pragma once
// A compiled regular expression with the source text it was compiled from.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace re2 {
class RE2;
}

namespace qeld::schema {

// The Semantic Versioning 2.0.0 pattern with ASCII digit classes; groups 1 to 5 are major,
// minor, patch, pre-release and build. It anchors itself at both ends.
inline constexpr std::string_view semver_pattern =
    R"re(^(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)(?:-((?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*)(?:\.(?:0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*))*))?(?:\+([0-9A-Za-z-]+(?:\.[0-9A-Za-z-]+)*))?$)re";

class Pattern {
public:
    // Compiles the text as written, with default options; the error is the engine's own text.
    static Result<Pattern> compile(std::string_view source);

    const std::string& source() const { return source_; }
    // True when the pattern matches anywhere in the text.
    bool search(std::string_view text) const;
    // The texts of capture groups 1 to count of the first match anywhere in the text (a group
    // that took no part is empty), or none when the pattern does not match.
    std::optional<std::vector<std::string>> capture_groups(std::string_view text, int count) const;

private:
    Pattern(std::string source, std::shared_ptr<const re2::RE2> compiled)
        : source_(std::move(source)), compiled_(std::move(compiled)) {}

    std::string source_;
    // Never changes after compiling, so copies of a definition share it.
    std::shared_ptr<const re2::RE2> compiled_;
};

}  // namespace qeld::schema
