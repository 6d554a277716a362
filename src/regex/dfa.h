#pragma once
// A lazily built DFA that answers is_match. A state is a set of program instructions together
// with what the character before it was (the start of the text, \n, \r, a word character): that is
// all the look-behind any assertion needs, and an assertion that also needs the next character
// waits in the set until the next step sees it. A match found that way is reported one step late,
// which is all is_match needs.
//
// The program is immutable and shared; the states, and the plan of the alphabet they step over,
// live in a DfaCache that belongs to whoever searches. When the cache fills it is cleared and the search goes on; only once it
// has been cleared three times and the states stop paying (fewer than 10 bytes searched per state
// built since the last clear) does a search give up and leave the text to the other matchers.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qeld::regex {

struct Program;

// What every search of one program needs: the code points split into classes that the program
// and its assertions treat alike (below U+0080 by table, above it by sorted cut points), and the
// look-behind its assertions read.
struct DfaPlan {
    std::uint8_t ascii_class[128] = {};
    std::size_t ascii_classes = 0;
    std::vector<char32_t> cuts;
    std::uint8_t context_mask = 0;
    // Every look-behind a search can meet, masked: the start and each class's character.
    std::vector<std::uint8_t> contexts;

    static DfaPlan of(const Program& program);
};

inline constexpr std::size_t default_dfa_capacity = 2 * 1024 * 1024;

struct DfaOptions {
    std::size_t capacity = default_dfa_capacity;
    // False only to test clearing: the DFA then never leaves a search to the other matchers.
    bool gives_up = true;
};

class DfaCache {
public:
    enum class Outcome { Match, NoMatch, GaveUp };

    explicit DfaCache(DfaOptions options = {}) : options_(options) {}

    // The caller keeps the program alive while the cache searches with it; another program makes
    // the cache start over.
    Outcome is_match(const Program& program, std::string_view haystack);

    // The bytes of states, transitions and scratch held now.
    std::size_t memory_usage() const;
    // How often the cache has been cleared since it was made.
    std::size_t clears() const { return clears_; }

private:
    struct State {
        std::uint32_t offset;  // into pool_
        std::uint32_t size;
        std::uint8_t context;  // the look-behind, kept only while an assertion in the set waits for it
        std::uint8_t flags;
        std::int8_t match_at_end;  // unknown (-1) until asked
    };

    void prepare(const Program& program);
    void clear();
    std::uint32_t start_state(std::uint8_t before);
    void add_start_states();
    std::size_t scratch_bytes() const;
    std::uint32_t compute_next(std::uint32_t state, char32_t c);
    bool matches_at_end(std::uint32_t state);
    // Follows the empty-width paths from stack_ into set_: the look-behind is known, the next
    // character is known when `ahead` is not negative.
    void close(std::uint8_t before, int ahead);
    std::uint32_t intern(std::uint8_t before);
    std::uint32_t find(std::uint64_t hash, std::uint8_t context) const;
    void grow_table();
    bool over_capacity() const { return memory_usage() > options_.capacity; }

    DfaOptions options_;
    const Program* program_ = nullptr;
    DfaPlan plan_;
    bool accelerate_ = false;  // start states may skip ahead to the prefilter's next candidate
    std::vector<std::uint32_t> pool_;
    std::vector<State> states_;
    std::vector<std::uint32_t> ascii_next_;  // states x ascii classes
    std::unordered_map<std::uint64_t, std::uint32_t> other_next_;
    std::vector<std::uint32_t> table_;  // open addressing over states_: id + 1, 0 when free
    std::uint32_t start_[32] = {};
    std::size_t memory_ = 0;
    std::size_t clears_ = 0;
    std::size_t bytes_since_clear_ = 0;
    std::vector<std::uint32_t> set_;
    std::vector<std::uint32_t> stack_;
    std::vector<std::uint32_t> seen_;
    std::uint32_t generation_ = 0;
};

}  // namespace qeld::regex
