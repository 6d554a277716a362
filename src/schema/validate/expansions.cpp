// The expansions a pass keeps: one per definition or reference met, with the children map of a
// list that no value can rewrite.
#include "schema/validate/expansions.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "schema/validate/pass.h"

namespace qeld::schema {

namespace {

bool rewrites(const Component& component) {
    return component.conditional() || !component.one_of().empty() || !component.any_of().empty();
}

struct CopyKey {
    const Definition* base;
    const char* name;
    std::size_t name_size;
    std::uint32_t flags;
    friend bool operator==(const CopyKey&, const CopyKey&) = default;
};

struct CopyKeyHash {
    std::size_t operator()(const CopyKey& key) const {
        std::uint64_t hash = std::hash<const void*>()(key.base);
        for (std::uint64_t part : {reinterpret_cast<std::uintptr_t>(key.name), key.name_size, std::uint64_t{key.flags}}) {
            hash ^= part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
        }
        return static_cast<std::size_t>(hash);
    }
};

CopyKey copy_key(const Component& component) {
    const std::uint32_t kind = component.kind ? component.kind->kind() + 1u : 0u;
    return {component.base, component.name.data(), component.name.size(),
            kind | (component.deprecated ? 1u << 8 : 0u) | (component.conditional_taken ? 1u << 9 : 0u) |
                (component.alternatives_taken ? 1u << 10 : 0u)};
}

}  // namespace

std::unique_ptr<DistinctComponents> find_copies(const ComponentList& components) {
    const std::size_t n = components.size();
    if (n < 2) return nullptr;
    auto copies = std::make_unique<DistinctComponents>();
    std::unordered_map<CopyKey, std::uint32_t, CopyKeyHash> distinct;
    distinct.reserve(n);
    copies->of.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto [found, added] = distinct.try_emplace(copy_key(components[i]), static_cast<std::uint32_t>(copies->first.size()));
        if (added) copies->first.push_back(static_cast<std::uint32_t>(i));
        copies->of[i] = found->second;
    }
    const std::size_t count = copies->first.size();
    if (count == n) return nullptr;
    // The positions by distinct component, in one counting pass.
    copies->start.assign(count + 1, 0);
    for (std::uint32_t d : copies->of) ++copies->start[d + 1];
    for (std::size_t d = 0; d < count; ++d) copies->start[d + 1] += copies->start[d];
    copies->positions.resize(n);
    std::vector<std::uint32_t> next(copies->start.begin(), copies->start.end() - 1);
    for (std::size_t i = 0; i < n; ++i) copies->positions[next[copies->of[i]]++] = static_cast<std::uint32_t>(i);
    return copies;
}

template <class Resolve>
Expansion& Expansions::find_or_make(const Validator& validator, const void* key, std::unique_ptr<Expansion>& scratch,
                                    Resolve resolve) {
    if (auto found = entries_.find(key); found != entries_.end()) return *found->second;
    auto expansion = std::make_unique<Expansion>();
    Result<Resolved> resolved = resolve();
    std::size_t items = 1;
    if (!resolved) {
        expansion->message = resolved.take_error();
    } else {
        expansion->stage = Expansion::Stage::Resolved;
        expansion->resolved = *resolved;
        // The components it will expand to; a list past the limit is refused and holds none.
        if (auto count = validator.facts().component_count(*resolved); count && *count <= max_components) {
            items = static_cast<std::size_t>(*count);
        }
    }
    if (entries_.size() >= max_entries || items_ + items > max_items) {
        scratch = std::move(expansion);
        return *scratch;
    }
    items_ += items;
    expansion->kept = true;
    return *entries_.emplace(key, std::move(expansion)).first->second;
}

Expansion& Expansions::of_definition(const Validator& validator, const Definition& definition,
                                     std::unique_ptr<Expansion>& scratch) {
    return find_or_make(validator, &definition, scratch, [&] { return validator.resolve(definition); });
}

Expansion& Expansions::of_reference(const Validator& validator, const std::string& reference,
                                    std::unique_ptr<Expansion>& scratch) {
    return find_or_make(validator, &reference, scratch, [&] { return validator.resolve_reference(reference); });
}

void Expansions::expand_now(const Validator& validator, Expansion& expansion) {
    if (auto status = validator.append_components(expansion.resolved, expansion.components); !status) {
        expansion.stage = Expansion::Stage::Refused;
        expansion.message = status.take_error();
        return;
    }
    expansion.stage = Expansion::Stage::Expanded;
    const ComponentList& components = expansion.components;
    expansion.fixed = std::none_of(components.begin(), components.end(), rewrites);
    expansion.deprecated =
        std::any_of(components.begin(), components.end(), [](const Component& c) { return c.deprecated; });
    if (expansion.kept) expansion.copies = find_copies(components);
}

Descent* Expansions::descent_of(Expansion& expansion) {
    if (expansion.descent) return expansion.descent.get();
    if (!expansion.kept || !expansion.fixed) return nullptr;
    std::size_t items = 0;
    for (const Component& component : expansion.components) items += component.base->children.size();
    if (items_ + items > max_items) return nullptr;
    items_ += items;
    auto descent = std::make_unique<Descent>();
    descent->children = collect_children(expansion.components);
    descent->groups.resize(descent->children.groups.size());
    expansion.descent = std::move(descent);
    return expansion.descent.get();
}

Expansion* Expansions::look_up_child(const Validator& validator, Descent& descent, std::size_t group) {
    Descent::Child& child = descent.groups[group];
    child.looked = true;
    const ChildrenMap::Group& members = descent.children.groups[group];
    if (members.count != 1) return nullptr;
    std::unique_ptr<Expansion> scratch;
    Expansion& expansion = of_definition(validator, **descent.children.definitions_of(members), scratch);
    if (!scratch) child.expansion = &expansion;
    return child.expansion;
}

}  // namespace qeld::schema
