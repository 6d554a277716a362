#include "schema/pattern_store.h"

#include <string>

#include "common/invariant.h"

namespace qeld::schema {

namespace {

// What the store's own bookkeeping takes per entry: a list node and an index node.
constexpr std::size_t bytes_per_entry = 128;

}  // namespace

PatternStore& PatternStore::process() {
    // Never destroyed, so that sources dropped at exit can still tell it.
    static PatternStore* store = new PatternStore(default_budget);
    return *store;
}

std::size_t PatternStore::bytes_of(const Built& built) {
    return built.program_bytes + built.cache.memory_usage() + bytes_per_entry;
}

bool PatternStore::is_match(const Pattern& pattern, std::string_view text) {
    const Pattern::Source& source = *pattern.source_;
    auto found = index_.find(source.serial);
    if (found == index_.end()) {
        auto built = regex::Regex::compile(source.text);
        if (!built) invariant_failure("a checked pattern failed to build: " + built.error());
        ++builds_;
        recent_.push_front(Entry{source.serial, Built{std::move(built).value()}, 0});
        found = index_.emplace(source.serial, recent_.begin()).first;
    } else if (found->second != recent_.begin()) {
        recent_.splice(recent_.begin(), recent_, found->second);
    }
    Entry& entry = recent_.front();
    bool matched = entry.built.regex.is_match(text, entry.built.cache);
    // A search may grow what the entry holds; it is weighed again after each one.
    std::size_t bytes = bytes_of(entry.built);
    bytes_ = bytes_ - entry.bytes + bytes;
    entry.bytes = bytes;
    give_back_past_budget();
    return matched;
}

void PatternStore::give_back_past_budget() {
    while (bytes_ > budget_ && recent_.size() > 1) {
        bytes_ -= recent_.back().bytes;
        index_.erase(recent_.back().serial);
        recent_.pop_back();
    }
}

void PatternStore::forget(std::uint64_t serial) {
    auto found = index_.find(serial);
    if (found == index_.end()) return;
    bytes_ -= found->second->bytes;
    recent_.erase(found->second);
    index_.erase(found);
}

}  // namespace qeld::schema
