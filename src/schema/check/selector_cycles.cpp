// No reusable type may reach itself through the references that select its type, and every
// allowedvalues entry must be of a kind its definition permits.
#include "schema/compare.h"
#include "schema/model.h"

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

// One walk over the selector references from a reusable type. The recursive step returns a flag
// and leaves the message here, so its frame stays small on a long chain of types.
class SelectorWalk {
public:
    SelectorWalk(const Schema& schema, NameSet& visiting, NameSet& done)
        : schema_(schema), visiting_(visiting), done_(done) {}

    Status finish(bool passed) {
        if (passed) return {};
        return fail(std::move(error_));
    }

    bool validate_selector_cycle(std::string_view name) {
        if (SchemaType::parse(name)) return true;
        if (is_done(name)) return true;
        const auto* entry = find_entry(name);
        if (!enter(entry == nullptr ? name : std::string_view(entry->first))) return cyclic(name);
        if (entry == nullptr) return true;
        // Item types, positional items and children are not followed: a type may contain itself.
        const Definition& definition = entry->second;
        if (definition.type_reference && !validate_selector_cycle(*definition.type_reference)) return false;
        if (!validate_members(definition.one_of) || !validate_members(definition.any_of)) return false;
        if (definition.conditional && (!validate_selector_cycle(definition.conditional->then_type) ||
                                       !validate_selector_cycle(definition.conditional->else_type)))
            return false;
        if (!validate_members(definition.all_of)) return false;
        finish_type(entry->first);
        return true;
    }

private:
    bool validate_members(const std::vector<std::string>& members) {
        for (const auto& member : members) {
            if (!validate_selector_cycle(member)) return false;
        }
        return true;
    }

    [[gnu::noinline]] const std::pair<const std::string, Definition>* find_entry(std::string_view name) const {
        auto found = schema_.types.find(name);
        return found == schema_.types.end() ? nullptr : &*found;
    }
    [[gnu::noinline]] bool is_done(std::string_view name) const { return done_.count(name) != 0; }
    [[gnu::noinline]] bool enter(std::string_view name) { return visiting_.insert(name).second; }
    [[gnu::noinline]] void finish_type(std::string_view name) {
        visiting_.erase(name);
        done_.insert(name);
    }
    [[gnu::noinline, gnu::cold]] bool cyclic(std::string_view name) {
        error_ = "cyclic type selector reference involving types." + std::string(name);
        return false;
    }

    const Schema& schema_;
    NameSet& visiting_;
    NameSet& done_;
    std::string error_;
};

}  // namespace

Status Schema::validate_selector_cycles() const {
    // Shared by every walk, so each type is walked at most once however often it is named.
    NameSet done;
    for (const auto& entry : types) {
        NameSet visiting;
        QELD_TRY(validate_selector_cycle(entry.first, visiting, done));
    }
    return {};
}

Status Schema::validate_selector_cycle(std::string_view name, NameSet& visiting, NameSet& done) const {
    SelectorWalk walk(*this, visiting, done);
    return walk.finish(walk.validate_selector_cycle(name));
}

Status Schema::validate_allowed_value_types() const {
    for (const auto* definitions : {&types, &elements}) {
        for (const auto& entry : *definitions) QELD_TRY(validate_allowed_value_definition(entry.second));
    }
    return {};
}

Status Schema::validate_allowed_value_definition(const Definition& definition) const {
    if (!definition.allowed_values.empty() && definition.kind) {
        // For an array the entries are item values, so the item type's kinds are permitted.
        KindSet permitted;
        if (*definition.kind == SchemaType::Array) {
            if (definition.item_type) {
                NameSet visiting;
                QELD_TRY(collect_reference_types(*definition.item_type, visiting, permitted));
            }
        } else {
            permitted.add(*definition.kind);
        }
        if (permitted.size() != 0) {
            for (std::size_t i = 0; i < definition.allowed_values.size(); ++i) {
                if (!matches_any(definition.allowed_values[i], permitted)) return allowed_value_mismatch(definition, i);
            }
        }
    }
    for (const auto& entry : definition.children) QELD_TRY(validate_allowed_value_definition(entry.second));
    return {};
}

}  // namespace qeld::schema
