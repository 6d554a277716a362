#include "schema/pattern.h"

#include <re2/re2.h>

namespace qeld::schema {

namespace {

// Unicode forms of the Perl classes, which RE2 reads as ASCII only. The bracketed bodies can
// stand inside a character class too.
constexpr std::string_view digit_body = "\\p{Nd}";
constexpr std::string_view word_body = "\\p{L}\\p{M}\\p{Nd}\\p{Pc}";
constexpr std::string_view space_body = "\\t\\n\\x0B\\f\\r\\x{85}\\p{Z}";

std::string_view class_body(char c) {
    switch (c) {
        case 'd':
        case 'D':
            return digit_body;
        case 'w':
        case 'W':
            return word_body;
        default:
            return space_body;
    }
}

// Rewrites \d \D \w \W \s \S into Unicode classes. A negated class inside brackets has no
// equivalent in RE2's syntax and is left as written.
std::string unicode_perl_classes(std::string_view source) {
    std::string out;
    out.reserve(source.size());
    bool in_class = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        if (c == '\\' && i + 1 < source.size()) {
            char next = source[i + 1];
            bool perl = next == 'd' || next == 'D' || next == 'w' || next == 'W' || next == 's' || next == 'S';
            bool negated = next == 'D' || next == 'W' || next == 'S';
            if (perl && !(in_class && negated)) {
                if (in_class) {
                    out += class_body(next);
                } else {
                    out += negated ? "[^" : "[";
                    out += class_body(next);
                    out += "]";
                }
            } else {
                out.push_back(c);
                out.push_back(next);
            }
            ++i;
            continue;
        }
        if (!in_class && c == '[') {
            in_class = true;
            out.push_back(c);
            // A ']' right after '[' or '[^' is a literal member.
            if (i + 1 < source.size() && source[i + 1] == '^') out.push_back(source[++i]);
            if (i + 1 < source.size() && source[i + 1] == ']') out.push_back(source[++i]);
            continue;
        }
        if (in_class && c == '[' && i + 1 < source.size() && source[i + 1] == ':') {
            std::size_t close = source.find(":]", i + 2);
            if (close != std::string_view::npos) {
                out.append(source.substr(i, close + 2 - i));
                i = close + 1;
                continue;
            }
        }
        if (in_class && c == ']') in_class = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace

Result<Pattern> Pattern::compile(std::string_view source) {
    RE2::Options options;
    options.set_log_errors(false);
    auto compiled = std::make_shared<RE2>(unicode_perl_classes(source), options);
    if (!compiled->ok()) return fail(compiled->error());
    return Pattern(std::string(source), std::move(compiled));
}

bool Pattern::search(std::string_view text) const {
    return RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *compiled_);
}

}  // namespace qeld::schema
