// The expansions a pass keeps: one per definition or reference met, with the children map of a
// list that no value can rewrite.
#include "schema/validate/expansions.h"

#include <algorithm>
#include <utility>

#include "schema/validate/pass.h"

namespace qeld::schema {

namespace {

bool rewrites(const Component& component) {
    return component.conditional() || !component.one_of().empty() || !component.any_of().empty();
}

}  // namespace

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
