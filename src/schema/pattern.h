#pragma once
// A regular expression of a schema with the source text it was written as.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qeld::regex {
class CheckedPattern;
class Regex;
}  // namespace qeld::regex

namespace qeld::schema {

class Pattern {
public:
    // Checks the text as written, with default options: every fault is found here, and the
    // message is the engine's one-line text. The matcher is built when a text is first matched,
    // so a schema whose patterns never meet a value never builds them.
    static Result<Pattern> compile(std::string_view source);

    const std::string& source() const { return source_; }
    // True when the pattern matches anywhere in the text.
    bool search(std::string_view text) const;
    // The texts of capture groups 1 to count of the first match anywhere in the text (a group
    // that took no part is empty), or none when the pattern does not match.
    std::optional<std::vector<std::string>> capture_groups(std::string_view text, int count) const;

private:
    struct State;
    Pattern(std::string source, std::shared_ptr<State> state) : source_(std::move(source)), state_(std::move(state)) {}
    const regex::Regex& matcher() const;

    std::string source_;
    // Copies of a definition share one state, so the matcher is built once for all of them.
    std::shared_ptr<State> state_;
};

}  // namespace qeld::schema
