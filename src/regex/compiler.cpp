#include "regex/compiler.h"

#include <algorithm>

namespace qeld::regex {

namespace {

constexpr std::uint64_t saturation = std::uint64_t{1} << 40;
constexpr std::uint32_t no_hole = UINT32_MAX;

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) { return std::min(a + b, saturation); }
std::uint64_t saturating_multiply(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > saturation / a) return saturation;
    return std::min(a * b, saturation);
}

// Mirrors the shapes compile() builds below, instruction for instruction, plus two for each
// capture group.
std::uint64_t count(const Hir& hir, HirId id, std::uint64_t per_group) {
    const HirNode& node = hir[id];
    switch (node.kind) {
        case HirKind::Empty:
            return 0;
        case HirKind::Char:
        case HirKind::Class:
        case HirKind::Look:
            return 1;
        case HirKind::Capture:
            return saturating_add(count(hir, node.children[0], per_group), per_group);
        case HirKind::Concat:
        case HirKind::Alternation: {
            std::uint64_t total = node.kind == HirKind::Alternation ? node.children.size() - 1 : 0;
            for (HirId child : node.children) total = saturating_add(total, count(hir, child, per_group));
            return total;
        }
        case HirKind::Repetition: {
            std::uint64_t sub = count(hir, node.children[0], per_group);
            if (node.min == 0 && node.has_max && node.max == 1) return saturating_add(sub, 1);
            if (!node.has_max) {
                if (node.min == 0) {
                    bool consumes = hir[node.children[0]].min_length.value_or(0) > 0;
                    return saturating_add(sub, consumes ? 1 : 2);
                }
                return saturating_add(saturating_multiply(sub, node.min), 1);
            }
            if (node.min == node.max) return saturating_multiply(sub, node.min);
            return saturating_add(saturating_multiply(sub, node.max), node.max - node.min);
        }
    }
    return 0;
}

bool is_anchored_start(const Hir& hir, HirId id) {
    const HirNode& node = hir[id];
    switch (node.kind) {
        case HirKind::Look:
            return node.look == Look::Start;
        case HirKind::Capture:
            return is_anchored_start(hir, node.children[0]);
        case HirKind::Concat:
            return is_anchored_start(hir, node.children[0]);
        case HirKind::Alternation:
            return std::all_of(node.children.begin(), node.children.end(),
                               [&hir](HirId child) { return is_anchored_start(hir, child); });
        case HirKind::Repetition:
            return node.min > 0 && is_anchored_start(hir, node.children[0]);
        default:
            return false;
    }
}

// A fragment of program under construction: its entry and the exits still to be pointed at what
// follows. The list of exits is threaded through the unset fields themselves. An empty fragment
// has no instruction: whatever points at it points at what follows instead.
struct Holes {
    std::uint32_t head = no_hole;
    std::uint32_t tail = no_hole;
};

struct Frag {
    std::uint32_t start = 0;
    Holes holes;
    bool empty = false;
};

class Compiler {
public:
    explicit Compiler(const Hir& hir) : hir_(hir) {}

    Program run() {
        program_.insts.reserve(static_cast<std::size_t>(count(hir_, hir_.root, 0) + 1));
        Frag frag = compile(hir_.root);
        std::uint32_t match = emit({Op::Match});
        if (frag.empty) {
            program_.start = match;
        } else {
            patch(frag.holes, match);
            program_.start = frag.start;
        }
        program_.anchored_start = is_anchored_start(hir_, hir_.root);
        for (const CharSet& set : hir_.classes) {
            ProgramClass cls;
            cls.ranges = set.ranges();
            for (const CodeRange& r : set.ranges()) {
                for (char32_t c = r.first; c <= std::min<char32_t>(r.last, 0x7F); ++c) cls.ascii[c >> 6] |= std::uint64_t{1} << (c & 63);
            }
            program_.classes.push_back(std::move(cls));
        }
        return std::move(program_);
    }

private:
    std::uint32_t emit(Inst inst) {
        program_.insts.push_back(inst);
        return static_cast<std::uint32_t>(program_.insts.size() - 1);
    }

    std::uint32_t& field(std::uint32_t hole) {
        Inst& inst = program_.insts[hole >> 1];
        return (hole & 1) ? inst.out1 : inst.out;
    }

    Holes hole(std::uint32_t pc, unsigned which) {
        std::uint32_t encoded = (pc << 1) | which;
        field(encoded) = no_hole;
        return {encoded, encoded};
    }

    Holes join(Holes a, Holes b) {
        if (a.head == no_hole) return b;
        if (b.head == no_hole) return a;
        field(a.tail) = b.head;
        return {a.head, b.tail};
    }

    void patch(Holes holes, std::uint32_t target) {
        for (std::uint32_t at = holes.head; at != no_hole;) {
            std::uint32_t next = field(at);
            field(at) = target;
            at = next;
        }
    }

    // Points a field at a fragment's entry; for an empty fragment the field becomes an exit.
    Holes point(std::uint32_t pc, unsigned which, const Frag& target) {
        if (target.empty) return hole(pc, which);
        field((pc << 1) | which) = target.start;
        return {};
    }

    Frag concat(Frag a, Frag b) {
        if (a.empty) return b;
        if (b.empty) return a;
        patch(a.holes, b.start);
        return {a.start, b.holes, false};
    }

    Frag single(Inst inst) {
        std::uint32_t pc = emit(inst);
        return {pc, hole(pc, 0), false};
    }

    // A split whose preferred branch (out when greedy, out1 when lazy) enters `body`; the other
    // branch (and the preferred one, when `body` is empty) joins the exits.
    void split_into(std::uint32_t split, bool greedy, const Frag& body, Holes& exits) {
        exits = join(exits, hole(split, greedy ? 1 : 0));
        exits = join(exits, point(split, greedy ? 0 : 1, body));
    }

    Frag compile(HirId id) {
        const HirNode& node = hir_[id];
        switch (node.kind) {
            case HirKind::Empty:
                return {0, {}, true};
            case HirKind::Char:
                return single({Op::Char, Look::Start, node.c});
            case HirKind::Class:
                if (hir_.classes[node.index].empty()) return {emit({Op::Fail}), {}, false};
                return single({Op::Class, Look::Start, node.index});
            case HirKind::Look:
                return single({Op::Look, node.look});
            case HirKind::Capture:
                return compile(node.children[0]);
            case HirKind::Concat: {
                Frag frag{0, {}, true};
                for (HirId child : node.children) frag = concat(frag, compile(child));
                return frag;
            }
            case HirKind::Alternation:
                return alternation(node);
            case HirKind::Repetition:
                return repetition(node);
        }
        return {0, {}, true};
    }

    // x|y|z as a chain of splits, each preferring its own branch to the rest.
    Frag alternation(const HirNode& node) {
        Frag result{0, {}, false};
        Holes exits;
        std::uint32_t previous = no_hole;
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            bool last = i + 1 == node.children.size();
            std::uint32_t split = no_hole;
            if (!last) {
                split = emit({Op::Split});
                if (previous == no_hole) {
                    result.start = split;
                } else {
                    field((previous << 1) | 1) = split;
                }
            }
            Frag branch = compile(node.children[i]);
            exits = join(exits, point(last ? previous : split, last ? 1 : 0, branch));
            exits = join(exits, branch.holes);
            previous = split;
        }
        result.holes = exits;
        return result;
    }

    Frag exactly(HirId sub, std::uint32_t n) {
        Frag frag{0, {}, true};
        for (std::uint32_t i = 0; i < n; ++i) frag = concat(frag, compile(sub));
        return frag;
    }

    Frag repetition(const HirNode& node) {
        HirId sub = node.children[0];
        bool greedy = node.greedy;
        if (node.min == 0 && node.has_max && node.max == 1) {  // x?
            std::uint32_t split = emit({Op::Split});
            Frag body = compile(sub);
            Holes exits;
            split_into(split, greedy, body, exits);
            return {split, join(exits, body.holes), false};
        }
        if (!node.has_max && node.min == 0) {
            if (hir_[sub].min_length.value_or(0) > 0) {  // x*: one split that loops
                std::uint32_t split = emit({Op::Split});
                Frag body = compile(sub);
                Holes exits;
                split_into(split, greedy, body, exits);
                patch(body.holes, split);
                return {split, exits, false};
            }
            // x* where x can match the empty string is built as (x+)?, which keeps the order of
            // preference right when an iteration matches nothing.
            Frag body = compile(sub);
            std::uint32_t plus = emit({Op::Split});
            patch(body.holes, plus);
            Holes exits;
            split_into(plus, greedy, body, exits);
            std::uint32_t question = emit({Op::Split});
            split_into(question, greedy, body, exits);
            return {question, exits, false};
        }
        if (!node.has_max) {  // x{n,}: n-1 copies, then a copy that loops
            Frag prefix = exactly(sub, node.min - 1);
            Frag last = compile(sub);
            std::uint32_t split = emit({Op::Split});
            patch(last.holes, split);
            Holes exits;
            split_into(split, greedy, last, exits);
            Frag loop{last.start, exits, false};
            return concat(prefix, loop);
        }
        if (node.min == node.max) return exactly(sub, node.min);
        // x{n,m}: n copies, then m-n optional ones, each of which may leave for the end.
        Frag frag = exactly(sub, node.min);
        Holes exits;
        for (std::uint32_t i = node.min; i < node.max; ++i) {
            std::uint32_t split = emit({Op::Split});
            Frag body = compile(sub);
            split_into(split, greedy, body, exits);
            frag = concat(frag, Frag{split, body.holes, false});
        }
        frag.holes = join(exits, frag.holes);
        return frag;
    }

    const Hir& hir_;
    Program program_;
};

}  // namespace

std::uint64_t program_bytes(const Hir& hir) {
    std::uint64_t bytes = saturating_multiply(saturating_add(count(hir, hir.root, 2), 3), bytes_per_instruction);
    for (const CharSet& set : hir.classes) {
        bytes = saturating_add(bytes, bytes_per_class + bytes_per_class_range * set.ranges().size());
    }
    return bytes;
}

Program compile(const Hir& hir) {
    Program program = Compiler(hir).run();
    program.prefilter = Prefilter::of(hir);
    return program;
}

}  // namespace qeld::regex
