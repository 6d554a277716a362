#pragma once
// The built programs of a run's patterns, held within a total of bytes: a program is built when
// its pattern first matches a text, and when the total would pass the budget the least recently
// used programs are given back (and built again if their pattern is matched again). No pattern is
// ever refused for the total: one program stays below the engine's size limit, far below it.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "regex/regex.h"
#include "schema/pattern.h"

namespace qeld::schema {

class PatternStore {
public:
    static constexpr std::size_t default_budget = std::size_t{128} << 20;

    explicit PatternStore(std::size_t budget) : budget_(budget) {}
    PatternStore(const PatternStore&) = delete;
    PatternStore& operator=(const PatternStore&) = delete;

    // The store of this process, with the default budget; Pattern::search uses it.
    static PatternStore& process();

    // True when the pattern matches anywhere in the text; builds its program if the store does
    // not hold it.
    bool is_match(const Pattern& pattern, std::string_view text);

    // The bytes of the entries held, which stay within the budget once a search is done.
    std::size_t memory_usage() const { return bytes_; }
    std::size_t programs() const { return recent_.size(); }
    // How many programs have been built so far.
    std::size_t builds() const { return builds_; }

private:
    friend struct Pattern::Source;

    // What one pattern keeps while it is built: its program and the DFA states its searches made.
    struct Built {
        explicit Built(regex::Regex built)
            : regex(std::move(built)), cache(regex), program_bytes(regex.memory_usage()) {}
        regex::Regex regex;
        regex::Cache cache;
        std::size_t program_bytes;  // weighed once: a program never changes, only its cache grows
    };
    static std::size_t bytes_of(const Built& built);

    struct Entry {
        std::uint64_t serial;
        Built built;
        std::size_t bytes;
    };

    // A pattern's source is gone: so is its program.
    void forget(std::uint64_t serial);
    void give_back_past_budget();

    std::size_t budget_;
    std::size_t bytes_ = 0;
    std::size_t builds_ = 0;
    std::list<Entry> recent_;  // the most recently used first
    std::unordered_map<std::uint64_t, std::list<Entry>::iterator> index_;
};

}  // namespace qeld::schema
