// The Pike VM: all threads advance together one code point at a time, in priority order, so the
// work per code point is bounded by the program's size whatever the haystack.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "regex/matcher.h"

namespace qeld::regex::detail {

namespace {

// The threads at one position: a sparse set of instructions in priority order, each with the
// capture slots of the path that reached it first.
struct ThreadList {
    std::vector<std::uint32_t> dense;
    std::vector<std::uint32_t> sparse;
    std::vector<std::size_t> slots;
    std::size_t size = 0;
    std::size_t window = 0;

    void reset(std::size_t capacity, std::size_t slot_window) {
        if (dense.size() < capacity) {
            dense.resize(capacity);
            sparse.resize(capacity);
        }
        window = slot_window;
        if (slots.size() < capacity * window) slots.resize(capacity * window);
        size = 0;
    }
    bool contains(std::uint32_t pc) const {
        std::uint32_t index = sparse[pc];
        return index < size && dense[index] == pc;
    }
    std::size_t insert(std::uint32_t pc) {
        dense[size] = pc;
        sparse[pc] = static_cast<std::uint32_t>(size);
        return size++;
    }
    std::size_t* slots_of(std::size_t index) { return slots.data() + index * window; }
};

struct Frame {
    std::uint32_t pc;
    std::uint32_t restore_slot;  // restore_slot_none to explore pc, else the window index to put back
    std::size_t value;
};

constexpr std::uint32_t restore_slot_none = UINT32_MAX;

struct Scratch {
    ThreadList current;
    ThreadList next;
    std::vector<Frame> stack;
    std::vector<std::size_t> path;
};

Scratch& scratch() {
    thread_local Scratch instance;
    return instance;
}

class PikeVm {
public:
    PikeVm(const Program& program, std::string_view haystack, std::size_t first_slot, std::size_t window)
        : program_(program), haystack_(haystack), first_slot_(first_slot), window_(window), scratch_(scratch()) {
        std::size_t n = program.insts.size();
        scratch_.current.reset(n, window);
        scratch_.next.reset(n, window);
        scratch_.path.assign(window, no_position);
    }

    bool run(std::size_t* slots) {
        ThreadList* current = &scratch_.current;
        ThreadList* next = &scratch_.next;
        bool matched = false;
        for (std::size_t at = 0;;) {
            if (!matched && (at == 0 || !program_.anchored_start)) {
                std::fill(scratch_.path.begin(), scratch_.path.end(), no_position);
                add(*current, program_.start, at, nullptr);
            }
            if (current->size == 0 && (matched || program_.anchored_start)) break;
            std::size_t length = step_length(haystack_, at);
            for (std::size_t i = 0; i < current->size; ++i) {
                const Inst& inst = program_.insts[current->dense[i]];
                if (inst.op == Op::Match) {
                    matched = true;
                    if (!slots) return true;
                    std::copy_n(current->slots_of(i), window_, slots + first_slot_);
                    break;  // every thread after this one has a lower priority
                }
                if ((inst.op == Op::Char || inst.op == Op::Class) && consumes(program_, inst, haystack_, at)) {
                    add(*next, inst.out, at + length, current->slots_of(i));
                }
            }
            if (at >= haystack_.size()) break;
            std::swap(current, next);
            next->size = 0;
            at += length;
        }
        return matched;
    }

private:
    // Follows every empty-width path from pc at position `at`, in priority order, adding the
    // instructions that consume or match.
    void add(ThreadList& list, std::uint32_t start, std::size_t at, const std::size_t* from) {
        std::vector<std::size_t>& path = scratch_.path;
        if (from) std::copy_n(from, window_, path.begin());
        std::vector<Frame>& stack = scratch_.stack;
        stack.clear();
        stack.push_back({start, restore_slot_none, 0});
        while (!stack.empty()) {
            Frame frame = stack.back();
            stack.pop_back();
            if (frame.restore_slot != restore_slot_none) {
                path[frame.restore_slot] = frame.value;
                continue;
            }
            std::uint32_t pc = frame.pc;
            while (!list.contains(pc)) {
                std::size_t index = list.insert(pc);
                const Inst& inst = program_.insts[pc];
                if (inst.op == Op::Split) {
                    stack.push_back({inst.out1, restore_slot_none, 0});
                    pc = inst.out;
                } else if (inst.op == Op::Save) {
                    std::size_t slot = inst.arg - first_slot_;  // wraps for slots below the window
                    if (slot < window_) {
                        stack.push_back({0, static_cast<std::uint32_t>(slot), path[slot]});
                        path[slot] = at;
                    }
                    pc = inst.out;
                } else if (inst.op == Op::Look) {
                    if (!look_holds(inst.look, haystack_, at)) break;
                    pc = inst.out;
                } else {
                    if (inst.op != Op::Fail) std::copy_n(path.begin(), window_, list.slots_of(index));
                    break;
                }
            }
        }
    }

    const Program& program_;
    std::string_view haystack_;
    std::size_t first_slot_;
    std::size_t window_;
    Scratch& scratch_;
};

// The slot tables of the two thread lists stay within this many bytes; a pattern with more groups
// than fit is searched once per window of slots.
constexpr std::size_t slot_table_budget = 32 * 1024 * 1024;

}  // namespace

bool pike_vm(const Program& program, std::string_view haystack, std::size_t* slots, std::size_t first_slot,
             std::size_t slot_window) {
    return PikeVm(program, haystack, first_slot, slot_window).run(slots);
}

}  // namespace qeld::regex::detail

namespace qeld::regex {

bool search(const Program& program, std::string_view haystack, std::vector<std::size_t>* slots) {
    std::size_t positions = haystack.size() + 1;
    std::size_t insts = program.insts.size();
    bool small = positions <= detail::backtrack_visited_bits / insts && insts * positions <= detail::backtrack_visited_bits;
    if (slots) slots->assign(program.slot_count, no_position);
    if (small) return detail::backtrack(program, haystack, slots ? slots->data() : nullptr);
    if (!slots) return detail::pike_vm(program, haystack, nullptr, 0, 0);
    std::size_t window = std::max<std::size_t>(2, detail::slot_table_budget / (2 * sizeof(std::size_t) * insts));
    window = std::min<std::size_t>(window, program.slot_count);
    for (std::size_t first = 0; first < program.slot_count; first += window) {
        std::size_t count = std::min(window, program.slot_count - first);
        if (!detail::pike_vm(program, haystack, slots->data(), first, count)) return false;
    }
    return true;
}

}  // namespace qeld::regex
