#include "regex/dfa.h"

#include <algorithm>

#include "regex/matcher.h"
#include "regex/program.h"

namespace qeld::regex {

namespace {

constexpr std::uint32_t unknown_state = UINT32_MAX;
// Past this many bytes of states and transitions a search gives up and clears the cache; after
// that has happened this often, the DFA is no longer tried for the program.
constexpr std::size_t memory_budget = 256 * 1024;
constexpr int give_ups_before_disabling = 8;

bool takes(const Program& program, const Inst& inst, char32_t c) {
    if (inst.op == Op::Char) return inst.arg == c;
    return inst.op == Op::Class && program.classes[inst.arg].contains(c);
}

}  // namespace

std::size_t LazyDfa::SetHash::operator()(const std::vector<std::uint32_t>& set) const {
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint32_t value : set) hash = (hash ^ value) * 1099511628211ull;
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

bool LazyDfa::suits(const Program& program) {
    return std::all_of(program.insts.begin(), program.insts.end(), [](const Inst& inst) {
        return inst.op != Op::Look || inst.look == Look::Start || inst.look == Look::End;
    });
}

void LazyDfa::prepare(const Program& program) {
    cuts_ = {0x80};
    auto cut = [this](char32_t first, char32_t last) {
        cuts_.push_back(first);
        if (last < max_code_point) cuts_.push_back(last + 1);
    };
    for (const Inst& inst : program.insts) {
        if (inst.op == Op::Char) cut(inst.arg, inst.arg);
    }
    for (const ProgramClass& cls : program.classes) {
        for (const CodeRange& r : cls.ranges) cut(r.first, r.last);
    }
    std::sort(cuts_.begin(), cuts_.end());
    cuts_.erase(std::unique(cuts_.begin(), cuts_.end()), cuts_.end());
    for (char32_t c = 0; c < 0x80; ++c) {
        ascii_class_[c] = static_cast<std::uint8_t>(std::upper_bound(cuts_.begin(), cuts_.end(), c) - cuts_.begin());
    }
    ascii_classes_ = ascii_class_[0x7F] + 1u;
    seen_.assign(program.insts.size(), 0);
    if (!program.anchored_start) {
        set_.clear();
        stack_ = {program.start};
        close(program, stack_, false, false);
        std::sort(set_.begin(), set_.end());
        restart_ = set_;
    }
    prepared_ = true;
}

void LazyDfa::clear() {
    states_.clear();
    ascii_next_.clear();
    other_next_.clear();
    index_.clear();
    memory_ = 0;
    have_start_ = false;
}

void LazyDfa::close(const Program& program, std::vector<std::uint32_t>& seeds, bool at_start, bool at_end) {
    if (++generation_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        generation_ = 1;
    }
    while (!seeds.empty()) {
        std::uint32_t pc = seeds.back();
        seeds.pop_back();
        if (seen_[pc] == generation_) continue;
        seen_[pc] = generation_;
        const Inst& inst = program.insts[pc];
        switch (inst.op) {
            case Op::Split:
                seeds.push_back(inst.out1);
                seeds.push_back(inst.out);
                break;
            case Op::Look:
                if (inst.look == Look::Start) {
                    if (at_start) seeds.push_back(inst.out);
                } else if (at_end) {
                    seeds.push_back(inst.out);
                } else {
                    set_.push_back(pc);
                }
                break;
            case Op::Char:
            case Op::Class:
            case Op::Match:
                set_.push_back(pc);
                break;
            case Op::Fail:
                break;
        }
    }
}

std::uint32_t LazyDfa::intern(const Program& program) {
    std::sort(set_.begin(), set_.end());
    set_.erase(std::unique(set_.begin(), set_.end()), set_.end());
    auto found = index_.find(set_);
    if (found != index_.end()) return found->second;
    State state;
    state.insts = set_;
    state.match = std::any_of(set_.begin(), set_.end(), [&](std::uint32_t pc) { return program.insts[pc].op == Op::Match; });
    auto id = static_cast<std::uint32_t>(states_.size());
    states_.push_back(std::move(state));
    ascii_next_.resize(ascii_next_.size() + ascii_classes_, unknown_state);
    index_.emplace(set_, id);
    memory_ += sizeof(State) + 2 * set_.size() * sizeof(std::uint32_t) + ascii_classes_ * sizeof(std::uint32_t) + 64;
    return id;
}

std::uint32_t LazyDfa::start_state(const Program& program) {
    if (!have_start_) {
        set_.clear();
        stack_ = {program.start};
        close(program, stack_, true, false);
        start_ = intern(program);
        have_start_ = true;
    }
    return start_;
}

std::uint32_t LazyDfa::next_state(const Program& program, std::uint32_t state, char32_t c) {
    set_.clear();
    stack_.clear();
    for (std::uint32_t pc : states_[state].insts) {
        const Inst& inst = program.insts[pc];
        if (takes(program, inst, c)) stack_.push_back(inst.out);
    }
    close(program, stack_, false, false);
    set_.insert(set_.end(), restart_.begin(), restart_.end());
    return intern(program);
}

bool LazyDfa::matches_at_end(const Program& program, std::uint32_t state) {
    if (states_[state].match_at_end < 0) {
        set_.clear();
        stack_.clear();
        for (std::uint32_t pc : states_[state].insts) {
            const Inst& inst = program.insts[pc];
            if (inst.op == Op::Look) stack_.push_back(inst.out);
        }
        close(program, stack_, false, true);
        bool match = std::any_of(set_.begin(), set_.end(), [&](std::uint32_t pc) { return program.insts[pc].op == Op::Match; });
        states_[state].match_at_end = match ? 1 : 0;
    }
    return states_[state].match_at_end == 1;
}

LazyDfa::Outcome LazyDfa::is_match(const Program& program, std::string_view haystack) {
    if (disabled_ || busy_.exchange(true, std::memory_order_acquire)) return Outcome::GaveUp;
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag.store(false, std::memory_order_release); }
    } release{busy_};
    if (!prepared_) prepare(program);
    std::uint32_t state = start_state(program);
    if (states_[state].match) return Outcome::Match;
    for (std::size_t at = 0; at < haystack.size();) {
        unsigned char byte = static_cast<unsigned char>(haystack[at]);
        std::uint32_t next;
        if (byte < 0x80) {
            std::size_t slot = state * ascii_classes_ + ascii_class_[byte];
            next = ascii_next_[slot];
            if (next == unknown_state) {
                next = next_state(program, state, byte);
                ascii_next_[slot] = next;
            }
            ++at;
        } else {
            Decoded d = decode_at(haystack, at);
            std::uint64_t cls = static_cast<std::uint64_t>(std::upper_bound(cuts_.begin(), cuts_.end(), d.c) - cuts_.begin());
            std::uint64_t key = (static_cast<std::uint64_t>(state) << 32) | cls;
            auto found = other_next_.find(key);
            if (found != other_next_.end()) {
                next = found->second;
            } else {
                next = next_state(program, state, d.c);
                other_next_.emplace(key, next);
                memory_ += 32;
            }
            at += d.length;
        }
        state = next;
        if (states_[state].match) return Outcome::Match;
        if (states_[state].insts.empty()) return Outcome::NoMatch;
        if (memory_ > memory_budget) {
            clear();
            if (++give_ups_ >= give_ups_before_disabling) disabled_ = true;
            return Outcome::GaveUp;
        }
    }
    return matches_at_end(program, state) ? Outcome::Match : Outcome::NoMatch;
}

}  // namespace qeld::regex
