#include "schema/pattern.h"

#include "regex/regex.h"

namespace qeld::schema {

struct Pattern::State {
    regex::CheckedPattern checked;
    std::optional<regex::Regex> built;
    std::optional<regex::Cache> cache;  // the DFA states of every search with `built`
};

Result<Pattern> Pattern::compile(std::string_view source) {
    auto checked = regex::CheckedPattern::check(source);
    if (!checked) return fail(checked.take_error());
    return Pattern(std::string(source), std::make_shared<State>(State{std::move(checked).value(), std::nullopt, std::nullopt}));
}

const regex::Regex& Pattern::matcher() const {
    if (!state_->built) {
        state_->built = state_->checked.build();
        state_->cache.emplace(*state_->built);
    }
    return *state_->built;
}

bool Pattern::search(std::string_view text) const { return matcher().is_match(text, *state_->cache); }

std::optional<std::vector<std::string>> Pattern::capture_groups(std::string_view text, int count) const {
    if (count < 0 || static_cast<std::size_t>(count) > state_->checked.capture_count()) return std::nullopt;
    auto captures = matcher().captures(text);
    if (!captures) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const auto span = captures->group(static_cast<std::size_t>(i));
        out.push_back(span ? std::string(text.substr(span->start, span->end - span->start)) : std::string());
    }
    return out;
}

}  // namespace qeld::schema
