#include "regex/translate.h"

#include <algorithm>
#include <map>
#include <string>

#include "regex/compiler.h"
#include "regex/parser_internal.h"
#include "regex/unicode.h"

namespace qeld::regex {

namespace {

using detail::fault;
using detail::shown;

struct Flags {
    bool case_insensitive = false;
    bool multi_line = false;
    bool dot_matches_new_line = false;
    bool swap_greed = false;
    bool unicode = true;
    bool crlf = false;

    void apply(std::uint8_t set, std::uint8_t clear) {
        auto update = [set, clear](bool& flag, std::uint8_t bit) {
            if (set & bit) flag = true;
            if (clear & bit) flag = false;
        };
        update(case_insensitive, flag_case_insensitive);
        update(multi_line, flag_multi_line);
        update(dot_matches_new_line, flag_dot_matches_new_line);
        update(swap_greed, flag_swap_greed);
        update(unicode, flag_unicode);
        update(crlf, flag_crlf);
    }
};

constexpr char32_t last_byte = 0xFF;

CharSet ascii_class(AsciiKind kind) {
    using R = std::vector<CodeRange>;
    switch (kind) {
        case AsciiKind::Alnum: return CharSet(R{{'0', '9'}, {'A', 'Z'}, {'a', 'z'}});
        case AsciiKind::Alpha: return CharSet(R{{'A', 'Z'}, {'a', 'z'}});
        case AsciiKind::Ascii: return CharSet(R{{0x00, 0x7F}});
        case AsciiKind::Blank: return CharSet(R{{'\t', '\t'}, {' ', ' '}});
        case AsciiKind::Cntrl: return CharSet(R{{0x00, 0x1F}, {0x7F, 0x7F}});
        case AsciiKind::Digit: return CharSet(R{{'0', '9'}});
        case AsciiKind::Graph: return CharSet(R{{'!', '~'}});
        case AsciiKind::Lower: return CharSet(R{{'a', 'z'}});
        case AsciiKind::Print: return CharSet(R{{' ', '~'}});
        case AsciiKind::Punct: return CharSet(R{{'!', '/'}, {':', '@'}, {'[', '`'}, {'{', '~'}});
        case AsciiKind::Space: return CharSet(R{{'\t', '\r'}, {' ', ' '}});
        case AsciiKind::Upper: return CharSet(R{{'A', 'Z'}});
        case AsciiKind::Word: return CharSet(R{{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}});
        case AsciiKind::Xdigit: return CharSet(R{{'0', '9'}, {'A', 'F'}, {'a', 'f'}});
    }
    return CharSet();
}

Error invalid_utf8(std::uint32_t offset) { return fault("pattern could match invalid UTF-8 without the u flag", offset); }
Error unicode_not_allowed(std::uint32_t offset) { return fault("Unicode is not allowed without the u flag", offset); }

std::optional<std::uint64_t> add_lengths(std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
    if (!a || !b) return std::nullopt;
    return std::min<std::uint64_t>(*a + *b, UINT32_MAX * std::uint64_t{2});
}

}  // namespace

class Translator {
public:
    Translator(const Ast& ast, std::uint64_t limit) : ast_(&ast), pattern_(ast.pattern), limit_(limit) {}

    // Translates the tree from its root, with the flags the pieces before it left.
    Result<Hir> run() {
        auto root = translate(ast_->root, flags_);
        if (!root) return Error{root.take_error()};
        hir_.root = *root;
        return std::move(hir_);
    }

    // Translates one piece of the top level, for its faults only.
    Result<void> check_piece(const Ast& ast, std::u32string_view pattern, NodeId piece) {
        ast_ = &ast;
        pattern_ = pattern;
        auto translated = translate(piece, flags_);
        hir_.nodes.clear();
        empty_.reset();
        if (!translated) return Error{translated.take_error()};
        return {};
    }

    // The pieces that follow lie inside a group with these flags, until leave.
    void enter(std::uint8_t set, std::uint8_t clear) {
        outer_flags_.push_back(flags_);
        flags_.apply(set, clear);
    }
    void leave() {
        flags_ = outer_flags_.back();
        outer_flags_.pop_back();
    }

    void use(const Ast& ast) {
        ast_ = &ast;
        pattern_ = ast.pattern;
    }

private:
    HirId add(HirNode node) {
        hir_.nodes.push_back(std::move(node));
        return static_cast<HirId>(hir_.nodes.size() - 1);
    }

    // One node serves every empty part: the pieces a too large pattern leaves behind are many.
    HirId empty() {
        if (empty_) return *empty_;
        HirNode node;
        node.min_length = 0;
        node.max_length = 0;
        empty_ = add(std::move(node));
        return *empty_;
    }

    HirId literal(char32_t c) {
        HirNode node;
        node.kind = HirKind::Char;
        node.c = c;
        node.min_length = node.max_length = 1;
        return add(std::move(node));
    }

    Result<HirId> class_node(CharSet set) {
        if (!set.empty() && set.ranges().size() == 1 && set.ranges()[0].first == set.ranges()[0].last) {
            return literal(set.ranges()[0].first);
        }
        auto index = store_class(std::move(set));
        if (!index) return Error{index.take_error()};
        return class_node_at(*index);
    }

    HirId class_node_at(std::uint32_t index) {
        HirNode node;
        node.kind = HirKind::Class;
        node.index = index;
        if (!hir_.classes[index].empty()) node.min_length = node.max_length = 1;
        return add(std::move(node));
    }

    // Class tables count against the size limit as they are made.
    Result<std::uint32_t> store_class(CharSet set) {
        class_bytes_ += bytes_per_class + bytes_per_class_range * set.ranges().size();
        if (class_bytes_ > limit_) return Error{too_large_message(limit_)};
        hir_.classes.push_back(std::move(set));
        return static_cast<std::uint32_t>(hir_.classes.size() - 1);
    }

    HirId look(Look kind) {
        HirNode node;
        node.kind = HirKind::Look;
        node.look = kind;
        node.min_length = node.max_length = 0;
        return add(std::move(node));
    }

    Result<HirId> translate(NodeId id, Flags& flags) {
        const Node& node = (*ast_)[id];
        switch (node.kind) {
            case NodeKind::Empty:
                return empty();
            case NodeKind::SetFlags:
                flags.apply(node.set_flags, node.clear_flags);
                return empty();
            case NodeKind::Literal:
                return translate_literal(node, flags);
            case NodeKind::Dot:
                return translate_dot(node, flags);
            case NodeKind::Assertion:
                return look(assertion_look(node.assertion, flags));
            case NodeKind::Perl:
            case NodeKind::Unicode:
                return cached_class(node, flags);
            case NodeKind::Bracketed:
                return cached_bracket(node, flags);
            case NodeKind::Repetition:
                return translate_repetition(node, flags);
            case NodeKind::Group:
                return translate_group(node, flags);
            case NodeKind::Concat:
                return translate_concat(node, flags);
            case NodeKind::Alternation:
                return translate_alternation(node, flags);
            case NodeKind::Range:
            case NodeKind::Ascii:
            case NodeKind::ClassUnion:
            case NodeKind::ClassOp:
                break;  // only inside brackets
        }
        return empty();
    }

    Result<HirId> translate_literal(const Node& node, const Flags& flags) {
        char32_t c = node.c;
        if (!flags.unicode && node.literal == LiteralKind::HexByte && c >= 0x80) return invalid_utf8(node.start);
        if (!flags.case_insensitive) return literal(c);
        CharSet set = CharSet::single(c);
        if (flags.unicode) {
            set.fold_case_simple();
        } else {
            if (c >= 0x80) return unicode_not_allowed(node.start);
            set.fold_case_ascii();
        }
        return class_node(std::move(set));
    }

    Result<HirId> translate_dot(const Node& node, const Flags& flags) {
        if (!flags.unicode) return invalid_utf8(node.start);
        CharSet set(std::vector<CodeRange>{{0, max_code_point}});
        if (!flags.dot_matches_new_line) {
            set.subtract(CharSet::single('\n'));
            if (flags.crlf) set.subtract(CharSet::single('\r'));
        }
        std::string key = std::string(".") + (flags.dot_matches_new_line ? "s" : flags.crlf ? "R" : "");
        return cached(key, [&]() -> Result<CharSet> { return set; });
    }

    static Look assertion_look(AssertionKind kind, const Flags& flags) {
        bool u = flags.unicode;
        switch (kind) {
            case AssertionKind::StartLine:
                return flags.multi_line ? (flags.crlf ? Look::StartCRLF : Look::StartLF) : Look::Start;
            case AssertionKind::EndLine:
                return flags.multi_line ? (flags.crlf ? Look::EndCRLF : Look::EndLF) : Look::End;
            case AssertionKind::StartText:
                return Look::Start;
            case AssertionKind::EndText:
                return Look::End;
            case AssertionKind::WordBoundary:
                return u ? Look::WordUnicode : Look::WordAscii;
            case AssertionKind::NotWordBoundary:
                return u ? Look::WordUnicodeNegate : Look::WordAsciiNegate;
            case AssertionKind::WordStart:
                return u ? Look::WordStartUnicode : Look::WordStartAscii;
            case AssertionKind::WordEnd:
                return u ? Look::WordEndUnicode : Look::WordEndAscii;
            case AssertionKind::WordStartHalf:
                return u ? Look::WordStartHalfUnicode : Look::WordStartHalfAscii;
            case AssertionKind::WordEndHalf:
                return u ? Look::WordEndHalfUnicode : Look::WordEndHalfAscii;
        }
        return Look::Start;
    }

    // \d, \pL and the like recur often in one pattern; each distinct one is looked up once.
    template <class Make>
    Result<HirId> cached(const std::string& key, Make&& make) {
        auto found = class_cache_.find(key);
        if (found != class_cache_.end()) return class_node_at(found->second);
        auto set = make();
        if (!set) return Error{set.take_error()};
        auto index = store_class(std::move(*set));
        if (!index) return Error{index.take_error()};
        class_cache_.emplace(key, *index);
        return class_node_at(*index);
    }

    static std::string class_key(const Ast& ast, const Node& node, const Flags& flags) {
        std::string key = node.kind == NodeKind::Perl ? "perl" : "unicode";
        key += static_cast<char>('0' + static_cast<int>(node.perl));
        key += node.negated ? "^" : "";
        key += node.not_equal ? "!" : "";
        key += flags.unicode ? "u" : "";
        key += flags.case_insensitive ? "i" : "";
        key += node.has_value ? "=" : ":";
        if (node.kind == NodeKind::Unicode) {
            const PropertyName& property = ast.properties[node.property];
            key += property.name + '\0' + property.value;
        }
        return key;
    }

    Result<HirId> cached_class(const Node& node, const Flags& flags) {
        return cached(class_key(*ast_, node, flags),
                      [&] { return node.kind == NodeKind::Perl ? perl_class(node, flags) : unicode_class(node, flags); });
    }

    // Inside brackets, each distinct Perl or Unicode class is made once per pattern.
    Result<CharSet> named_set(const Node& node, const Flags& flags) {
        std::string key = class_key(*ast_, node, flags);
        auto found = set_cache_.find(key);
        if (found != set_cache_.end()) return found->second;
        auto set = node.kind == NodeKind::Perl ? perl_class(node, flags) : unicode_class(node, flags);
        if (set) set_cache_.emplace(key, *set);
        return set;
    }

    // A bracketed class written again with the same flags is the same set.
    Result<HirId> cached_bracket(const Node& node, const Flags& flags) {
        std::string key = "[";
        key += flags.unicode ? "u" : "";
        key += flags.case_insensitive ? "i" : "";
        key += node.ignore_whitespace ? "x" : "";
        key += '\0';
        std::u32string_view text = pattern_.substr(node.start, node.end - node.start);
        key.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char32_t));
        return cached(key, [&] { return bracketed(node, flags); });
    }

    // Folding comes before negation: (?i)[^k] must leave out K and the Kelvin sign as well.
    Result<void> fold_and_negate(CharSet& set, bool negated, std::uint32_t offset, const Flags& flags) {
        if (flags.unicode) {
            if (flags.case_insensitive) set.fold_case_simple();
            if (negated) set.negate();
            return {};
        }
        if (flags.case_insensitive) set.fold_case_ascii();
        if (negated) set.negate(last_byte);
        if (!set.is_ascii()) return invalid_utf8(offset);
        return {};
    }

    // The Perl classes are closed under case folding already.
    Result<CharSet> perl_class(const Node& node, const Flags& flags) {
        CharSet set;
        if (flags.unicode) {
            set = node.perl == PerlKind::Digit ? unicode::perl_digit()
                  : node.perl == PerlKind::Space ? unicode::perl_space()
                                                 : unicode::perl_word();
            if (node.negated) set.negate();
            return set;
        }
        set = ascii_class(node.perl == PerlKind::Digit ? AsciiKind::Digit
                          : node.perl == PerlKind::Space ? AsciiKind::Space
                                                         : AsciiKind::Word);
        if (node.negated) set.negate(last_byte);
        if (!set.is_ascii()) return invalid_utf8(node.start);
        return set;
    }

    Result<CharSet> unicode_class(const Node& node, const Flags& flags) {
        if (!flags.unicode) return unicode_not_allowed(node.start);
        const std::string& name = ast_->properties[node.property].name;
        const std::string& value = ast_->properties[node.property].value;
        unicode::Lookup lookup = node.has_value ? unicode::lookup_by_value(name, value) : unicode::lookup_named(name);
        if (!lookup.set) {
            switch (lookup.fault) {
                case unicode::LookupFault::PropertyNotFound:
                    return fault("unknown Unicode property " + shown(name), node.start);
                case unicode::LookupFault::ValueNotFound:
                    return fault("unknown value " + shown(value) + " of Unicode property " + shown(name), node.start);
                case unicode::LookupFault::PropertyUnsupported:
                    return fault("unsupported Unicode property " + shown(name), node.start);
                case unicode::LookupFault::PropertyTakesNoValue:
                    return fault("Unicode property " + shown(name) + " takes no value", node.start);
            }
        }
        CharSet set = std::move(*lookup.set);
        QELD_TRY(fold_and_negate(set, node.negated != node.not_equal, node.start, flags));
        return set;
    }

    Result<CharSet> bracketed(const Node& node, const Flags& flags) {
        auto set = class_set(node.children[0], flags);
        if (!set) return set;
        QELD_TRY(fold_and_negate(*set, node.negated, node.start, flags));
        return set;
    }

    // Without the u flag a class holds bytes, and only ASCII ones can be written.
    Result<char32_t> class_literal(const Node& node, const Flags& flags) {
        if (flags.unicode) return node.c;
        if (node.literal == LiteralKind::HexByte && node.c >= 0x80) return invalid_utf8(node.start);
        if (node.c >= 0x80) return unicode_not_allowed(node.start);
        return node.c;
    }

    Result<CharSet> class_set(NodeId id, const Flags& flags) {
        const Node& node = (*ast_)[id];
        switch (node.kind) {
            case NodeKind::Literal: {
                auto c = class_literal(node, flags);
                if (!c) return Error{c.take_error()};
                return CharSet::single(*c);
            }
            case NodeKind::Range: {
                Node low = node;
                Node high = node;
                high.c = node.last;
                auto first = class_literal(low, flags);
                if (!first) return Error{first.take_error()};
                auto last = class_literal(high, flags);
                if (!last) return Error{last.take_error()};
                return CharSet(std::vector<CodeRange>{{*first, *last}});
            }
            case NodeKind::Ascii: {
                CharSet set = ascii_class(node.ascii);
                QELD_TRY(fold_and_negate(set, node.negated, node.start, flags));
                return set;
            }
            case NodeKind::Perl:
            case NodeKind::Unicode:
                return named_set(node, flags);
            case NodeKind::Bracketed:
                return bracketed(node, flags);
            case NodeKind::ClassUnion: {
                CharSet set;
                for (NodeId child : node.children) {
                    auto part = class_set(child, flags);
                    if (!part) return part;
                    set.unite(*part);
                }
                return set;
            }
            case NodeKind::ClassOp: {
                auto lhs = class_set(node.children[0], flags);
                if (!lhs) return lhs;
                auto rhs = class_set(node.children[1], flags);
                if (!rhs) return rhs;
                if (flags.case_insensitive) {
                    if (flags.unicode) {
                        lhs->fold_case_simple();
                        rhs->fold_case_simple();
                    } else {
                        lhs->fold_case_ascii();
                        rhs->fold_case_ascii();
                    }
                }
                switch (node.class_op) {
                    case ClassOpKind::Intersection: lhs->intersect(*rhs); break;
                    case ClassOpKind::Difference: lhs->subtract(*rhs); break;
                    case ClassOpKind::SymmetricDifference: lhs->symmetric_difference(*rhs); break;
                }
                return lhs;
            }
            default:
                return CharSet();  // the empty union
        }
    }

    Result<HirId> translate_repetition(const Node& node, Flags& flags) {
        auto sub = translate(node.children[0], flags);
        if (!sub) return sub;
        std::uint32_t min = node.min;
        std::uint32_t max = node.max;
        bool has_max = node.has_max;
        const HirNode& operand = hir_[*sub];
        // An operand that only ever matches the empty string gains nothing from repeating.
        if (operand.max_length == std::optional<std::uint64_t>{0}) {
            min = std::min<std::uint32_t>(min, 1);
            max = has_max ? std::min<std::uint32_t>(max, 1) : 1;
            has_max = true;
        }
        if (min == 0 && has_max && max == 0) return empty();
        if (min == 1 && has_max && max == 1) return *sub;
        HirNode rep;
        rep.kind = HirKind::Repetition;
        rep.min = min;
        rep.max = max;
        rep.has_max = has_max;
        rep.greedy = node.greedy != flags.swap_greed;
        if (min == 0) {
            rep.min_length = 0;
        } else if (operand.min_length) {
            rep.min_length = std::min<std::uint64_t>(*operand.min_length * min, UINT32_MAX * std::uint64_t{2});
        }
        if (has_max && operand.max_length) {
            rep.max_length = std::min<std::uint64_t>(*operand.max_length * max, UINT32_MAX * std::uint64_t{2});
        }
        rep.children = {*sub};
        return add(std::move(rep));
    }

    Result<HirId> translate_group(const Node& node, const Flags& flags) {
        Flags inner = flags;
        inner.apply(node.set_flags, node.clear_flags);
        auto sub = translate(node.children[0], inner);
        if (!sub) return sub;
        if (node.group == GroupKind::NonCapturing) return *sub;
        HirNode capture;
        capture.kind = HirKind::Capture;
        capture.min_length = hir_[*sub].min_length;
        capture.max_length = hir_[*sub].max_length;
        capture.children = {*sub};
        return add(std::move(capture));
    }

    Result<HirId> translate_concat(const Node& node, Flags& flags) {
        HirNode concat;
        concat.kind = HirKind::Concat;
        concat.min_length = concat.max_length = 0;
        for (NodeId child : node.children) {
            auto sub = translate(child, flags);
            if (!sub) return sub;
            const HirNode& part = hir_[*sub];
            concat.min_length = add_lengths(concat.min_length, part.min_length);
            concat.max_length = add_lengths(concat.max_length, part.max_length);
            if (part.kind == HirKind::Empty) continue;
            if (part.kind == HirKind::Concat) {
                std::vector<HirId> nested = part.children;
                concat.children.insert(concat.children.end(), nested.begin(), nested.end());
            } else {
                concat.children.push_back(*sub);
            }
        }
        if (concat.children.empty()) return empty();
        if (concat.children.size() == 1) return concat.children[0];
        return add(std::move(concat));
    }

    Result<HirId> translate_alternation(const Node& node, Flags& flags) {
        HirNode alternation;
        alternation.kind = HirKind::Alternation;
        bool unbounded = false;
        for (NodeId child : node.children) {
            auto sub = translate(child, flags);
            if (!sub) return sub;
            const HirNode& part = hir_[*sub];
            if (part.min_length && (!alternation.min_length || *part.min_length < *alternation.min_length)) {
                alternation.min_length = part.min_length;
            }
            if (!part.max_length) unbounded = true;
            if (part.max_length && !unbounded) {
                alternation.max_length = std::max(alternation.max_length.value_or(0), *part.max_length);
            }
            alternation.children.push_back(*sub);
        }
        if (unbounded) alternation.max_length.reset();
        return add(std::move(alternation));
    }

    const Ast* ast_;
    std::u32string_view pattern_;
    Flags flags_;
    std::vector<Flags> outer_flags_;
    Hir hir_;
    std::optional<HirId> empty_;
    std::uint64_t limit_;  // the size limit
    std::uint64_t class_bytes_ = 0;
    std::map<std::string, std::uint32_t> class_cache_;
    std::map<std::string, CharSet> set_cache_;
};

Result<Hir> translate(const Ast& ast, std::uint64_t limit) { return Translator(ast, limit).run(); }

std::string too_large_message(std::uint64_t limit) {
    constexpr std::uint64_t kib = 1024, mib = kib * kib;
    std::string size = limit % mib == 0   ? std::to_string(limit / mib) + " MiB"
                       : limit % kib == 0 ? std::to_string(limit / kib) + " KiB"
                                          : std::to_string(limit) + " bytes";
    return "pattern too large: its compiled form exceeds " + size;
}

Result<Hir> checked_hir(std::string_view pattern, std::uint64_t limit) {
    PieceChecker pieces(limit);
    auto ast = parse(pattern, &pieces, limit);
    if (!ast) return Error{ast.take_error()};
    // What passed the limit was erased: the pieces handed on are needed after all.
    if (ast->incomplete) ast = parse(pattern, nullptr, limit);
    if (!ast) return Error{ast.take_error()};
    if (ast->too_large) {
        auto rest = pieces.finish(*ast);
        if (!rest) return Error{rest.take_error()};
        return Error{too_large_message(limit)};
    }
    auto hir = translate(*ast, limit);
    if (!hir) return Error{hir.take_error()};
    if (program_bytes(*hir) > limit) return Error{too_large_message(limit)};
    return hir;
}

PieceChecker::PieceChecker(std::uint64_t limit) : limit_(limit) {}
PieceChecker::~PieceChecker() = default;

void PieceChecker::take(const Ast& ast, std::u32string_view pattern, NodeId piece) {
    if (fault_) return;
    if (!translator_) translator_ = std::make_unique<Translator>(ast, limit_);
    auto checked = translator_->check_piece(ast, pattern, piece);
    if (!checked) fault_ = checked.take_error();
}

void PieceChecker::enter(std::uint8_t set_flags, std::uint8_t clear_flags) {
    if (fault_) return;
    static const Ast no_tree;
    if (!translator_) translator_ = std::make_unique<Translator>(no_tree, limit_);
    translator_->enter(set_flags, clear_flags);
}

void PieceChecker::leave() {
    if (fault_) return;
    translator_->leave();
}

Result<void> PieceChecker::finish(const Ast& ast) {
    if (fault_) return Error{*fault_};
    if (!translator_) translator_ = std::make_unique<Translator>(ast, limit_);
    translator_->use(ast);
    auto rest = translator_->run();
    if (!rest) return Error{rest.take_error()};
    return {};
}

}  // namespace qeld::regex
