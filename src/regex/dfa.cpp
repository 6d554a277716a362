#include "regex/dfa.h"

#include <algorithm>

#include "regex/matcher.h"
#include "regex/program.h"
#include "regex/unicode.h"

namespace qeld::regex {

namespace {

constexpr std::uint32_t unknown_state = UINT32_MAX;
constexpr std::uint32_t match_state = UINT32_MAX - 1;  // a transition that found a match
constexpr std::size_t clears_before_giving_up = 3;
constexpr std::size_t bytes_per_state_that_pays = 10;
constexpr std::size_t bytes_per_other_transition = 48;  // a node of the map, roughly

// The look-behind and look-ahead bits: before a position (bit 0: it is the start) or after it
// (bit 0: it is the end).
constexpr std::uint8_t edge_bit = 1;
constexpr std::uint8_t lf_bit = 2;
constexpr std::uint8_t cr_bit = 4;
constexpr std::uint8_t word_ascii_bit = 8;
constexpr std::uint8_t word_unicode_bit = 16;

enum Flag : std::uint8_t { matching = 1, dead = 2, restart = 4 };

std::uint8_t char_bits(char32_t c) {
    std::uint8_t bits = 0;
    if (c == '\n') bits |= lf_bit;
    if (c == '\r') bits |= cr_bit;
    if (unicode::is_ascii_word_char(c)) bits |= word_ascii_bit;
    if (c < 0x80 ? unicode::is_ascii_word_char(c) : unicode::is_word_char(c)) bits |= word_unicode_bit;
    return bits;
}

// The look-behind bits an assertion reads.
std::uint8_t reads_before(Look look) {
    switch (look) {
        case Look::Start:
            return edge_bit;
        case Look::StartLF:
            return edge_bit | lf_bit;
        case Look::StartCRLF:
            return edge_bit | lf_bit | cr_bit;
        case Look::EndCRLF:
            return cr_bit;
        case Look::End:
        case Look::EndLF:
            return 0;
        case Look::WordAscii:
        case Look::WordAsciiNegate:
        case Look::WordStartAscii:
        case Look::WordEndAscii:
        case Look::WordStartHalfAscii:
        case Look::WordEndHalfAscii:
            return word_ascii_bit;
        default:
            return word_unicode_bit;
    }
}

enum class Decision { Holds, Fails, Waits };

Decision decide(Look look, std::uint8_t before, int ahead_or_unknown) {
    auto result = [](bool holds) { return holds ? Decision::Holds : Decision::Fails; };
    bool start = before & edge_bit;
    switch (look) {
        case Look::Start:
            return result(start);
        case Look::StartLF:
            return result(start || (before & lf_bit));
        case Look::WordStartHalfAscii:
            return result(!(before & word_ascii_bit));
        case Look::WordStartHalfUnicode:
            return result(!(before & word_unicode_bit));
        case Look::StartCRLF:
            if (start || (before & lf_bit)) return Decision::Holds;
            if (!(before & cr_bit)) return Decision::Fails;
            break;
        default:
            break;
    }
    if (ahead_or_unknown < 0) return Decision::Waits;
    auto ahead = static_cast<std::uint8_t>(ahead_or_unknown);
    bool end = ahead & edge_bit;
    bool wa = before & word_ascii_bit, wa_next = ahead & word_ascii_bit;
    bool wu = before & word_unicode_bit, wu_next = ahead & word_unicode_bit;
    switch (look) {
        case Look::End:
            return result(end);
        case Look::EndLF:
            return result(end || (ahead & lf_bit));
        case Look::StartCRLF:
            return result(!(ahead & lf_bit));  // after \r, unless it is the \r of \r\n
        case Look::EndCRLF:
            return result(end || (ahead & cr_bit) || ((ahead & lf_bit) && !(before & cr_bit)));
        case Look::WordAscii:
            return result(wa != wa_next);
        case Look::WordAsciiNegate:
            return result(wa == wa_next);
        case Look::WordUnicode:
            return result(wu != wu_next);
        case Look::WordUnicodeNegate:
            return result(wu == wu_next);
        case Look::WordStartAscii:
            return result(!wa && wa_next);
        case Look::WordEndAscii:
            return result(wa && !wa_next);
        case Look::WordStartUnicode:
            return result(!wu && wu_next);
        case Look::WordEndUnicode:
            return result(wu && !wu_next);
        case Look::WordEndHalfAscii:
            return result(!wa_next);
        case Look::WordEndHalfUnicode:
            return result(!wu_next);
        default:
            return Decision::Fails;
    }
}

bool takes(const Program& program, const Inst& inst, char32_t c) {
    if (inst.op == Op::Char) return inst.arg == c;
    return inst.op == Op::Class && program.classes[inst.arg].contains(c);
}

std::uint64_t hash_of(const std::uint32_t* pcs, std::size_t size, std::uint8_t context) {
    std::uint64_t hash = 1469598103934665603ull ^ context;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ pcs[i]) * 1099511628211ull;
    return hash ^ (hash >> 29);
}

std::uint8_t before_at(std::string_view h, std::size_t at, std::uint8_t mask) {
    if (at == 0) return edge_bit & mask;
    return char_bits(decode_before(h, at)) & mask;
}

}  // namespace

DfaPlan DfaPlan::of(const Program& program) {
    DfaPlan plan;
    for (const Inst& inst : program.insts) {
        if (inst.op == Op::Look) plan.context_mask |= reads_before(inst.look);
    }
    bool any_look = std::any_of(program.insts.begin(), program.insts.end(), [](const Inst& i) { return i.op == Op::Look; });
    plan.cuts = {0x80};
    auto cut = [&plan](char32_t first, char32_t last) {
        plan.cuts.push_back(first);
        if (last < max_code_point) plan.cuts.push_back(last + 1);
    };
    for (const Inst& inst : program.insts) {
        if (inst.op == Op::Char) cut(inst.arg, inst.arg);
    }
    for (const ProgramClass& cls : program.classes) {
        for (const CodeRange& r : cls.ranges) cut(r.first, r.last);
    }
    // The assertions read these too, as the character before or after a position.
    if (any_look) {
        cut('\n', '\n');
        cut('\r', '\r');
    }
    if (plan.context_mask & word_ascii_bit) {
        for (CodeRange r : {CodeRange{'0', '9'}, CodeRange{'A', 'Z'}, CodeRange{'_', '_'}, CodeRange{'a', 'z'}}) cut(r.first, r.last);
    }
    if (plan.context_mask & word_unicode_bit) {
        for (const CodeRange& r : unicode::perl_word().ranges()) cut(r.first, r.last);
    }
    std::sort(plan.cuts.begin(), plan.cuts.end());
    plan.cuts.erase(std::unique(plan.cuts.begin(), plan.cuts.end()), plan.cuts.end());
    for (char32_t c = 0; c < 0x80; ++c) {
        plan.ascii_class[c] = static_cast<std::uint8_t>(std::upper_bound(plan.cuts.begin(), plan.cuts.end(), c) - plan.cuts.begin());
    }
    plan.ascii_classes = plan.ascii_class[0x7F] + 1u;
    std::uint32_t seen = 1u << (edge_bit & plan.context_mask);
    if (plan.context_mask & ~edge_bit) {
        for (char32_t c = 0; c < 0x80; ++c) seen |= 1u << (char_bits(c) & plan.context_mask);
        for (char32_t c : plan.cuts) seen |= 1u << (char_bits(c) & plan.context_mask);
    }
    for (std::uint8_t before = 0; before < 32; ++before) {
        if (seen & (1u << before)) plan.contexts.push_back(before);
    }
    return plan;
}

std::size_t DfaCache::scratch_bytes() const {
    return (seen_.size() + set_.capacity() + stack_.capacity()) * sizeof(std::uint32_t);
}

std::size_t DfaCache::memory_usage() const {
    return memory_ + scratch_bytes() + plan_.cuts.capacity() * sizeof(char32_t) + plan_.contexts.capacity();
}

void DfaCache::prepare(const Program& program) {
    program_ = &program;
    plan_ = DfaPlan::of(program);
    accelerate_ = program.prefilter.has_prefix() && !program.anchored_start;
    seen_.assign(program.insts.size(), 0);
    generation_ = 0;
    set_.reserve(program.insts.size());
    stack_.reserve(program.insts.size());
    clear();
    clears_ = 0;
    bytes_since_clear_ = 0;
}

void DfaCache::clear() {
    pool_.clear();
    states_.clear();
    ascii_next_.clear();
    other_next_.clear();
    table_.assign(64, 0);
    std::fill(std::begin(start_), std::end(start_), unknown_state);
    memory_ = table_.size() * sizeof(std::uint32_t);
}

void DfaCache::close(std::uint8_t before, int ahead) {
    const Program& program = *program_;
    if (++generation_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        generation_ = 1;
    }
    while (!stack_.empty()) {
        std::uint32_t pc = stack_.back();
        stack_.pop_back();
        if (seen_[pc] == generation_) continue;
        seen_[pc] = generation_;
        const Inst& inst = program.insts[pc];
        switch (inst.op) {
            case Op::Split:
                stack_.push_back(inst.out1);
                stack_.push_back(inst.out);
                break;
            case Op::Look:
                switch (decide(inst.look, before, ahead)) {
                    case Decision::Holds:
                        stack_.push_back(inst.out);
                        break;
                    case Decision::Waits:
                        set_.push_back(pc);
                        break;
                    case Decision::Fails:
                        break;
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

std::uint32_t DfaCache::find(std::uint64_t hash, std::uint8_t context) const {
    std::size_t mask = table_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        std::uint32_t entry = table_[slot];
        if (entry == 0) return unknown_state;
        const State& s = states_[entry - 1];
        if (s.context == context && s.size == set_.size() && std::equal(set_.begin(), set_.end(), pool_.begin() + s.offset)) {
            return entry - 1;
        }
    }
}

void DfaCache::grow_table() {
    memory_ += table_.size() * sizeof(std::uint32_t);
    std::vector<std::uint32_t> grown(table_.size() * 2, 0);
    std::size_t mask = grown.size() - 1;
    for (std::uint32_t id = 0; id < states_.size(); ++id) {
        const State& s = states_[id];
        std::size_t slot = hash_of(pool_.data() + s.offset, s.size, s.context) & mask;
        while (grown[slot] != 0) slot = (slot + 1) & mask;
        grown[slot] = id + 1;
    }
    table_ = std::move(grown);
}

std::uint32_t DfaCache::intern(std::uint8_t before) {
    const Program& program = *program_;
    std::sort(set_.begin(), set_.end());
    bool waits = false;
    bool match = false;
    for (std::uint32_t pc : set_) {
        waits = waits || program.insts[pc].op == Op::Look;
        match = match || program.insts[pc].op == Op::Match;
    }
    std::uint8_t context = waits ? before : 0;
    std::uint64_t hash = hash_of(set_.data(), set_.size(), context);
    std::uint32_t found = find(hash, context);
    if (found != unknown_state) return found;
    auto id = static_cast<std::uint32_t>(states_.size());
    std::uint8_t flags = match ? matching : 0;
    if (set_.empty() && program.anchored_start) flags |= dead;
    states_.push_back({static_cast<std::uint32_t>(pool_.size()), static_cast<std::uint32_t>(set_.size()), context, flags, -1});
    pool_.insert(pool_.end(), set_.begin(), set_.end());
    std::size_t stride = plan_.ascii_classes;
    ascii_next_.resize(ascii_next_.size() + stride, unknown_state);
    memory_ += sizeof(State) + (set_.size() + stride) * sizeof(std::uint32_t);
    std::size_t mask = table_.size() - 1;
    std::size_t slot = hash & mask;
    while (table_[slot] != 0) slot = (slot + 1) & mask;
    table_[slot] = id + 1;
    if (2 * states_.size() > table_.size()) grow_table();
    return id;
}

std::uint32_t DfaCache::start_state(std::uint8_t before) {
    if (start_[before] == unknown_state) {
        set_.clear();
        stack_.assign(1, program_->start);
        close(before, -1);
        std::uint32_t id = intern(before);
        if (accelerate_) states_[id].flags |= restart;
        start_[before] = id;
    }
    return start_[before];
}

void DfaCache::add_start_states() {
    if (!accelerate_) return;
    for (std::uint8_t before : plan_.contexts) start_state(before);
}

std::uint32_t DfaCache::compute_next(std::uint32_t state, char32_t c) {
    const Program& program = *program_;
    const State& s = states_[state];
    std::uint8_t context = s.context;
    std::uint8_t ahead = char_bits(c);
    // The assertions waiting in the set are decided now that the next character is known.
    stack_.assign(pool_.begin() + s.offset, pool_.begin() + s.offset + s.size);
    set_.clear();
    close(context, ahead);
    std::size_t resolved = set_.size();
    for (std::size_t i = 0; i < resolved; ++i) {
        const Inst& inst = program.insts[set_[i]];
        if (inst.op == Op::Match) return match_state;
        if (takes(program, inst, c)) stack_.push_back(inst.out);
    }
    if (!program.anchored_start) stack_.push_back(program.start);
    set_.clear();
    close(ahead, -1);
    return intern(ahead & plan_.context_mask);
}

bool DfaCache::matches_at_end(std::uint32_t state) {
    State& s = states_[state];
    if (s.match_at_end < 0) {
        stack_.assign(pool_.begin() + s.offset, pool_.begin() + s.offset + s.size);
        set_.clear();
        close(s.context, edge_bit);
        bool match = std::any_of(set_.begin(), set_.end(), [this](std::uint32_t pc) { return program_->insts[pc].op == Op::Match; });
        states_[state].match_at_end = match ? 1 : 0;
    }
    return states_[state].match_at_end == 1;
}

DfaCache::Outcome DfaCache::is_match(const Program& program, std::string_view h) {
    if (program_ != &program) prepare(program);
    if (options_.gives_up && 2 * scratch_bytes() > options_.capacity) return Outcome::GaveUp;
    // A return to the start of the pattern is recognised only for a start state already built.
    add_start_states();
    const DfaPlan& plan = plan_;
    const Prefilter& prefilter = program.prefilter;
    std::size_t at = 0;
    std::size_t segment_start = 0;  // where the bytes since the last clear began
    struct CountBytes {
        std::size_t& total;
        const std::size_t& at;
        const std::size_t& start;
        ~CountBytes() { total += at - start; }
    } count_bytes{bytes_since_clear_, at, segment_start};
    std::uint32_t state = start_state(edge_bit & plan.context_mask);
    for (;;) {
        std::uint8_t flags = states_[state].flags;
        // Most bytes are ASCII steps already known between ordinary states: taken in a tight run
        // that stops before anything else, or on entering a state that needs a look.
        for (const std::size_t classes = plan.ascii_classes; flags == 0 && at < h.size();) {
            const auto byte = static_cast<unsigned char>(h[at]);
            if (byte >= 0x80) break;
            const std::uint32_t next = ascii_next_[state * classes + plan.ascii_class[byte]];
            if (next == unknown_state || next == match_state) break;
            state = next;
            ++at;
            flags = states_[state].flags;
        }
        if (flags != 0) {
            if (flags & matching) return Outcome::Match;
            if (flags & dead) return Outcome::NoMatch;
            // Nothing is under way: skip to where the next match could start.
            std::size_t candidate = prefilter.next_candidate(h, at);
            if (candidate == std::string_view::npos) return Outcome::NoMatch;
            if (candidate != at) {
                at = candidate;
                state = start_state(before_at(h, at, plan.context_mask));
                if (states_[state].flags & matching) return Outcome::Match;
            }
        }
        if (at >= h.size()) break;
        auto byte = static_cast<unsigned char>(h[at]);
        std::uint32_t next;
        bool ascii = byte < 0x80;
        char32_t c = byte;
        std::uint64_t key = 0;
        std::size_t length = 1;
        if (ascii) {
            next = ascii_next_[state * plan.ascii_classes + plan.ascii_class[byte]];
        } else {
            Decoded d = decode_at(h, at);
            c = d.c;
            length = d.length;
            auto cls = static_cast<std::uint64_t>(std::upper_bound(plan.cuts.begin(), plan.cuts.end(), c) - plan.cuts.begin());
            key = (static_cast<std::uint64_t>(state) << 32) | cls;
            auto found = other_next_.find(key);
            next = found == other_next_.end() ? unknown_state : found->second;
        }
        if (next == unknown_state) {
            next = compute_next(state, c);
            if (ascii) {
                ascii_next_[state * plan.ascii_classes + plan.ascii_class[byte]] = next;
            } else {
                other_next_.emplace(key, next);
                memory_ += bytes_per_other_transition;
            }
            if (next != match_state && over_capacity()) {
                std::size_t searched = bytes_since_clear_ + (at - segment_start);
                if (options_.gives_up && clears_ >= clears_before_giving_up &&
                    searched < bytes_per_state_that_pays * states_.size()) {
                    clear();
                    bytes_since_clear_ = 0;
                    segment_start = at;
                    return Outcome::GaveUp;
                }
                // Keep the state the search goes on from, and drop everything else.
                const State& s = states_[next];
                std::vector<std::uint32_t> keep(pool_.begin() + s.offset, pool_.begin() + s.offset + s.size);
                std::uint8_t context = s.context;
                clear();
                ++clears_;
                bytes_since_clear_ = 0;
                segment_start = at;
                set_.assign(keep.begin(), keep.end());
                next = intern(context);
                add_start_states();
            }
        }
        if (next == match_state) return Outcome::Match;
        state = next;
        at += length;
    }
    return matches_at_end(state) ? Outcome::Match : Outcome::NoMatch;
}

}  // namespace qeld::regex
