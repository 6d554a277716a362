#include "document/value.h"

#include <algorithm>

namespace qeld::doc {

namespace {
auto lower_bound_key(const std::vector<Entry>& entries, std::string_view key) {
    return std::lower_bound(entries.begin(), entries.end(), key,
                            [](const Entry& e, std::string_view k) { return std::string_view(e.key) < k; });
}
}  // namespace

const Value* Table::find(std::string_view key) const {
    auto it = lower_bound_key(entries_, key);
    if (it != entries_.end() && it->key == key) return &it->value;
    return nullptr;
}

void Table::set(std::string key, Value value) {
    auto it = lower_bound_key(entries_, key);
    if (it != entries_.end() && it->key == key) {
        entries_[static_cast<std::size_t>(it - entries_.begin())].value = std::move(value);
        return;
    }
    entries_.insert(it, Entry{std::move(key), std::move(value)});
}

}  // namespace qeld::doc
