// The Pike VM: all threads advance together one code point at a time, in priority order, so the
// work per code point is bounded by the program's size whatever the haystack.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "regex/matcher.h"

namespace qeld::regex::detail {

namespace {

// The threads at one position: a sparse set of instructions.
struct ThreadList {
    std::vector<std::uint32_t> dense;
    std::vector<std::uint32_t> sparse;
    std::size_t size = 0;

    void reset(std::size_t capacity) {
        if (dense.size() < capacity) {
            dense.resize(capacity);
            sparse.resize(capacity);
        }
        size = 0;
    }
    bool contains(std::uint32_t pc) const {
        std::uint32_t index = sparse[pc];
        return index < size && dense[index] == pc;
    }
    void insert(std::uint32_t pc) {
        dense[size] = pc;
        sparse[pc] = static_cast<std::uint32_t>(size);
        ++size;
    }
};

struct Scratch {
    ThreadList current;
    ThreadList next;
    std::vector<std::uint32_t> stack;
};

Scratch& scratch() {
    thread_local Scratch instance;
    return instance;
}

class PikeVm {
public:
    PikeVm(const Program& program, std::string_view haystack)
        : program_(program), haystack_(haystack), scratch_(scratch()) {
        std::size_t n = program.insts.size();
        scratch_.current.reset(n);
        scratch_.next.reset(n);
    }

    bool run() {
        ThreadList* current = &scratch_.current;
        ThreadList* next = &scratch_.next;
        for (std::size_t at = 0;;) {
            if (at == 0 || !program_.anchored_start) add(*current, program_.start, at);
            if (current->size == 0 && program_.anchored_start) break;
            std::size_t length = step_length(haystack_, at);
            for (std::size_t i = 0; i < current->size; ++i) {
                const Inst& inst = program_.insts[current->dense[i]];
                if (inst.op == Op::Match) return true;
                if ((inst.op == Op::Char || inst.op == Op::Class) && consumes(program_, inst, haystack_, at)) {
                    add(*next, inst.out, at + length);
                }
            }
            if (at >= haystack_.size()) break;
            std::swap(current, next);
            next->size = 0;
            at += length;
        }
        return false;
    }

private:
    // Follows every empty-width path from pc at position `at`, adding the instructions that
    // consume or match.
    void add(ThreadList& list, std::uint32_t start, std::size_t at) {
        std::vector<std::uint32_t>& stack = scratch_.stack;
        stack.clear();
        stack.push_back(start);
        while (!stack.empty()) {
            std::uint32_t pc = stack.back();
            stack.pop_back();
            while (!list.contains(pc)) {
                list.insert(pc);
                const Inst& inst = program_.insts[pc];
                if (inst.op == Op::Split) {
                    stack.push_back(inst.out1);
                    pc = inst.out;
                } else if (inst.op == Op::Look) {
                    if (!look_holds(inst.look, haystack_, at)) break;
                    pc = inst.out;
                } else {
                    break;
                }
            }
        }
    }

    const Program& program_;
    std::string_view haystack_;
    Scratch& scratch_;
};

}  // namespace

bool pike_vm(const Program& program, std::string_view haystack) { return PikeVm(program, haystack).run(); }

}  // namespace qeld::regex::detail

namespace qeld::regex {

bool search(const Program& program, std::string_view haystack) {
    std::size_t positions = haystack.size() + 1;
    std::size_t insts = program.insts.size();
    bool small = positions <= detail::backtrack_visited_bits / insts && insts * positions <= detail::backtrack_visited_bits;
    if (small) return detail::backtrack(program, haystack);
    return detail::pike_vm(program, haystack);
}

}  // namespace qeld::regex
