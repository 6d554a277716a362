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

// Rewrites \d \D \w \W \s \S into Unicode classes. Inside brackets \D becomes \P{Nd}; \W and
// \S there have no equivalent in RE2's syntax and are left as written.
std::string unicode_perl_classes(std::string_view source) {
    std::string out;
    out.reserve(source.size());
    bool in_class = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        if (c == '\\' && i + 1 < source.size() && source[i + 1] == 'Q') {
            // Quoted text up to \E (or the end) is literal and copied unchanged.
            std::size_t end = source.find("\\E", i + 2);
            end = end == std::string_view::npos ? source.size() : end + 2;
            out.append(source.substr(i, end - i));
            i = end - 1;
            continue;
        }
        if (c == '\\' && i + 1 < source.size()) {
            char next = source[i + 1];
            bool perl = next == 'd' || next == 'D' || next == 'w' || next == 'W' || next == 's' || next == 'S';
            bool negated = next == 'D' || next == 'W' || next == 'S';
            if (in_class && next == 'D') {
                out += "\\P{Nd}";
            } else if (perl && !(in_class && negated)) {
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
    if (!compiled->ok()) {
        // The engine's text quotes the failing part of the expression; quote the user's own
        // text rather than its rewritten classes whenever that fails the same way.
        RE2 original(re2::StringPiece(source.data(), source.size()), options);
        return fail(original.ok() ? compiled->error() : original.error());
    }
    return Pattern(std::string(source), std::move(compiled));
}

bool Pattern::search(std::string_view text) const {
    return RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *compiled_);
}

std::optional<std::vector<std::string>> Pattern::capture_groups(std::string_view text, int count) const {
    if (count < 0 || count > compiled_->NumberOfCapturingGroups()) return std::nullopt;
    std::vector<re2::StringPiece> groups(static_cast<std::size_t>(count) + 1);
    re2::StringPiece input(text.data(), text.size());
    if (!compiled_->Match(input, 0, input.size(), RE2::UNANCHORED, groups.data(), count + 1)) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 1; i < groups.size(); ++i) {
        out.push_back(groups[i].empty() ? std::string() : std::string(groups[i].data(), groups[i].size()));
    }
    return out;
}

}  // namespace qeld::schema
