#include "regex/parser.h"

#include <cstdio>
#include <utility>

#include "regex/compiler.h"
#include "regex/parser_internal.h"
#include "regex/translate.h"
#include "regex/unicode.h"
#include "regex/utf8_decode.h"

namespace qeld::regex {

namespace {

constexpr std::uint64_t saturation = std::uint64_t{1} << 40;

std::uint64_t add_saturating(std::uint64_t a, std::uint64_t b) { return std::min(a + b, saturation); }
std::uint64_t multiply_saturating(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > saturation / a) return saturation;
    return std::min(a * b, saturation);
}

}  // namespace

// The counts of program_bytes, taken on the syntax tree with translation's simplifications: a
// capture group counts two, a repetition of what only matches the empty string at most once.
void measure(Node& node, const std::vector<Node>& nodes) {
    node.insts = 0;
    node.zero_width = true;
    switch (node.kind) {
        case NodeKind::Literal:
        case NodeKind::Dot:
        case NodeKind::Perl:
        case NodeKind::Unicode:
        case NodeKind::Bracketed:
            node.insts = 1;
            node.zero_width = false;
            return;
        case NodeKind::Assertion:
            node.insts = 1;
            return;
        case NodeKind::Group: {
            const Node& body = nodes[node.children[0]];
            node.insts = add_saturating(body.insts, node.group == GroupKind::NonCapturing ? 0 : 2);
            node.zero_width = body.zero_width;
            return;
        }
        case NodeKind::Concat:
        case NodeKind::Alternation:
            if (node.kind == NodeKind::Alternation) node.insts = node.children.size() - 1;
            for (NodeId child : node.children) {
                node.insts = add_saturating(node.insts, nodes[child].insts);
                node.zero_width = node.zero_width && nodes[child].zero_width;
            }
            return;
        case NodeKind::Repetition: {
            const Node& operand = nodes[node.children[0]];
            std::uint64_t sub = operand.insts;
            std::uint64_t min = node.min;
            std::uint64_t max = node.max;
            bool has_max = node.has_max;
            if (operand.zero_width) {
                min = std::min<std::uint64_t>(min, 1);
                max = has_max ? std::min<std::uint64_t>(max, 1) : 1;
                has_max = true;
            }
            node.zero_width = operand.zero_width || (has_max && max == 0);
            if (!has_max) {
                node.insts = min == 0 ? add_saturating(sub, 1) : add_saturating(multiply_saturating(sub, min), 1);
            } else if (min == max) {
                node.insts = multiply_saturating(sub, min);
            } else {
                node.insts = add_saturating(multiply_saturating(sub, max), max - min);
            }
            return;
        }
        default:
            return;
    }
}

namespace detail {

Error fault(std::string_view what, std::uint32_t offset) {
    return Error{std::string(what) + " at offset " + std::to_string(offset)};
}

std::string shown(std::string_view text) {
    constexpr std::size_t most = 40;
    std::string out;
    auto decoded = decode_utf8(text);
    if (!decoded) return out;
    std::size_t count = 0;
    for (char32_t c : *decoded) {
        if (++count > most) return out + "...";
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "\\x{%X}", static_cast<unsigned>(c));
            out += hex;
        } else {
            append_utf8(out, c);
        }
    }
    return out;
}

namespace {

bool opens_level(NodeKind kind) {
    switch (kind) {
        case NodeKind::Bracketed:
        case NodeKind::Repetition:
        case NodeKind::Group:
        case NodeKind::Concat:
        case NodeKind::Alternation:
        case NodeKind::ClassUnion:
        case NodeKind::ClassOp:
            return true;
        default:
            return false;
    }
}

bool is_meta_character(char32_t c) {
    switch (c) {
        case '\\': case '.': case '+': case '*': case '?': case '(': case ')': case '|': case '[': case ']':
        case '{': case '}': case '^': case '$': case '#': case '&': case '-': case '~':
            return true;
        default:
            return false;
    }
}

// Any ASCII character but letters, digits, '<' and '>' may be escaped to stand for itself;
// letters and digits are kept for escapes of their own.
bool is_escapable_character(char32_t c) {
    if (is_meta_character(c)) return true;
    if (c >= 0x80) return false;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
    return c != '<' && c != '>';
}

bool is_hex_digit(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::uint32_t hex_value(char32_t c) {
    if (c <= '9') return c - '0';
    if (c >= 'a') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool is_capture_char(char32_t c, bool first) {
    if (c == '_' || unicode::is_alphabetic(c)) return true;
    return !first && (c == '.' || c == '[' || c == ']' || unicode::is_numeric(c));
}

std::optional<std::uint8_t> flag_of(char32_t c) {
    switch (c) {
        case 'i': return flag_case_insensitive;
        case 'm': return flag_multi_line;
        case 's': return flag_dot_matches_new_line;
        case 'U': return flag_swap_greed;
        case 'u': return flag_unicode;
        case 'x': return flag_ignore_whitespace;
        case 'R': return flag_crlf;
        default: return std::nullopt;
    }
}

// The new state of the x flag after a flag list, if it names x.
bool ignore_whitespace_after(bool before, std::uint8_t set, std::uint8_t clear) {
    if (set & flag_ignore_whitespace) return true;
    if (clear & flag_ignore_whitespace) return false;
    return before;
}

}  // namespace

bool Parser::bump() {
    if (eof()) return false;
    ++pos_;
    return !eof();
}

bool Parser::bump_if(std::u32string_view text) {
    if (std::u32string_view(pattern_).substr(pos_).starts_with(text)) {
        pos_ += text.size();
        return true;
    }
    return false;
}

void Parser::bump_space() {
    if (!ignore_whitespace_) return;
    while (!eof()) {
        if (unicode::is_white_space(ch())) {
            bump();
        } else if (ch() == '#') {
            while (!eof() && ch() != '\n') bump();
            bump();
        } else {
            break;
        }
    }
}

bool Parser::bump_and_bump_space() {
    if (!bump()) return false;
    bump_space();
    return !eof();
}

char32_t Parser::peek() const { return pos_ + 1 < pattern_.size() ? pattern_[pos_ + 1] : end_of_pattern; }

char32_t Parser::peek_space() const {
    if (!ignore_whitespace_) return peek();
    std::size_t at = pos_ + 1;
    while (at < pattern_.size()) {
        if (unicode::is_white_space(pattern_[at])) {
            ++at;
        } else if (pattern_[at] == '#') {
            while (at < pattern_.size() && pattern_[at] != '\n') ++at;
        } else {
            return pattern_[at];
        }
    }
    return end_of_pattern;
}

Result<Ast> Parser::run() {
    Concat concat;
    while (true) {
        bump_space();
        if (eof()) break;
        if (sink_ && ch() != '?' && ch() != '*' && ch() != '+' && ch() != '{') {
            settle(concat, ch() != '|');
        }
        switch (ch()) {
            case '(':
                QELD_TRY(push_group(concat));
                break;
            case ')':
                QELD_TRY(pop_group(concat));
                break;
            case '|':
                push_alternate(concat);
                break;
            case '[': {
                auto cls = parse_class();
                if (!cls) return Error{cls.take_error()};
                concat.items.push_back(*cls);
                break;
            }
            case '?':
            case '*':
            case '+':
                QELD_TRY(parse_uncounted_repetition(concat));
                break;
            case '{':
                QELD_TRY(parse_counted_repetition(concat));
                break;
            default: {
                auto primitive = parse_primitive();
                if (!primitive) return Error{primitive.take_error()};
                concat.items.push_back(*primitive);
            }
        }
    }
    // The end of the pattern closes the top level, which must be the only level left open.
    NodeId root;
    if (groups_.empty()) {
        root = concat_node(std::move(concat), pos());
    } else if (groups_.back().alternation) {
        GroupFrame alternation = std::move(groups_.back());
        groups_.pop_back();
        alternation.branches.push_back(concat_node(std::move(concat), pos()));
        root = alternation_node(alternation.start, std::move(alternation.branches), pos());
    }
    if (!groups_.empty()) return fault("unclosed group", groups_.back().group.start);
    ast_.root = root;
    QELD_TRY(check_nesting());
    // A part passed the limit; unless a repetition with a zero maximum erased it, so does the whole.
    if (handing_on_) {
        ast_.too_large = (ast_[root].insts + 3) * bytes_per_instruction > limit_;
        ast_.incomplete = !ast_.too_large;
    }
    ast_.pattern = std::move(pattern_);
    return std::move(ast_);
}

NodeId Parser::concat_node(Concat concat, std::uint32_t end) {
    if (concat.items.size() == 1 && concat.handed < 2) return concat.items[0];
    Node node;
    node.kind = concat.items.empty() ? NodeKind::Empty : NodeKind::Concat;
    node.start = concat.start;
    node.end = end;
    node.children = std::move(concat.items);
    return ast_.add(std::move(node));
}

NodeId Parser::alternation_node(std::uint32_t start, std::vector<NodeId> branches, std::uint32_t end) {
    Node node;
    node.kind = NodeKind::Alternation;
    node.start = start;
    node.end = end;
    node.children = std::move(branches);
    return ast_.add(std::move(node));
}

Result<void> Parser::push_group(Concat& concat) {
    std::uint32_t open = pos();
    bump();
    bump_space();
    if (bump_if(U"?=") || bump_if(U"?!") || bump_if(U"?<=") || bump_if(U"?<!")) {
        return fault("look-around is not supported", open);
    }
    Node group;
    group.kind = NodeKind::Group;
    group.start = open;
    bool ignore_whitespace = ignore_whitespace_;
    if (bump_if(U"?P<") || bump_if(U"?<")) {
        group.group = GroupKind::Named;
        auto name = parse_capture_name();
        if (!name) return Error{name.take_error()};
    } else if (bump_if(U"?")) {
        if (eof()) return fault("unclosed group", open);
        auto flags = parse_flags();
        if (!flags) return Error{flags.take_error()};
        auto [set, clear] = *flags;
        char32_t end = ch();
        bump();
        ignore_whitespace = ignore_whitespace_after(ignore_whitespace_, set, clear);
        if (end == ')') {
            if (set == 0 && clear == 0) return fault("empty flag group", open);
            Node node;
            node.kind = NodeKind::SetFlags;
            node.start = open;
            node.end = pos();
            node.set_flags = set;
            node.clear_flags = clear;
            concat.items.push_back(ast_.add(std::move(node)));
            ignore_whitespace_ = ignore_whitespace;
            return {};
        }
        group.group = GroupKind::NonCapturing;
        group.set_flags = set;
        group.clear_flags = clear;
    } else {
        group.group = GroupKind::Capture;
    }
    GroupFrame frame;
    frame.outer = std::move(concat);
    frame.group = std::move(group);
    frame.ignore_whitespace = ignore_whitespace_;
    if (handing_on_ && !too_deep_) sink_->enter(frame.group.set_flags, frame.group.clear_flags);
    groups_.push_back(std::move(frame));
    ++open_groups_;
    ignore_whitespace_ = ignore_whitespace;
    concat = Concat{pos(), {}};
    return {};
}

Result<std::pair<std::uint8_t, std::uint8_t>> Parser::parse_flags() {
    std::uint8_t set = 0;
    std::uint8_t clear = 0;
    bool negating = false;
    std::optional<std::uint32_t> dangling;
    while (ch() != ':' && ch() != ')') {
        if (ch() == '-') {
            if (negating) return fault("repeated negation in flags", pos());
            negating = true;
            dangling = pos();
        } else {
            dangling.reset();
            auto flag = flag_of(ch());
            if (!flag) return fault("unrecognized flag", pos());
            if ((set | clear) & *flag) return fault("duplicate flag", pos());
            (negating ? clear : set) |= *flag;
        }
        if (!bump()) return fault("unclosed flag group", pos());
    }
    if (dangling) return fault("negation without a flag", *dangling);
    return std::pair{set, clear};
}

Result<std::string> Parser::parse_capture_name() {
    if (eof()) return fault("unclosed capture group name", pos());
    std::uint32_t start = pos();
    std::string name;
    while (ch() != '>') {
        if (!is_capture_char(ch(), pos() == start)) return fault("invalid character in capture group name", pos());
        append_utf8(name, ch());
        if (!bump()) break;
    }
    if (eof()) return fault("unclosed capture group name", pos());
    bump();
    if (name.empty()) return fault("empty capture group name", start);
    if (!capture_names_.insert(name).second) return fault("duplicate capture group name", start);
    return name;
}

Result<void> Parser::pop_group(Concat& concat) {
    std::uint32_t close = pos();
    if (groups_.empty()) return fault("unopened group", close);
    std::optional<GroupFrame> alternation;
    if (groups_.back().alternation) {
        alternation = std::move(groups_.back());
        groups_.pop_back();
        if (groups_.empty()) return fault("unopened group", close);
    }
    GroupFrame frame = std::move(groups_.back());
    groups_.pop_back();
    --open_groups_;
    if (handing_on_ && !too_deep_) sink_->leave();
    ignore_whitespace_ = frame.ignore_whitespace;
    bump();
    NodeId body = concat_node(std::move(concat), close);
    if (alternation) {
        alternation->branches.push_back(body);
        body = alternation_node(alternation->start, std::move(alternation->branches), close);
    }
    frame.group.end = pos();
    frame.group.children = {body};
    concat = std::move(frame.outer);
    concat.items.push_back(ast_.add(std::move(frame.group)));
    return {};
}

void Parser::push_alternate(Concat& concat) {
    std::uint32_t start = concat.start;
    std::uint64_t settled = concat.settled_insts;
    NodeId branch = concat_node(std::move(concat), pos());
    if (!groups_.empty() && groups_.back().alternation) {
        groups_.back().branches.push_back(branch);
    } else {
        GroupFrame frame;
        frame.alternation = true;
        frame.start = start;
        frame.branches = {branch};
        groups_.push_back(std::move(frame));
    }
    if (handing_on_) hand_on_branches(groups_.back(), open_groups_);
    bump();
    concat = Concat{pos(), {}};
    concat.settled_insts = settled;
}

Result<void> Parser::parse_uncounted_repetition(Concat& concat) {
    char32_t op = ch();
    if (concat.items.empty() || ast_[concat.items.back()].kind == NodeKind::SetFlags) {
        return fault("repetition operator without an operand", pos());
    }
    NodeId operand = concat.items.back();
    concat.items.pop_back();
    Node node;
    node.kind = NodeKind::Repetition;
    node.start = ast_[operand].start;
    node.min = op == '+' ? 1 : 0;
    node.max = 1;
    node.has_max = op == '?';
    if (bump() && ch() == '?') {
        node.greedy = false;
        bump();
    }
    node.end = pos();
    node.children = {operand};
    concat.items.push_back(ast_.add(std::move(node)));
    return {};
}

Result<void> Parser::parse_counted_repetition(Concat& concat) {
    std::uint32_t start = pos();
    if (concat.items.empty() || ast_[concat.items.back()].kind == NodeKind::SetFlags) {
        return fault("repetition operator without an operand", start);
    }
    NodeId operand = concat.items.back();
    concat.items.pop_back();
    if (!bump_and_bump_space()) return fault("unclosed counted repetition", start);
    Node node;
    node.kind = NodeKind::Repetition;
    node.start = ast_[operand].start;
    auto min = parse_decimal(start);
    if (!min) return Error{min.take_error()};
    node.min = node.max = *min;
    if (eof()) return fault("unclosed counted repetition", start);
    if (ch() == ',') {
        if (!bump_and_bump_space()) return fault("unclosed counted repetition", start);
        if (ch() != '}') {
            auto max = parse_decimal(start);
            if (!max) return Error{max.take_error()};
            node.max = *max;
        } else {
            node.has_max = false;
        }
    }
    if (eof() || ch() != '}') return fault("unclosed counted repetition", start);
    if (bump_and_bump_space() && ch() == '?') {
        node.greedy = false;
        bump();
    }
    if (node.has_max && node.min > node.max) return fault("counted repetition with its minimum above its maximum", start);
    node.end = pos();
    node.children = {operand};
    concat.items.push_back(ast_.add(std::move(node)));
    return {};
}

// White space around the number is allowed, with or without the x flag.
Result<std::uint32_t> Parser::parse_decimal(std::uint32_t repetition_start) {
    while (!eof() && unicode::is_white_space(ch())) bump();
    std::uint32_t start = pos();
    std::uint64_t value = 0;
    bool digits = false;
    while (!eof() && ch() >= '0' && ch() <= '9') {
        digits = true;
        value = value * 10 + (ch() - '0');
        if (value > UINT32_MAX) return fault("counted repetition number too large", start);
        bump_and_bump_space();
    }
    while (!eof() && unicode::is_white_space(ch())) bump_and_bump_space();
    if (!digits) {
        if (eof()) return fault("unclosed counted repetition", repetition_start);
        return fault("missing number in counted repetition", start);
    }
    return static_cast<std::uint32_t>(value);
}

Result<NodeId> Parser::parse_primitive() {
    Node node;
    node.start = pos();
    switch (ch()) {
        case '\\':
            return parse_escape();
        case '.':
            node.kind = NodeKind::Dot;
            break;
        case '^':
            node.kind = NodeKind::Assertion;
            node.assertion = AssertionKind::StartLine;
            break;
        case '$':
            node.kind = NodeKind::Assertion;
            node.assertion = AssertionKind::EndLine;
            break;
        default:
            node.kind = NodeKind::Literal;
            node.c = ch();
    }
    bump();
    node.end = pos();
    return ast_.add(std::move(node));
}

Result<NodeId> Parser::parse_escape() {
    std::uint32_t start = pos();
    if (!bump()) return fault("incomplete escape sequence", start);
    char32_t c = ch();
    if (c >= '0' && c <= '9') return fault("backreferences are not supported", start);
    if (c == 'x' || c == 'u' || c == 'U') return parse_hex(start);
    if (c == 'p' || c == 'P') return parse_unicode_class(start);
    Node node;
    node.start = start;
    if (c == 'd' || c == 's' || c == 'w' || c == 'D' || c == 'S' || c == 'W') {
        node.kind = NodeKind::Perl;
        node.negated = c == 'D' || c == 'S' || c == 'W';
        node.perl = (c == 'd' || c == 'D') ? PerlKind::Digit : (c == 's' || c == 'S') ? PerlKind::Space : PerlKind::Word;
        bump();
        node.end = pos();
        return ast_.add(std::move(node));
    }
    bump();
    node.kind = NodeKind::Literal;
    node.c = c;
    if (!is_escapable_character(c)) {
        node.kind = NodeKind::Assertion;
        switch (c) {
            case 'a': node.kind = NodeKind::Literal; node.c = 0x07; break;
            case 'f': node.kind = NodeKind::Literal; node.c = 0x0C; break;
            case 't': node.kind = NodeKind::Literal; node.c = '\t'; break;
            case 'n': node.kind = NodeKind::Literal; node.c = '\n'; break;
            case 'r': node.kind = NodeKind::Literal; node.c = '\r'; break;
            case 'v': node.kind = NodeKind::Literal; node.c = 0x0B; break;
            case 'A': node.assertion = AssertionKind::StartText; break;
            case 'z': node.assertion = AssertionKind::EndText; break;
            case 'B': node.assertion = AssertionKind::NotWordBoundary; break;
            case '<': node.assertion = AssertionKind::WordStart; break;
            case '>': node.assertion = AssertionKind::WordEnd; break;
            case 'b': {
                node.assertion = AssertionKind::WordBoundary;
                if (!eof() && ch() == '{') {
                    auto special = parse_special_word_boundary(start);
                    if (!special) return Error{special.take_error()};
                    if (*special) node.assertion = **special;
                }
                break;
            }
            default: {
                std::string text;
                append_utf8(text, c);
                return fault("unrecognized escape sequence \\" + shown(text), start);
            }
        }
    }
    node.end = pos();
    return ast_.add(std::move(node));
}

// After \b: {start}, {end}, {start-half} or {end-half}; anything else starting with a digit is a
// counted repetition of \b, left for the caller.
Result<std::optional<AssertionKind>> Parser::parse_special_word_boundary(std::uint32_t start) {
    auto is_name_char = [](char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-'; };
    std::size_t brace = pos_;
    if (!bump_and_bump_space()) return fault("unclosed word boundary or repetition", start);
    if (!is_name_char(ch())) {
        pos_ = brace;
        return std::optional<AssertionKind>{};
    }
    std::string name;
    while (!eof() && is_name_char(ch())) {
        name.push_back(static_cast<char>(ch()));
        bump_and_bump_space();
    }
    if (eof() || ch() != '}') return fault("unclosed special word boundary", start);
    bump();
    if (name == "start") return std::optional{AssertionKind::WordStart};
    if (name == "end") return std::optional{AssertionKind::WordEnd};
    if (name == "start-half") return std::optional{AssertionKind::WordStartHalf};
    if (name == "end-half") return std::optional{AssertionKind::WordEndHalf};
    return fault("unrecognized special word boundary \\b{" + name + "}", start);
}

Result<NodeId> Parser::parse_hex(std::uint32_t start) {
    char32_t kind = ch();
    if (!bump_and_bump_space()) return fault("incomplete escape sequence", start);
    Node node;
    node.kind = NodeKind::Literal;
    node.start = start;
    std::uint64_t value = 0;
    if (ch() == '{') {
        bool digits = false;
        while (bump_and_bump_space() && ch() != '}') {
            if (!is_hex_digit(ch())) return fault("invalid hexadecimal digit", pos());
            digits = true;
            value = std::min<std::uint64_t>(value * 16 + hex_value(ch()), 0x110000);
        }
        if (eof()) return fault("unclosed hexadecimal escape", start);
        bump_and_bump_space();
        if (!digits) return fault("empty hexadecimal escape", start);
    } else {
        int count = kind == 'x' ? 2 : kind == 'u' ? 4 : 8;
        for (int i = 0; i < count; ++i) {
            if (i > 0 && !bump_and_bump_space()) return fault("incomplete escape sequence", start);
            if (!is_hex_digit(ch())) return fault("invalid hexadecimal digit", pos());
            value = value * 16 + hex_value(ch());
        }
        bump_and_bump_space();
        if (kind == 'x') node.literal = LiteralKind::HexByte;
    }
    if (value > max_code_point || (value >= 0xD800 && value <= 0xDFFF)) {
        return fault("escape is not a Unicode scalar value", start);
    }
    node.c = static_cast<char32_t>(value);
    node.end = pos();
    return ast_.add(std::move(node));
}

Result<NodeId> Parser::parse_unicode_class(std::uint32_t start) {
    Node node;
    node.kind = NodeKind::Unicode;
    node.start = start;
    node.negated = ch() == 'P';
    if (!bump_and_bump_space()) return fault("incomplete escape sequence", start);
    PropertyName property;
    if (ch() == '{') {
        std::string text;
        while (bump_and_bump_space() && ch() != '}') append_utf8(text, ch());
        if (eof()) return fault("unclosed Unicode class", start);
        bump();
        std::size_t split = text.find("!=");
        std::size_t width = 2;
        if (split == std::string::npos) {
            width = 1;
            split = text.find(':');
            if (split == std::string::npos) split = text.find('=');
        }
        if (split == std::string::npos) {
            property.name = std::move(text);
        } else {
            node.has_value = true;
            node.not_equal = width == 2;
            property.name = text.substr(0, split);
            property.value = text.substr(split + width);
        }
    } else {
        if (ch() == '\\') return fault("invalid Unicode class", pos());
        append_utf8(property.name, ch());
        bump_and_bump_space();
    }
    node.property = static_cast<std::uint32_t>(ast_.properties.size());
    ast_.properties.push_back(std::move(property));
    node.end = pos();
    return ast_.add(std::move(node));
}

// Depth is counted over the finished tree, so that other faults of a pattern come first.
Result<void> Parser::check_nesting() const {
    auto too_deep = first_too_deep(ast_.root, 0);
    if (too_deep) return fault("nesting deeper than " + std::to_string(nest_limit) + " levels", *too_deep);
    return {};
}

// The offset of the first node, in the order of the text, that lies more than nest_limit levels
// deep when the node `id` lies below `depth` levels.
std::optional<std::uint32_t> Parser::first_too_deep(NodeId id, std::uint32_t depth) const {
    if (depth < nest_limit && ast_[id].children.empty() && !ast_[id].summary) return std::nullopt;
    std::vector<std::pair<NodeId, std::uint32_t>> stack = {{id, depth}};
    while (!stack.empty()) {
        auto [at, level] = stack.back();
        stack.pop_back();
        const Node& node = ast_[at];
        if (node.summary) {
            const std::vector<std::uint32_t>& below = ast_.summaries[node.summary - 1];
            if (level + below.size() > nest_limit) return below[nest_limit - level];
            continue;
        }
        if (opens_level(node.kind) && ++level > nest_limit) return node.start;
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) stack.push_back({*it, level});
    }
    return std::nullopt;
}

// Called before a token that is no repetition: every item of the level so far is settled, and the
// last one joins the count. Once a level passes the limit the verdict can only be "too large", a
// fault found before it, or (when a repetition with a zero maximum erases the level) what the whole
// tree gives; from then on the finished pieces of every level go to the sink instead of the tree.
void Parser::settle(Concat& concat, bool item_follows) {
    if (handing_on_) {
        hand_on_items(concat, open_groups_);
        compact(concat);
        return;
    }
    if (concat.items.size() > concat.settled_items) {
        concat.settled_insts = add_saturating(concat.settled_insts, ast_[concat.items.back()].insts);
        concat.settled_items = concat.items.size();
    }
    if (!item_follows) concat.settled_insts = add_saturating(concat.settled_insts, 1);  // the split
    if ((concat.settled_insts + 3) * bytes_per_instruction <= limit_) return;
    start_handing_on(concat);
    compact(concat);
}

// Everything read so far goes, in the order of the text: each level's earlier alternatives and
// items, then the group that opens the next level.
void Parser::start_handing_on(Concat& concat) {
    handing_on_ = true;
    std::uint32_t above = 0;
    for (GroupFrame& frame : groups_) {
        if (frame.alternation) {
            hand_on_branches(frame, above);
            continue;
        }
        hand_on_items(frame.outer, above);
        if (!too_deep_) sink_->enter(frame.group.set_flags, frame.group.clear_flags);
        ++above;
    }
    hand_on_items(concat, above);
}

// `above`: how many groups at least enclose the level.
void Parser::hand_on_items(Concat& concat, std::uint32_t above) {
    if (concat.items.empty() || (concat.items.size() == 1 && ast_[concat.items[0]].summary)) return;
    bool leaves = true;
    for (NodeId item : concat.items) {
        if (ast_[item].summary) continue;
        hand_on(item, above);
        ++concat.handed;
        leaves = leaves && ast_[item].children.empty() && !opens_level(ast_[item].kind);
    }
    // Leaves after a stand-in change only its size: the common case of a long text costs no node.
    NodeId first = concat.items[0];
    if (ast_[first].summary && leaves) {
        for (std::size_t i = 1; i < concat.items.size(); ++i) {
            const Node& item = ast_[concat.items[i]];
            ast_[first].insts = add_saturating(ast_[first].insts, item.insts);
            ast_[first].zero_width = ast_[first].zero_width && item.zero_width;
            ast_[first].end = item.end;
        }
        concat.items = {first};
        return;
    }
    concat.items = {stand_in(std::move(concat.items), 0)};
}

void Parser::hand_on_branches(GroupFrame& alternation, std::uint32_t above) {
    std::vector<NodeId>& branches = alternation.branches;
    if (branches.size() == 1 && ast_[branches[0]].summary) return;
    for (NodeId branch : branches) {
        if (!ast_[branch].summary) hand_on(branch, above);
    }
    // The splits between them.
    std::uint64_t splits = branches.size() - 1;
    branches = {stand_in(std::move(branches), splits)};
}

// A leaf that stands for pieces already handed on, side by side: their size and their depth.
NodeId Parser::stand_in(std::vector<NodeId> pieces, std::uint64_t extra_insts) {
    std::vector<std::uint32_t> summary;
    std::uint64_t insts = extra_insts;
    bool zero_width = true;
    for (NodeId piece : pieces) {
        summarize(summary, piece);
        insts = add_saturating(insts, ast_[piece].insts);
        zero_width = zero_width && ast_[piece].zero_width;
    }
    Node node;
    node.start = ast_[pieces.front()].start;
    node.end = ast_[pieces.back()].end;
    ast_.summaries.push_back(std::move(summary));
    node.summary = static_cast<std::uint32_t>(ast_.summaries.size());
    NodeId id = ast_.add(std::move(node));
    ast_[id].insts = insts;
    ast_[id].zero_width = zero_width;
    return id;
}

// Past a piece that nests too deeply below the groups around it the verdict is a nesting fault
// whatever follows; such a piece would also take translation deeper than the limit allows.
void Parser::hand_on(NodeId piece, std::uint32_t above) {
    if (too_deep_) return;
    std::vector<std::uint32_t> summary;
    summarize(summary, piece);
    if (above + summary.size() > nest_limit) {
        too_deep_ = true;
        return;
    }
    sink_->take(ast_, pattern_, piece);
}

// Extends the depths of the pieces before with those of `piece`, their sibling: for each depth
// reached for the first time, the offset of the first node there.
void Parser::summarize(std::vector<std::uint32_t>& summary, NodeId piece) const {
    if (ast_[piece].children.empty() && !ast_[piece].summary) return;
    std::vector<std::pair<NodeId, std::uint32_t>> stack = {{piece, 0}};
    auto reach = [&summary](std::uint32_t level, std::uint32_t offset) {
        if (level > summary.size() && summary.size() <= nest_limit) summary.push_back(offset);
    };
    while (!stack.empty()) {
        auto [at, level] = stack.back();
        stack.pop_back();
        const Node& node = ast_[at];
        if (node.summary) {
            for (std::uint32_t offset : ast_.summaries[node.summary - 1]) reach(++level, offset);
            continue;
        }
        if (opens_level(node.kind)) reach(++level, node.start);
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) stack.push_back({*it, level});
    }
}

// Right after a level is handed on, every level holds stand-ins only: the rest of the tree is
// dropped, once it outweighs them.
void Parser::compact(Concat& concat) {
    std::size_t most_kept = 2 * groups_.size() + 1;
    if (ast_.nodes.size() <= 2 * most_kept + 4) return;
    std::vector<NodeId*> kept;
    for (GroupFrame& frame : groups_) {
        for (NodeId& id : frame.alternation ? frame.branches : frame.outer.items) kept.push_back(&id);
    }
    for (NodeId& id : concat.items) kept.push_back(&id);
    for (NodeId* id : kept) {
        if (!ast_[*id].summary) return;
    }
    Ast rest;
    for (NodeId* id : kept) {
        Node node = ast_[*id];
        rest.summaries.push_back(std::move(ast_.summaries[node.summary - 1]));
        node.summary = static_cast<std::uint32_t>(rest.summaries.size());
        rest.nodes.push_back(std::move(node));
        *id = static_cast<NodeId>(rest.nodes.size() - 1);
    }
    ast_.nodes = std::move(rest.nodes);
    ast_.summaries = std::move(rest.summaries);
    ast_.properties.clear();
}

}  // namespace detail

Result<Ast> parse(std::string_view pattern, PieceSink* sink, std::uint64_t limit) {
    auto decoded = decode_utf8(pattern);
    if (!decoded) return Error{"pattern is not valid UTF-8"};
    return detail::Parser(std::move(*decoded), sink, limit).run();
}

}  // namespace qeld::regex
