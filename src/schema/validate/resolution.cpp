// Turning definitions into components: type references laid over the types they name, allof
// members expanded depth first, and the children of a component list gathered by key.
#include <algorithm>
#include <utility>

#include "schema/path_key.h"
#include "schema/validate/pass.h"
#include "schema/validate/resolution.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

template class TypeWalk<ResolutionRules>;

namespace {

std::array<Definition, SchemaType::count> make_builtin_definitions() {
    std::array<Definition, SchemaType::count> definitions;
    for (int i = 0; i < SchemaType::count; ++i) {
        SchemaType type(static_cast<SchemaType::Kind>(i));
        definitions[i].name = std::string(type.keyword());
        definitions[i].kind = type;
    }
    return definitions;
}

const std::vector<std::string> no_references;

Resolved view_of(const Definition& definition) {
    Resolved resolved;
    Component& component = resolved.component;
    component.base = &definition;
    component.name = definition.name;
    component.description = definition.description ? &*definition.description : nullptr;
    component.default_value = definition.default_value ? &*definition.default_value : nullptr;
    component.optional = definition.optional;
    component.deprecated = definition.deprecated;
    component.kind = definition.kind;
    if (!definition.all_of.empty()) resolved.all_of = &definition.all_of;
    return resolved;
}

// Appends the allof lists of the resolved definition, the base's first.
void append_all_of_lists(const Resolved& resolved, std::vector<const std::vector<std::string>*>& lists) {
    const std::size_t first = lists.size();
    if (resolved.all_of) lists.push_back(resolved.all_of);
    for (const AllOfLink* link = resolved.below; link != nullptr; link = link->below) lists.push_back(link->members);
    std::reverse(lists.begin() + static_cast<std::ptrdiff_t>(first), lists.end());
}

bool has_all_of(const Resolved& resolved) { return resolved.all_of != nullptr || resolved.below != nullptr; }

}  // namespace

const Definition& builtin_definition(SchemaType type) {
    static const std::array<Definition, SchemaType::count> definitions = make_builtin_definitions();
    return definitions[type.kind()];
}

bool NameStack::contains(std::string_view name) const {
    for (std::size_t i = 0; i < size_ && i < inline_room; ++i) {
        if (inline_.names[i] == name) return true;
    }
    return overflow_ && overflow_->set.count(name) != 0;
}

bool NameStack::push(std::string_view name) {
    if (contains(name)) return false;
    if (size_ < inline_room) {
        new (&inline_.names[size_]) std::string_view(name);
    } else {
        if (!overflow_) overflow_ = std::make_unique<Overflow>();
        overflow_->names.push_back(name);
        overflow_->set.insert(name);
    }
    ++size_;
    return true;
}

void NameStack::pop() {
    if (size_ > inline_room) {
        overflow_->set.erase(overflow_->names.back());
        overflow_->names.pop_back();
    }
    --size_;
}

void PathRef::append_to(std::string& out) const {
    if (parent_) parent_->append_to(out);
    switch (step_) {
        case Step::Root:
            out += text_;
            break;
        case Step::Key:
            out += '.';
            out += encode_path_key(text_);
            break;
        case Step::Index:
            out += '[';
            out += std::to_string(index_);
            out += ']';
            break;
    }
}

std::string PathRef::str() const {
    std::string out;
    append_to(out);
    return out;
}

const std::vector<std::string>& Component::one_of() const {
    return alternatives_taken ? no_references : base->one_of;
}

const std::vector<std::string>& Component::any_of() const {
    return alternatives_taken ? no_references : base->any_of;
}

std::vector<const std::vector<std::string>*> all_of_lists(const Resolved& resolved) {
    std::vector<const std::vector<std::string>*> lists;
    append_all_of_lists(resolved, lists);
    return lists;
}

Advance ResolutionRules::advance(Frame& frame, std::string_view& reference) {
    if (!frame.definition->type_reference || frame.followed) return Advance::Done;
    frame.followed = true;
    reference = *frame.definition->type_reference;
    return Advance::Follow;
}

// The referring definition laid over its base, field by field.
Resolved ResolutionRules::answer(const Frame& frame) {
    const Definition& definition = *frame.definition;
    if (!definition.type_reference) return view_of(definition);
    Resolved resolved = frame.base;
    Component& component = resolved.component;
    component.name = definition.name;
    if (definition.description) component.description = &*definition.description;
    component.optional = component.optional || definition.optional;
    component.deprecated = component.deprecated || definition.deprecated;
    if (definition.default_value) component.default_value = &*definition.default_value;
    resolved.all_of = definition.all_of.empty() ? nullptr : &definition.all_of;
    resolved.below = link_of(frame.base);
    return resolved;
}

const AllOfLink* ResolutionRules::link_of(const Resolved& base) {
    if (base.all_of == nullptr) return base.below;
    auto [known, added] = link_of_list_.try_emplace(base.all_of, nullptr);
    if (added) known->second = &links_.emplace_back(AllOfLink{base.all_of, base.below});
    return known->second;
}

std::optional<Resolved> ResolutionRules::keyword(std::string_view name) const {
    if (auto type = SchemaType::parse(name)) return view_of(builtin_definition(*type));
    return std::nullopt;
}

Result<Resolved> ResolutionRules::cycle(std::string_view name) const {
    return fail("cyclic type reference: " + std::string(name));
}

Result<Resolved> ResolutionRules::unknown(std::string_view reference, std::string_view, NameSet&) const {
    return fail("unknown type reference: " + std::string(reference));
}

Result<Resolved> DefinitionFacts::resolve(const Definition& definition) {
    if (!definition.type_reference) return view_of(definition);
    return resolutions_.of_definition(definition);
}

Result<Resolved> DefinitionFacts::resolve_reference(std::string_view reference) {
    if (auto type = SchemaType::parse(normalize_reference(reference))) return view_of(builtin_definition(*type));
    return resolutions_.of_reference(reference);
}

std::optional<std::uint64_t> DefinitionFacts::component_count(const Resolved& resolved) {
    std::uint64_t total = 1;
    if (resolved.all_of) {
        for (const std::string& member : *resolved.all_of) {
            auto count = counts_.of_reference(member);
            if (!count) return std::nullopt;
            total = ComponentCountRules::add(total, *count);
        }
    }
    for (const AllOfLink* link = resolved.below; link != nullptr; link = link->below) {
        for (const std::string& member : *link->members) {
            auto count = counts_.of_reference(member);
            if (!count) return std::nullopt;
            total = ComponentCountRules::add(total, *count);
        }
    }
    return total;
}

Result<Resolved> Validator::resolve(const Definition& definition) const { return facts().resolve(definition); }

Result<Resolved> Validator::resolve_reference(std::string_view reference) const {
    return facts().resolve_reference(reference);
}

Status Validator::append_components(const Resolved& resolved, ComponentList& components) const {
    if (!has_all_of(resolved)) {
        components.push_back(resolved.component);
        return {};
    }
    if (auto count = facts().component_count(resolved); count && *count > max_components) {
        std::string message = too_many_components(resolved.component.name);
        if (!pass_->expansion_refused) pass_->expansion_refused = message;
        return fail(std::move(message));
    }

    // The allof tree in pre-order, with an explicit stack: each open definition's lists sit on
    // `lists` from its `first` on, and the member names on the way down are the allof chain.
    struct Open {
        std::size_t first;
        std::size_t list;
        std::size_t member;
        bool named;
    };
    std::vector<const std::vector<std::string>*> lists;
    std::vector<Open> open;
    NameStack chain;
    auto enter = [&](const Resolved& definition, bool named) {
        const std::size_t first = lists.size();
        append_all_of_lists(definition, lists);
        open.push_back({first, first, 0, named});
    };

    const std::size_t start = components.size();
    components.push_back(resolved.component);
    enter(resolved, false);
    Status status;
    while (!open.empty()) {
        // The open definition on top owns the lists from its first to the end.
        Open& top = open.back();
        if (top.list == lists.size()) {
            if (top.named) chain.pop();
            lists.resize(top.first);
            open.pop_back();
            continue;
        }
        const std::vector<std::string>& members = *lists[top.list];
        if (top.member == members.size()) {
            ++top.list;
            top.member = 0;
            continue;
        }
        const std::string& member = members[top.member++];
        const std::string_view name = normalize_reference(member);
        if (!chain.push(name)) {
            status = fail("cyclic allof reference: " + std::string(name));
            break;
        }
        auto expanded = resolve_reference(member);
        if (!expanded) {
            status = Error{expanded.take_error()};
            break;
        }
        components.push_back(expanded->component);
        enter(*expanded, true);
    }
    if (!status) components.truncate(start);
    return status;
}

Result<ComponentList> Validator::collect_components(const Definition& definition) const {
    auto resolved = resolve(definition);
    if (!resolved) return Error{resolved.take_error()};
    ComponentList components;
    QELD_TRY(append_components(*resolved, components));
    return components;
}

ChildrenMap collect_children(const ComponentList& components) {
    ChildrenMap map;
    auto append = [&map](std::string_view key, const Definition* child) {
        if (map.groups.empty() || map.groups.back().key != key) {
            map.groups.push_back({key, doc::Key::order_word(key), map.definitions.size(), 0});
        }
        map.definitions.push_back(child);
        ++map.groups.back().count;
    };
    std::size_t total = 0;
    const DefinitionMap* only = nullptr;
    int declaring = 0;
    for (const Component& component : components) {
        const DefinitionMap& children = component.base->children;
        if (children.empty()) continue;
        total += children.size();
        only = &children;
        ++declaring;
    }
    map.definitions.reserve(total);
    if (declaring == 1) {
        // One component declares children: they are in key order already.
        map.groups.reserve(total);
        for (const auto& [key, child] : *only) append(key, &child);
        return map;
    }
    std::vector<std::pair<std::string_view, const Definition*>> children;
    children.reserve(total);
    for (const Component& component : components) {
        for (const auto& [key, child] : component.base->children) children.emplace_back(key, &child);
    }
    // Each component's children are already in key order; a stable sort keeps component order
    // within a key.
    std::stable_sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, child] : children) append(key, child);
    return map;
}

}  // namespace qeld::schema
