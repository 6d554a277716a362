#include "regex/classes.h"

#include <algorithm>

namespace qeld::regex {

CharSet::CharSet(std::vector<CodeRange> ranges) : ranges_(std::move(ranges)) { canonicalize(); }

CharSet CharSet::from_table(tables::RangeTable table) {
    CharSet set;
    set.ranges_.reserve(table.count);
    // The tables are canonical already.
    tables::for_each_range(table, [&set](tables::Range r) { set.ranges_.push_back({r.first, r.last}); });
    return set;
}

void CharSet::canonicalize() {
    bool canonical = std::adjacent_find(ranges_.begin(), ranges_.end(), [](const CodeRange& a, const CodeRange& b) {
                         return a.last + 1 >= b.first;
                     }) == ranges_.end();
    if (canonical) return;
    std::sort(ranges_.begin(), ranges_.end(),
              [](const CodeRange& a, const CodeRange& b) { return a.first < b.first; });
    std::size_t out = 0;
    for (std::size_t i = 1; i < ranges_.size(); ++i) {
        if (ranges_[i].first <= ranges_[out].last + 1) {
            ranges_[out].last = std::max(ranges_[out].last, ranges_[i].last);
        } else {
            ranges_[++out] = ranges_[i];
        }
    }
    ranges_.resize(ranges_.empty() ? 0 : out + 1);
}

bool CharSet::contains(char32_t c) const {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                               [](char32_t value, const CodeRange& r) { return value < r.first; });
    return it != ranges_.begin() && (it - 1)->last >= c;
}

void CharSet::add(char32_t first, char32_t last) {
    ranges_.push_back({first, last});
    canonicalize();
}

// Both canonical: one pass, no sorting.
void CharSet::unite(const CharSet& other) {
    if (other.ranges_.empty()) return;
    if (ranges_.empty()) {
        ranges_ = other.ranges_;
        return;
    }
    std::vector<CodeRange> out;
    out.reserve(ranges_.size() + other.ranges_.size());
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < ranges_.size() || j < other.ranges_.size()) {
        bool mine = j == other.ranges_.size() || (i < ranges_.size() && ranges_[i].first <= other.ranges_[j].first);
        const CodeRange& next = mine ? ranges_[i++] : other.ranges_[j++];
        if (!out.empty() && next.first <= out.back().last + 1) {
            out.back().last = std::max(out.back().last, next.last);
        } else {
            out.push_back(next);
        }
    }
    ranges_ = std::move(out);
}

void CharSet::intersect(const CharSet& other) {
    std::vector<CodeRange> out;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < ranges_.size() && j < other.ranges_.size()) {
        const CodeRange& a = ranges_[i];
        const CodeRange& b = other.ranges_[j];
        char32_t first = std::max(a.first, b.first);
        char32_t last = std::min(a.last, b.last);
        if (first <= last) out.push_back({first, last});
        if (a.last < b.last) {
            ++i;
        } else {
            ++j;
        }
    }
    ranges_ = std::move(out);
}

void CharSet::subtract(const CharSet& other) {
    std::vector<CodeRange> out;
    std::size_t j = 0;
    for (CodeRange a : ranges_) {
        while (j < other.ranges_.size() && other.ranges_[j].last < a.first) ++j;
        std::size_t k = j;
        bool whole = true;
        while (k < other.ranges_.size() && other.ranges_[k].first <= a.last) {
            const CodeRange& b = other.ranges_[k];
            if (b.first > a.first) out.push_back({a.first, b.first - 1});
            if (b.last >= a.last) {
                whole = false;
                break;
            }
            a.first = b.last + 1;
            ++k;
        }
        if (whole) out.push_back(a);
    }
    ranges_ = std::move(out);
}

void CharSet::symmetric_difference(const CharSet& other) {
    CharSet both = *this;
    both.intersect(other);
    unite(other);
    subtract(both);
}

void CharSet::negate(char32_t universe_last) {
    std::vector<CodeRange> out;
    char32_t next = 0;
    for (const CodeRange& r : ranges_) {
        if (r.first > universe_last) break;
        if (r.first > next) out.push_back({next, r.first - 1});
        next = r.last + 1;
    }
    if (next <= universe_last) out.push_back({next, universe_last});
    ranges_ = std::move(out);
}

void CharSet::fold_case_simple() {
    auto links = tables::case_fold_links();
    std::vector<CodeRange> added;
    for (const CodeRange& r : ranges_) {
        auto it = std::lower_bound(links.begin(), links.end(), r.first,
                                   [](const tables::FoldLink& link, char32_t value) { return link.from < value; });
        for (; it != links.end() && it->from <= r.last; ++it) {
            auto self = static_cast<std::uint32_t>(it - links.begin());
            for (std::uint32_t at = it->next_link; at != self; at = links[at].next_link) {
                if (links[at].from < r.first || links[at].from > r.last) added.push_back({links[at].from, links[at].from});
            }
        }
    }
    if (added.empty()) return;
    unite(CharSet(std::move(added)));
}

void CharSet::fold_case_ascii() {
    std::vector<CodeRange> added;
    for (const CodeRange& r : ranges_) {
        char32_t first = std::max<char32_t>(r.first, U'a');
        char32_t last = std::min<char32_t>(r.last, U'z');
        if (first <= last) added.push_back({first - 0x20, last - 0x20});
        first = std::max<char32_t>(r.first, U'A');
        last = std::min<char32_t>(r.last, U'Z');
        if (first <= last) added.push_back({first + 0x20, last + 0x20});
    }
    if (added.empty()) return;
    ranges_.insert(ranges_.end(), added.begin(), added.end());
    canonicalize();
}

}  // namespace qeld::regex
