#pragma once
// A lazily built DFA that answers is_match for programs whose only assertions are the start and
// the end of the haystack (the usual ^...$): each state is a set of program instructions, built
// the first time a search needs it and kept for later searches. Its memory is bounded; a search
// that would grow it beyond that clears it and leaves the haystack to the other matchers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qeld::regex {

struct Program;

class LazyDfa {
public:
    enum class Outcome { Match, NoMatch, GaveUp };

    // Only for a haystack that is not empty.
    Outcome is_match(const Program& program, std::string_view haystack);

    // Whether the program has only assertions this DFA understands.
    static bool suits(const Program& program);

private:
    struct State {
        std::vector<std::uint32_t> insts;  // consuming instructions, Match, and end assertions waiting
        bool match = false;
        std::int8_t match_at_end = -1;  // unknown until asked
    };

    struct SetHash {
        std::size_t operator()(const std::vector<std::uint32_t>& set) const;
    };

    void prepare(const Program& program);
    void clear();
    std::uint32_t start_state(const Program& program);
    std::uint32_t next_state(const Program& program, std::uint32_t state, char32_t c);
    bool matches_at_end(const Program& program, std::uint32_t state);
    // Follows the empty-width paths from the seeds; the start assertion holds only at the start,
    // the end assertion only at the end (elsewhere it waits in the set).
    void close(const Program& program, std::vector<std::uint32_t>& seeds, bool at_start, bool at_end);
    std::uint32_t intern(const Program& program);

    std::atomic<bool> busy_{false};
    bool prepared_ = false;
    bool disabled_ = false;
    int give_ups_ = 0;
    // Code points split into classes that every instruction treats alike: below U+0080 by table,
    // above it by the sorted cut points.
    std::uint8_t ascii_class_[128] = {};
    std::size_t ascii_classes_ = 0;
    std::vector<char32_t> cuts_;
    std::vector<std::uint32_t> restart_;  // the closure of the start away from the start
    std::vector<State> states_;
    std::vector<std::uint32_t> ascii_next_;  // states x ascii classes; unknown_state when unknown
    std::unordered_map<std::uint64_t, std::uint32_t> other_next_;
    std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, SetHash> index_;
    std::size_t memory_ = 0;
    std::uint32_t start_ = 0;
    bool have_start_ = false;
    // Scratch for building sets.
    std::vector<std::uint32_t> set_;
    std::vector<std::uint32_t> stack_;
    std::vector<std::uint32_t> seen_;
    std::uint32_t generation_ = 0;
};

}  // namespace qeld::regex
