#pragma once
// The parser's state, shared by its two halves: parser.cpp (groups, repetitions, escapes) and
// parser_class.cpp (bracketed classes). Both work with explicit stacks, never recursion.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "regex/ast.h"
#include "regex/parser.h"

namespace qeld::regex::detail {

inline constexpr char32_t end_of_pattern = 0xFFFFFFFF;

Error fault(std::string_view what, std::uint32_t offset);

// Text from the pattern as a message shows it: on one line (control characters and line
// separators as \x{..}), and cut after 40 code points.
std::string shown(std::string_view text);

class Parser {
public:
    Parser(std::u32string pattern, PieceSink* sink, std::uint64_t limit)
        : pattern_(std::move(pattern)), sink_(sink), limit_(limit) {}
    Result<Ast> run();

private:
    struct Concat {
        std::uint32_t start = 0;
        std::vector<NodeId> items;
        // Counted at least, of the pieces of this level no repetition can reach any more: the
        // alternatives before this one (with the splits between them) and the first settled items.
        std::uint64_t settled_insts = 0;
        std::size_t settled_items = 0;
        // Once handing on: how many items the first one stands for.
        std::size_t handed = 0;
    };
    // An open group, or the branches so far of an alternation inside the innermost open group.
    struct GroupFrame {
        bool alternation = false;
        Concat outer;    // group: the concatenation the group belongs to
        Node group;      // group: the node, body still missing
        bool ignore_whitespace = false;  // group: the x flag outside it
        std::uint32_t start = 0;         // alternation
        std::vector<NodeId> branches;    // alternation
    };
    // An open bracket with its union so far, or a set operation waiting for its right operand.
    struct ClassFrame {
        bool op = false;
        Node bracket;                 // open: negated and start
        std::uint32_t union_start = 0;
        std::vector<NodeId> items;    // open: the union of the enclosing level
        ClassOpKind kind = ClassOpKind::Intersection;  // op
        NodeId lhs = 0;               // op
    };
    struct Union {
        std::uint32_t start = 0;
        std::vector<NodeId> items;
    };

    // Cursor, as code points.
    bool eof() const { return pos_ >= pattern_.size(); }
    char32_t ch() const { return eof() ? end_of_pattern : pattern_[pos_]; }
    std::uint32_t pos() const { return static_cast<std::uint32_t>(pos_); }
    // Moves one code point on; true when one is left to read.
    bool bump();
    bool bump_if(std::u32string_view text);
    // With the x flag, skips white space and # comments.
    void bump_space();
    bool bump_and_bump_space();
    char32_t peek() const;
    char32_t peek_space() const;

    // parser.cpp
    Result<void> push_group(Concat& concat);
    Result<void> pop_group(Concat& concat);
    void push_alternate(Concat& concat);
    Result<NodeId> finish();
    Result<void> parse_group(Concat& concat);
    Result<std::pair<std::uint8_t, std::uint8_t>> parse_flags();
    Result<std::string> parse_capture_name();
    Result<void> parse_uncounted_repetition(Concat& concat);
    Result<void> parse_counted_repetition(Concat& concat);
    Result<std::uint32_t> parse_decimal(std::uint32_t repetition_start);
    Result<NodeId> parse_primitive();
    Result<NodeId> parse_escape();
    Result<NodeId> parse_hex(std::uint32_t start);
    Result<NodeId> parse_unicode_class(std::uint32_t start);
    Result<std::optional<AssertionKind>> parse_special_word_boundary(std::uint32_t start);
    NodeId concat_node(Concat concat, std::uint32_t end);
    NodeId alternation_node(std::uint32_t start, std::vector<NodeId> branches, std::uint32_t end);
    Result<void> check_nesting() const;
    std::optional<std::uint32_t> first_too_deep(NodeId id, std::uint32_t depth) const;

    // Counting the program's size as the pieces of each level settle, and handing them on past
    // the limit.
    void settle(Concat& concat, bool item_follows);
    void start_handing_on(Concat& concat);
    void hand_on_items(Concat& concat, std::uint32_t above);
    void hand_on_branches(GroupFrame& alternation, std::uint32_t above);
    NodeId stand_in(std::vector<NodeId> pieces, std::uint64_t extra_insts);
    void hand_on(NodeId piece, std::uint32_t above);
    void summarize(std::vector<std::uint32_t>& summary, NodeId piece) const;
    void compact(Concat& concat);

    // parser_class.cpp
    Result<NodeId> parse_class();
    Result<void> open_class(Union& current);
    Result<std::optional<NodeId>> close_class(Union& current);
    void push_class_op(ClassOpKind kind, Union& current);
    NodeId pop_class_op(NodeId rhs);
    NodeId union_node(Union current);
    Result<NodeId> parse_class_range();
    Result<NodeId> parse_class_item();
    std::optional<NodeId> parse_ascii_class();
    Error unclosed_class() const;

    std::u32string pattern_;
    std::size_t pos_ = 0;
    bool ignore_whitespace_ = false;
    Ast ast_;
    std::vector<GroupFrame> groups_;
    std::vector<ClassFrame> classes_;
    std::set<std::string> capture_names_;

    PieceSink* sink_;
    std::uint64_t limit_;  // the size limit
    bool handing_on_ = false;
    std::uint32_t open_groups_ = 0;  // the group frames among groups_
    // A piece handed on nests too deeply wherever it ends up: the verdict is a nesting fault, and
    // translating further pieces could go deeper than the limit allows.
    bool too_deep_ = false;
};

}  // namespace qeld::regex::detail
