// A backtracking search that never visits the same (instruction, position) twice: the first visit
// is the one with the highest priority, and from there the outcome does not depend on how it was
// reached, so a second visit can only fail again. That bounds the work by the bitset's size and
// gives the same verdict as the Pike VM.

#include <cstdint>
#include <vector>

#include "regex/matcher.h"

namespace qeld::regex::detail {

namespace {

struct Frame {
    std::uint32_t pc;
    std::size_t at;
};

struct Scratch {
    std::vector<std::uint64_t> visited;
    std::vector<Frame> stack;
};

Scratch& scratch() {
    thread_local Scratch instance;
    return instance;
}

class Backtracker {
public:
    Backtracker(const Program& program, std::string_view haystack)
        : program_(program), haystack_(haystack), positions_(haystack.size() + 1), scratch_(scratch()) {
        std::size_t bits = program.insts.size() * positions_;
        scratch_.visited.assign((bits + 63) / 64, 0);
    }

    bool run() {
        for (std::size_t at = 0; at <= haystack_.size(); at += step_length(haystack_, at)) {
            if (step(program_.start, at)) return true;
            if (program_.anchored_start) break;
        }
        return false;
    }

private:
    bool visit(std::uint32_t pc, std::size_t at) {
        std::size_t index = pc * positions_ + at;
        std::uint64_t& word = scratch_.visited[index >> 6];
        std::uint64_t bit = std::uint64_t{1} << (index & 63);
        if (word & bit) return false;
        word |= bit;
        return true;
    }

    bool step(std::uint32_t start, std::size_t start_at) {
        std::vector<Frame>& stack = scratch_.stack;
        stack.clear();
        stack.push_back({start, start_at});
        while (!stack.empty()) {
            Frame frame = stack.back();
            stack.pop_back();
            std::uint32_t pc = frame.pc;
            std::size_t at = frame.at;
            for (bool alive = true; alive && visit(pc, at);) {
                const Inst& inst = program_.insts[pc];
                switch (inst.op) {
                    case Op::Char:
                    case Op::Class: {
                        std::size_t length = consumes(program_, inst, haystack_, at);
                        alive = length != 0;
                        at += length;
                        pc = inst.out;
                        break;
                    }
                    case Op::Split:
                        stack.push_back({inst.out1, at});
                        pc = inst.out;
                        break;
                    case Op::Look:
                        alive = look_holds(inst.look, haystack_, at);
                        pc = inst.out;
                        break;
                    case Op::Match:
                        return true;
                    case Op::Fail:
                        alive = false;
                        break;
                }
            }
        }
        return false;
    }

    const Program& program_;
    std::string_view haystack_;
    std::size_t positions_;
    Scratch& scratch_;
};

}  // namespace

bool backtrack(const Program& program, std::string_view haystack) {
    return Backtracker(program, haystack).run();
}

}  // namespace qeld::regex::detail
