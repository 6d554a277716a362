#include "regex/prefilter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "common/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qeld::regex {

namespace {

// Longer strings search no faster; the exact string is kept whole.
constexpr std::size_t literal_cap = 4096;
constexpr std::size_t prefix_cap = 64;
// Below this many bytes a scan for the required string costs more than it can save.
constexpr std::size_t required_scan_from = 256;

// What is known of the strings a node matches. Looks count as empty strings.
struct Literals {
    std::optional<std::string> exact;
    std::string prefix;
    std::string suffix;
    std::string required;
    bool has_look = false;

    const std::string& first() const { return exact ? *exact : prefix; }
    const std::string& last() const { return exact ? *exact : suffix; }
    const std::string& inner() const { return exact ? *exact : required; }
};

std::string capped(std::string text) {
    if (text.size() > literal_cap) text.resize(literal_cap);
    return text;
}

std::string capped_suffix(const std::string& text) {
    return text.size() > literal_cap ? text.substr(text.size() - literal_cap) : text;
}

void keep_longer(std::string& best, const std::string& candidate) {
    if (candidate.size() > best.size()) best = capped(candidate);
}

std::string encoded(char32_t c) {
    std::string out;
    append_utf8(out, c);
    return out;
}

// Recursion follows the tree, whose depth the parser bounds.
Literals literals(const Hir& hir, HirId id) {
    const HirNode& node = hir[id];
    Literals out;
    switch (node.kind) {
        case HirKind::Empty:
            out.exact = "";
            return out;
        case HirKind::Look:
            out.exact = "";
            out.has_look = true;
            return out;
        case HirKind::Char:
            out.exact = encoded(node.c);
            return out;
        case HirKind::Class: {
            const auto& ranges = hir.classes[node.index].ranges();
            if (ranges.size() == 1 && ranges[0].first == ranges[0].last) out.exact = encoded(ranges[0].first);
            return out;
        }
        case HirKind::Capture:
            return literals(hir, node.children[0]);
        case HirKind::Repetition: {
            if (node.has_max && node.max == 0) {
                out.exact = "";
                return out;
            }
            Literals sub = literals(hir, node.children[0]);
            out.has_look = sub.has_look;
            if (node.min == 0) return out;
            // Copies of the empty string (of assertions) are one empty string: nested counts of
            // them must not multiply into work.
            if (sub.exact && sub.exact->empty()) {
                out.exact = "";
                return out;
            }
            if (sub.exact && node.has_max && node.min == node.max) {
                std::string whole;
                whole.reserve(sub.exact->size() * node.min);
                for (std::uint32_t i = 0; i < node.min; ++i) whole += *sub.exact;
                out.exact = std::move(whole);
                return out;
            }
            if (sub.exact) {
                std::string run;
                for (std::uint32_t i = 0; i < node.min && run.size() < literal_cap; ++i) run += *sub.exact;
                out.prefix = capped(run);
                out.suffix = capped_suffix(run);
                out.required = out.prefix;
                return out;
            }
            out.prefix = std::move(sub.prefix);
            out.suffix = std::move(sub.suffix);
            out.required = std::move(sub.required);
            return out;
        }
        case HirKind::Alternation: {
            bool first = true;
            for (HirId child : node.children) {
                Literals sub = literals(hir, child);
                out.has_look = out.has_look || sub.has_look;
                if (first) {
                    out.prefix = capped(sub.first());
                    out.suffix = capped_suffix(sub.last());
                    first = false;
                    continue;
                }
                const std::string& p = sub.first();
                std::size_t common = 0;
                while (common < out.prefix.size() && common < p.size() && out.prefix[common] == p[common]) ++common;
                out.prefix.resize(common);
                const std::string& s = sub.last();
                common = 0;
                while (common < out.suffix.size() && common < s.size() &&
                       out.suffix[out.suffix.size() - 1 - common] == s[s.size() - 1 - common]) {
                    ++common;
                }
                out.suffix.erase(0, out.suffix.size() - common);
            }
            // A prefix cut inside a UTF-8 sequence is still a prefix of every match's bytes.
            return out;
        }
        case HirKind::Concat: {
            std::string whole;  // the exact strings so far, while every child has one
            bool all_exact = true;
            bool prefix_open = true;  // every child so far was exact
            std::string run;          // the current run of exact children, after the last inexact one's suffix
            for (HirId child : node.children) {
                Literals sub = literals(hir, child);
                out.has_look = out.has_look || sub.has_look;
                if (sub.exact) {
                    if (all_exact) whole += *sub.exact;
                    if (prefix_open && out.prefix.size() < literal_cap) out.prefix += *sub.exact;
                    if (run.size() < literal_cap) run += *sub.exact;
                    out.suffix += *sub.exact;
                    if (out.suffix.size() > 2 * literal_cap) out.suffix = capped_suffix(out.suffix);
                    continue;
                }
                all_exact = false;
                if (prefix_open) out.prefix += sub.prefix;
                prefix_open = false;
                keep_longer(out.required, run + sub.prefix);
                keep_longer(out.required, sub.required);
                run = sub.suffix;
                out.suffix = sub.suffix;
            }
            if (all_exact) {
                out.exact = std::move(whole);
                out.prefix.clear();
                out.suffix.clear();
                return out;
            }
            keep_longer(out.required, run);
            out.prefix = capped(out.prefix);
            out.suffix = capped_suffix(out.suffix);
            return out;
        }
    }
    return out;
}

// Appends the byte sets every match starts with; false once the node may end the known prefix.
bool byte_prefix(const Hir& hir, HirId id, std::vector<ByteSet>& out) {
    if (out.size() >= prefix_cap) return false;
    const HirNode& node = hir[id];
    switch (node.kind) {
        case HirKind::Empty:
        case HirKind::Look:
            return true;
        case HirKind::Char:
            for (unsigned char b : encoded(node.c)) {
                out.emplace_back().add(b);
            }
            return true;
        case HirKind::Class: {
            const CharSet& set = hir.classes[node.index];
            if (set.empty() || !set.is_ascii()) return false;
            ByteSet bytes;
            for (const CodeRange& r : set.ranges()) {
                for (char32_t c = r.first; c <= r.last; ++c) bytes.add(static_cast<std::uint8_t>(c));
            }
            out.push_back(bytes);
            return true;
        }
        case HirKind::Capture:
            return byte_prefix(hir, node.children[0], out);
        case HirKind::Concat:
            for (HirId child : node.children) {
                if (!byte_prefix(hir, child, out)) return false;
            }
            return true;
        case HirKind::Repetition:
            for (std::uint32_t i = 0; i < node.min; ++i) {
                std::size_t before = out.size();
                if (!byte_prefix(hir, node.children[0], out)) return false;
                if (out.size() == before) break;  // empty-width: further copies add nothing
            }
            return node.has_max && node.max == node.min;
        case HirKind::Alternation:
            return false;
    }
    return false;
}

// How often a byte turns up in typical text, roughly: rarer bytes make fewer false candidates.
int frequency(std::uint8_t b) {
    static constexpr const char* letters = "etaoinshrdlcumwfgypbvkjxqz";
    if (b >= 'a' && b <= 'z') return 100 - 3 * static_cast<int>(std::strchr(letters, b) - letters);
    if (b >= 'A' && b <= 'Z') return (100 - 3 * static_cast<int>(std::strchr(letters, b - 'A' + 'a') - letters)) / 4;
    if (b >= '0' && b <= '9') return 40;
    if (b == ' ') return 120;
    if (b == '\n' || b == '.' || b == ',' || b == '-' || b == '_' || b == '/' || b == ':') return 30;
    return b < 0x80 ? 5 : 10;
}

int frequency(const ByteSet& set) {
    int total = 0;
    for (int i = 0; i < set.count; ++i) total += frequency(set.members[i]);
    return total;
}

}  // namespace

std::size_t find_literal(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size() || haystack.size() - from < needle.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    std::string_view rest = haystack.substr(from);
    const char* found;
    if (needle.size() == 1) {
        found = static_cast<const char*>(std::memchr(rest.data(), needle[0], rest.size()));
    } else {
#if defined(__GLIBC__)
        found = static_cast<const char*>(memmem(rest.data(), rest.size(), needle.data(), needle.size()));
#else
        auto it = std::search(rest.begin(), rest.end(), std::boyer_moore_searcher(needle.begin(), needle.end()));
        found = it == rest.end() ? nullptr : rest.data() + (it - rest.begin());
#endif
    }
    return found ? static_cast<std::size_t>(found - haystack.data()) : std::string_view::npos;
}

void ByteSet::add(std::uint8_t b) {
    if (has(b)) return;
    bits[b >> 6] |= std::uint64_t{1} << (b & 63);
    if (count < 3) members[count] = b;
    ++count;
}

Prefilter Prefilter::of(const Hir& hir) {
    Prefilter filter;
    filter.min_bytes_ = hir[hir.root].min_length.value_or(0);
    Literals lits = literals(hir, hir.root);
    if (lits.exact && !lits.has_look) {
        filter.exact_ = true;
        filter.literal_ = std::move(*lits.exact);
        return filter;
    }
    std::vector<ByteSet> prefix;
    byte_prefix(hir, hir.root, prefix);
    bool singletons = std::all_of(prefix.begin(), prefix.end(), [](const ByteSet& s) { return s.count == 1; });
    if (!prefix.empty() && singletons) {
        for (const ByteSet& s : prefix) filter.literal_.push_back(static_cast<char>(s.members[0]));
        // A search for one common byte stops too often to pay.
        if (prefix.size() > 1 || frequency(prefix[0]) < 90) {
            filter.scan_literal_ = true;
            filter.prefix_ = std::move(prefix);
        }
    } else {
        int best[2] = {1 << 30, 1 << 30};
        bool found = false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (prefix[i].count > 3) continue;
            int f = frequency(prefix[i]);
            if (f < best[0]) {
                best[1] = best[0];
                filter.rare_[1] = filter.rare_[0];
                best[0] = f;
                filter.rare_[0] = i;
            } else if (f < best[1]) {
                best[1] = f;
                filter.rare_[1] = i;
            }
            if (!found) filter.rare_[1] = i;
            found = true;
        }
        if (found) {
            if (filter.rare_[1] < filter.rare_[0]) std::swap(filter.rare_[0], filter.rare_[1]);
            filter.prefix_ = std::move(prefix);
        }
    }
    const std::string& inner = lits.inner();
    if (inner.size() > filter.literal_.size() || !filter.scan_literal_) filter.required_ = inner;
    return filter;
}

bool Prefilter::may_match(std::string_view haystack) const {
    if (haystack.size() < min_bytes_) return false;
    if (required_.empty() || haystack.size() < required_scan_from) return true;
    return find_literal(haystack, required_) != std::string_view::npos;
}

bool Prefilter::prefix_at(std::string_view haystack, std::size_t at) const {
    if (haystack.size() - at < prefix_.size()) return false;
    for (std::size_t i = 0; i < prefix_.size(); ++i) {
        if (!prefix_[i].has(static_cast<std::uint8_t>(haystack[at + i]))) return false;
    }
    return true;
}

std::size_t Prefilter::next_candidate(std::string_view haystack, std::size_t from) const {
    if (from > haystack.size() || haystack.size() - from < prefix_.size()) return std::string_view::npos;
    if (scan_literal_) return find_literal(haystack, literal_, from);
    const ByteSet& first = prefix_[rare_[0]];
    const ByteSet& second = prefix_[rare_[1]];
    std::size_t last = haystack.size() - prefix_.size();  // the last position a match can start
    std::size_t at = from;
#if defined(__SSE2__)
    // Sixteen starts at once: the two rare positions must both hold a byte of their set.
    auto matches = [](__m128i block, const ByteSet& set) {
        __m128i hit = _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(set.members[0])));
        for (int i = 1; i < set.count; ++i) {
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(set.members[i]))));
        }
        return hit;
    };
    for (; last - at >= 16 && at <= last; at += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack.data() + at + rare_[0]));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(haystack.data() + at + rare_[1]));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(matches(a, first), matches(b, second))));
        for (; mask != 0; mask &= mask - 1) {
            std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(mask));
            if (prefix_at(haystack, start)) return start;
        }
    }
#endif
    for (; at <= last; ++at) {
        if (first.has(static_cast<std::uint8_t>(haystack[at + rare_[0]])) &&
            second.has(static_cast<std::uint8_t>(haystack[at + rare_[1]])) && prefix_at(haystack, at)) {
            return at;
        }
    }
    return std::string_view::npos;
}

}  // namespace qeld::regex
