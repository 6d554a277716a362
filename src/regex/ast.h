#pragma once
// The syntax tree of a pattern, as the parser reads it: flags are not applied yet and Unicode
// classes are names, not sets. Nodes live in one arena and refer to each other by index, so a
// deep tree is neither built nor freed by recursion.

#include <cstdint>
#include <string>
#include <vector>

namespace qeld::regex {

using NodeId = std::uint32_t;

// The flags of the syntax, one bit each.
enum Flag : std::uint8_t {
    flag_case_insensitive = 1 << 0,  // i
    flag_multi_line = 1 << 1,        // m
    flag_dot_matches_new_line = 1 << 2,  // s
    flag_swap_greed = 1 << 3,        // U
    flag_unicode = 1 << 4,           // u
    flag_ignore_whitespace = 1 << 5, // x
    flag_crlf = 1 << 6,              // R
};

enum class NodeKind : std::uint8_t {
    Empty,
    Literal,      // c
    Dot,
    Assertion,    // assertion
    SetFlags,     // (?flags): set_flags, clear_flags
    Perl,         // \d \s \w, negated
    Unicode,      // \pX \p{..}: name (and value), negated, not_equal
    Bracketed,    // [...]: negated, children = {set}
    Repetition,   // min, max (has_max), greedy, children = {operand}
    Group,        // group, name, set_flags, clear_flags, children = {body}
    Concat,       // children
    Alternation,  // children
    // Only inside a bracketed class:
    Range,        // c .. last
    Ascii,        // [:name:]: ascii, negated
    ClassUnion,   // children
    ClassOp,      // class_op, children = {lhs, rhs}
};

enum class AssertionKind : std::uint8_t {
    StartLine,  // ^
    EndLine,    // $
    StartText,  // \A
    EndText,    // \z
    WordBoundary,
    NotWordBoundary,
    WordStart,      // \b{start}, \<
    WordEnd,        // \b{end}, \>
    WordStartHalf,  // \b{start-half}
    WordEndHalf,    // \b{end-half}
};

enum class PerlKind : std::uint8_t { Digit, Space, Word };

enum class AsciiKind : std::uint8_t {
    Alnum, Alpha, Ascii, Blank, Cntrl, Digit, Graph, Lower, Print, Punct, Space, Upper, Word, Xdigit,
};

enum class ClassOpKind : std::uint8_t { Intersection, Difference, SymmetricDifference };

enum class GroupKind : std::uint8_t { Capture, Named, NonCapturing };

// A literal written as \xNN: the only form that names a byte rather than a code point when the
// u flag is off.
enum class LiteralKind : std::uint8_t { Plain, HexByte };

struct Node {
    NodeKind kind = NodeKind::Empty;
    // Position in the pattern, in code points from 0: where the construct starts and ends.
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    char32_t c = 0;     // Literal, Range (first)
    char32_t last = 0;  // Range
    LiteralKind literal = LiteralKind::Plain;
    bool negated = false;
    bool not_equal = false;  // \p{name!=value}
    bool greedy = true;
    bool has_value = false;  // \p{name=value}
    bool ignore_whitespace = false;  // Bracketed: read with the x flag
    AssertionKind assertion = AssertionKind::StartLine;
    PerlKind perl = PerlKind::Digit;
    AsciiKind ascii = AsciiKind::Alnum;
    ClassOpKind class_op = ClassOpKind::Intersection;
    GroupKind group = GroupKind::Capture;
    std::uint8_t set_flags = 0;
    std::uint8_t clear_flags = 0;
    std::uint32_t min = 0;
    std::uint32_t max = 0;
    bool has_max = true;  // false for x*, x+ and x{n,}
    std::uint32_t property = 0;  // Unicode: into Ast::properties
    std::vector<NodeId> children;
    // Empty: 1 + the index into Ast::summaries when the node stands for pieces handed on.
    std::uint32_t summary = 0;
    // Filled in by Ast::add: at least how many instructions the size limit counts for the node
    // (exact but for x*, which may take one more), and whether it only ever matches the empty
    // string, as translation finds.
    std::uint64_t insts = 0;
    bool zero_width = true;
};

// Sets insts (saturating far above any limit) and zero_width from the node's children.
void measure(Node& node, const std::vector<Node>& nodes);

// The name of a Unicode class, or a property's name and value (\p{name=value}).
struct PropertyName {
    std::string name;
    std::string value;
};

struct Ast {
    std::vector<Node> nodes;
    std::vector<PropertyName> properties;
    NodeId root = 0;
    std::u32string pattern;  // the text, decoded
    // For each node that stands for pieces handed on, entry d - 1 is the offset of the first node
    // among them that lies d levels below the node's place, up to one level past the limit.
    std::vector<std::vector<std::uint32_t>> summaries;
    // The parser found the program too large before the end and kept only what is left of the
    // tree after the pieces it handed on (see PieceSink).
    bool too_large = false;
    // The parser handed pieces on, but a repetition with a zero maximum erased what passed the
    // limit: the verdict needs the whole tree.
    bool incomplete = false;

    NodeId add(Node node) {
        measure(node, nodes);
        nodes.push_back(std::move(node));
        return static_cast<NodeId>(nodes.size() - 1);
    }
    Node& operator[](NodeId id) { return nodes[id]; }
    const Node& operator[](NodeId id) const { return nodes[id]; }
};

}  // namespace qeld::regex
