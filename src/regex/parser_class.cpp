// Bracketed classes: [...] with ranges, nested classes, [:ascii:] classes, escapes and the set
// operations &&, -- and ~~.

#include <array>
#include <utility>

#include "regex/parser_internal.h"

namespace qeld::regex::detail {

namespace {

struct AsciiName {
    std::u32string_view name;
    AsciiKind kind;
};

constexpr std::array<AsciiName, 14> ascii_names = {{
    {U"alnum", AsciiKind::Alnum}, {U"alpha", AsciiKind::Alpha}, {U"ascii", AsciiKind::Ascii},
    {U"blank", AsciiKind::Blank}, {U"cntrl", AsciiKind::Cntrl}, {U"digit", AsciiKind::Digit},
    {U"graph", AsciiKind::Graph}, {U"lower", AsciiKind::Lower}, {U"print", AsciiKind::Print},
    {U"punct", AsciiKind::Punct}, {U"space", AsciiKind::Space}, {U"upper", AsciiKind::Upper},
    {U"word", AsciiKind::Word},   {U"xdigit", AsciiKind::Xdigit},
}};

}  // namespace

Result<NodeId> Parser::parse_class() {
    Union current{pos(), {}};
    while (true) {
        bump_space();
        if (eof()) return unclosed_class();
        switch (ch()) {
            case '[':
                // Inside a class, [:name:] is an ASCII class; anything else opens a nested class.
                if (!classes_.empty()) {
                    if (auto ascii = parse_ascii_class()) {
                        current.items.push_back(*ascii);
                        continue;
                    }
                }
                QELD_TRY(open_class(current));
                continue;
            case ']': {
                auto closed = close_class(current);
                if (!closed) return Error{closed.take_error()};
                if (*closed) return **closed;
                continue;
            }
            case '&':
            case '-':
            case '~':
                if (peek() == ch()) {
                    ClassOpKind kind = ch() == '&'   ? ClassOpKind::Intersection
                                       : ch() == '-' ? ClassOpKind::Difference
                                                     : ClassOpKind::SymmetricDifference;
                    bump();
                    bump();
                    push_class_op(kind, current);
                    continue;
                }
                break;
            default:
                break;
        }
        auto item = parse_class_range();
        if (!item) return Error{item.take_error()};
        current.items.push_back(*item);
    }
}

Error Parser::unclosed_class() const {
    for (auto it = classes_.rbegin(); it != classes_.rend(); ++it) {
        if (!it->op) return fault("unclosed character class", it->bracket.start);
    }
    return fault("unclosed character class", pos());
}

// At '[': opens a class. A ']' first, or any number of '-' first, stand for themselves.
Result<void> Parser::open_class(Union& current) {
    std::uint32_t start = pos();
    if (!bump_and_bump_space()) return fault("unclosed character class", start);
    ClassFrame frame;
    frame.bracket.kind = NodeKind::Bracketed;
    frame.bracket.start = start;
    frame.bracket.ignore_whitespace = ignore_whitespace_;
    if (ch() == '^') {
        frame.bracket.negated = true;
        if (!bump_and_bump_space()) return fault("unclosed character class", start);
    }
    Union nested{pos(), {}};
    auto literal = [this](char32_t c) {
        Node node;
        node.kind = NodeKind::Literal;
        node.c = c;
        node.start = pos();
        node.end = pos() + 1;
        return ast_.add(std::move(node));
    };
    while (ch() == '-') {
        nested.items.push_back(literal('-'));
        if (!bump_and_bump_space()) return fault("unclosed character class", start);
    }
    if (nested.items.empty() && ch() == ']') {
        nested.items.push_back(literal(']'));
        if (!bump_and_bump_space()) return fault("unclosed character class", start);
    }
    frame.union_start = current.start;
    frame.items = std::move(current.items);
    classes_.push_back(std::move(frame));
    current = std::move(nested);
    return {};
}

// At ']': closes the innermost class. Gives the whole class once the outermost one closes.
Result<std::optional<NodeId>> Parser::close_class(Union& current) {
    NodeId set = pop_class_op(union_node(std::move(current)));
    ClassFrame frame = std::move(classes_.back());
    classes_.pop_back();
    bump();
    frame.bracket.end = pos();
    frame.bracket.children = {set};
    NodeId bracket = ast_.add(std::move(frame.bracket));
    if (classes_.empty()) return std::optional<NodeId>{bracket};
    current = Union{frame.union_start, std::move(frame.items)};
    current.items.push_back(bracket);
    return std::optional<NodeId>{};
}

void Parser::push_class_op(ClassOpKind kind, Union& current) {
    NodeId lhs = pop_class_op(union_node(std::move(current)));
    ClassFrame frame;
    frame.op = true;
    frame.kind = kind;
    frame.lhs = lhs;
    classes_.push_back(std::move(frame));
    current = Union{pos(), {}};
}

// Applies a pending set operation, if any, to its right operand; left to right, all three alike.
NodeId Parser::pop_class_op(NodeId rhs) {
    if (classes_.empty() || !classes_.back().op) return rhs;
    ClassFrame frame = std::move(classes_.back());
    classes_.pop_back();
    Node node;
    node.kind = NodeKind::ClassOp;
    node.class_op = frame.kind;
    node.start = ast_[frame.lhs].start;
    node.end = ast_[rhs].end;
    node.children = {frame.lhs, rhs};
    return ast_.add(std::move(node));
}

NodeId Parser::union_node(Union current) {
    if (current.items.size() == 1) return current.items[0];
    Node node;
    node.kind = current.items.empty() ? NodeKind::Empty : NodeKind::ClassUnion;
    node.start = current.start;
    node.end = current.items.empty() ? current.start : ast_[current.items.back()].end;
    node.children = std::move(current.items);
    return ast_.add(std::move(node));
}

// One item, or a range of two literals. A '-' before ']' or before another '-' is no range.
Result<NodeId> Parser::parse_class_range() {
    auto first = parse_class_item();
    if (!first) return first;
    bump_space();
    if (eof()) return unclosed_class();
    const Node& low = ast_[*first];
    if (low.kind == NodeKind::Assertion) return fault("invalid escape in character class", low.start);
    if (ch() != '-' || peek_space() == ']' || peek_space() == '-') return first;
    if (!bump_and_bump_space()) return unclosed_class();
    auto second = parse_class_item();
    if (!second) return second;
    const Node& from = ast_[*first];
    const Node& to = ast_[*second];
    if (from.kind != NodeKind::Literal) return fault("invalid range bound in character class", from.start);
    if (to.kind != NodeKind::Literal) return fault("invalid range bound in character class", to.start);
    if (from.c > to.c) return fault("character class range out of order", from.start);
    Node node;
    node.kind = NodeKind::Range;
    node.start = from.start;
    node.end = to.end;
    node.c = from.c;
    node.last = to.c;
    return ast_.add(std::move(node));
}

Result<NodeId> Parser::parse_class_item() {
    if (ch() == '\\') return parse_escape();
    Node node;
    node.kind = NodeKind::Literal;
    node.c = ch();
    node.start = pos();
    bump();
    node.end = pos();
    return ast_.add(std::move(node));
}

// At '[' inside a class: [:name:] or [:^name:]; on any other text the cursor is put back.
std::optional<NodeId> Parser::parse_ascii_class() {
    std::size_t start = pos_;
    auto back = [this, start] {
        pos_ = start;
        return std::optional<NodeId>{};
    };
    if (!bump() || ch() != ':') return back();
    if (!bump()) return back();
    Node node;
    node.kind = NodeKind::Ascii;
    node.start = static_cast<std::uint32_t>(start);
    if (ch() == '^') {
        node.negated = true;
        if (!bump()) return back();
    }
    std::size_t name_start = pos_;
    while (ch() != ':' && bump()) {
    }
    if (eof()) return back();
    std::u32string_view name = std::u32string_view(pattern_).substr(name_start, pos_ - name_start);
    if (!bump_if(U":]")) return back();
    for (const AsciiName& entry : ascii_names) {
        if (entry.name == name) {
            node.ascii = entry.kind;
            node.end = pos();
            return ast_.add(std::move(node));
        }
    }
    return back();
}

}  // namespace qeld::regex::detail
