// Turning definitions into components: type references laid over the types they name, allof
// members expanded depth first, and the children of a component list gathered by key.
#include <algorithm>
#include <utility>

#include "schema/path_key.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

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
    if (!definition.all_of.empty()) resolved.all_of.push_back(&definition.all_of);
    return resolved;
}

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

Result<Resolved> Validator::resolve(const Definition& definition, NameStack& resolving) const {
    if (!definition.type_reference) return view_of(definition);
    auto resolved = resolve_reference(*definition.type_reference, resolving);
    if (!resolved) return resolved;
    Component& component = resolved->component;
    component.name = definition.name;
    if (definition.description) component.description = &*definition.description;
    component.optional = component.optional || definition.optional;
    component.deprecated = component.deprecated || definition.deprecated;
    if (definition.default_value) component.default_value = &*definition.default_value;
    if (!definition.all_of.empty()) resolved->all_of.push_back(&definition.all_of);
    return resolved;
}

Result<Resolved> Validator::resolve_reference(std::string_view reference, NameStack& resolving) const {
    std::string_view name = normalize_reference(reference);
    if (auto type = SchemaType::parse(name)) return view_of(builtin_definition(*type));
    if (!resolving.push(name)) return fail("cyclic type reference: " + std::string(name));
    const Definition* definition = schema_.find_type(name);
    Result<Resolved> result = definition ? resolve(*definition, resolving)
                                         : Result<Resolved>(fail("unknown type reference: " + std::string(reference)));
    resolving.pop();
    return result;
}

Status Validator::append_components(const Resolved& resolved, NameStack& all_of, ComponentList& components) const {
    const std::size_t start = components.size();
    components.push_back(resolved.component);
    for (const std::vector<std::string>* members : resolved.all_of) {
        for (const std::string& member : *members) {
            std::string_view name = normalize_reference(member);
            Status status;
            if (!all_of.push(name)) {
                status = fail("cyclic allof reference: " + std::string(name));
            } else {
                NameStack resolving;
                auto expanded = resolve_reference(member, resolving);
                status = expanded ? append_components(*expanded, all_of, components) : Status(fail(expanded.take_error()));
                all_of.pop();
            }
            if (!status) {
                components.truncate(start);
                return status;
            }
        }
    }
    return {};
}

Result<ComponentList> Validator::collect_components(const Definition& definition, NameStack& all_of) const {
    NameStack resolving;
    auto resolved = resolve(definition, resolving);
    if (!resolved) return fail(resolved.take_error());
    ComponentList components;
    QELD_TRY(append_components(*resolved, all_of, components));
    return components;
}

ChildrenMap collect_children(const ComponentList& components) {
    ChildrenMap map;
    auto append = [&map](std::string_view key, const Definition* child) {
        if (map.groups.empty() || map.groups.back().key != key) map.groups.push_back({key, map.definitions.size(), 0});
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
