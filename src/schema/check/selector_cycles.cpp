// No reusable type may reach itself through the references that select its type, and every
// allowedvalues entry must be of a kind its definition permits.
#include "schema/check/selector_cycles.h"

#include "schema/compare.h"
#include "schema/walk/kinds.h"
#include "schema/walk/type_walk.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error allowed_value_mismatch(const Definition& definition, std::size_t index) {
    return fail(definition.name + " allowedvalues[" + std::to_string(index) + "] does not match the permitted TOML type");
}

// Whether the value is of at least one of the kinds; the order of the tests does not matter.
bool matches_any(const doc::Value& value, KindSet kinds) {
    for (int i = 0; i < SchemaType::count; ++i) {
        SchemaType kind(static_cast<SchemaType::Kind>(i));
        if (kinds.contains(kind) && value_matches_type(value, kind)) return true;
    }
    return false;
}

// The selector references of every type reached. Names are taken as stored, and the done set
// spares every type walked to the end before, by this walk or an earlier one. Item types,
// positional items and children are not followed: a type may contain itself through them.
class SelectorRules {
public:
    using Answer = bool;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
    };

    // Without a done set of the caller's, the walk's own memory serves.
    explicit SelectorRules(NameSet* done = nullptr) : done_(done) {}

    Frame start(const Definition& definition) { return Frame{&definition}; }
    Advance advance(Frame& frame, std::string_view& reference) {
        return follow(selector_reference(*frame.definition, frame.index++), reference);
    }
    void receive(Frame&, bool) {}
    bool answer(const Frame&) const { return true; }
    std::string take_message() { return {}; }
    std::string_view name_of(std::string_view reference) const { return reference; }
    std::optional<bool> keyword(std::string_view name) const {
        if (SchemaType::parse(name) || (done_ != nullptr && done_->count(name) != 0)) return true;
        return std::nullopt;
    }
    Result<bool> cycle(std::string_view name) const {
        return fail("cyclic type selector reference involving types." + std::string(name));
    }
    // A name without a type passes, but stays on the chain.
    Result<bool> unknown(std::string_view, std::string_view name, NameSet& chain) const {
        chain.insert(name);
        return true;
    }
    void finished(std::string_view name) {
        if (done_ != nullptr) done_->insert(name);
    }

private:
    NameSet* done_;
};

// The kinds an allowedvalues entry may have. For an array the entries are item values, so the
// item type's kinds are permitted.
Status validate_allowed_values(SelectedKinds& selected, const Definition& definition) {
    if (definition.allowed_values.empty() || !definition.kind) return {};
    KindSet permitted;
    if (*definition.kind == SchemaType::Array) {
        if (definition.item_type) {
            auto kinds = selected.of_reference(*definition.item_type);
            if (!kinds) return Error{kinds.take_error()};
            permitted = *kinds;
        }
    } else {
        permitted.add(*definition.kind);
    }
    if (permitted.size() == 0) return {};
    for (std::size_t i = 0; i < definition.allowed_values.size(); ++i) {
        if (!matches_any(definition.allowed_values[i], permitted)) return allowed_value_mismatch(definition, i);
    }
    return {};
}

}  // namespace

Status validate_selector_cycles(const Schema& schema) {
    // One walk for every type, so each is walked at most once however often it is named.
    TypeWalk<SelectorRules> walk(schema);
    for (const auto& entry : schema.types) {
        auto walked = walk.of_reference(entry.first);
        if (!walked) return Error{walked.take_error()};
    }
    return {};
}

Status validate_selector_cycle(const Schema& schema, std::string_view name, NameSet& visiting, NameSet& done) {
    auto walked = TypeWalk<SelectorRules>(schema, SelectorRules(&done)).of_reference(name, visiting);
    if (!walked) return Error{walked.take_error()};
    return {};
}

Status validate_allowed_value_types(const Schema& schema) {
    SelectedKinds selected(schema);
    return visit_definitions(schema, [&](const Definition& d) { return validate_allowed_values(selected, d); });
}

Status validate_allowed_value_definition(const Schema& schema, const Definition& definition) {
    SelectedKinds selected(schema);
    return visit_definition_tree(definition, [&](const Definition& d) { return validate_allowed_values(selected, d); });
}

}  // namespace qeld::schema
