// Every definition's effective default (its own, or the one it inherits through its named type
// and its allof members) must be accepted by the definition itself, and inherited defaults must
// agree.
#include <unordered_map>

#include "schema/compare.h"
#include "schema/model.h"
#include "schema/validate/validator.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error invalid_default(const Definition& definition,
                                                    const std::vector<ValidationError>& errors) {
    std::string joined;
    for (const auto& error : errors) {
        if (!joined.empty()) joined += "; ";
        joined += error.path + ": " + error.message;
    }
    return fail(definition.name + " has invalid effective default: " + joined);
}

// Resolves effective defaults as borrowed values of the schema, so a long chain of inherited
// defaults is not copied at every step; null stands for no default. The recursive steps return a
// flag and leave the message here, so their frames stay small on a long chain of types.
class DefaultResolver {
public:
    DefaultResolver(const Schema& schema, NameSet& visiting) : schema_(schema), visiting_(visiting) {}

    Status finish(bool resolved) {
        if (resolved) return {};
        return fail(std::move(error_));
    }

    bool resolve_effective_default(const Definition& definition, const doc::Value*& result) {
        result = nullptr;
        if (definition.default_value) {
            result = &*definition.default_value;
            return true;
        }
        // Every reference is resolved before the inherited values are judged.
        bool conflict = false;
        if (definition.type_reference && !inherit(*definition.type_reference, result, conflict)) return false;
        for (const auto& member : definition.all_of) {
            if (!inherit(member, result, conflict)) return false;
        }
        if (conflict) return conflicting(definition);
        return true;
    }

    bool reference_effective_default(std::string_view reference, const doc::Value*& result) {
        result = nullptr;
        std::string_view name = normalize_reference(reference);
        if (SchemaType::parse(name)) return true;
        if (on_chain(name)) return cyclic(name);
        const auto* entry = find_entry(name);
        if (entry == nullptr) return unknown(reference);
        if (remembered(name, result)) return true;
        enter(entry->first);
        bool resolved = resolve_effective_default(entry->second, result);
        leave(entry->first);
        if (resolved) remember(entry->first, result);
        return resolved;
    }

private:
    // Adds one inherited value: the first one found is kept, every later one must equal it.
    bool inherit(std::string_view reference, const doc::Value*& first, bool& conflict) {
        const doc::Value* value = nullptr;
        if (!reference_effective_default(reference, value)) return false;
        if (value == nullptr) return true;
        if (first == nullptr) {
            first = value;
        } else if (!conflict && !values_equal(*first, *value)) {
            conflict = true;
        }
        return true;
    }

    [[gnu::noinline]] const std::pair<const std::string, Definition>* find_entry(std::string_view name) const {
        auto found = schema_.types.find(name);
        return found == schema_.types.end() ? nullptr : &*found;
    }
    [[gnu::noinline]] bool on_chain(std::string_view name) const { return visiting_.count(name) != 0; }
    [[gnu::noinline]] void enter(std::string_view name) { visiting_.insert(name); }
    [[gnu::noinline]] void leave(std::string_view name) { visiting_.erase(name); }
    [[gnu::noinline]] bool remembered(std::string_view name, const doc::Value*& value) const {
        auto known = resolved_.find(name);
        if (known == resolved_.end()) return false;
        value = known->second;
        return true;
    }
    [[gnu::noinline]] void remember(std::string_view name, const doc::Value* value) { resolved_.emplace(name, value); }

    [[gnu::noinline, gnu::cold]] bool conflicting(const Definition& definition) {
        error_ = definition.name + " inherits conflicting defaults through allof";
        return false;
    }
    [[gnu::noinline, gnu::cold]] bool unknown(std::string_view reference) {
        error_ = "unknown type reference: " + std::string(reference);
        return false;
    }
    [[gnu::noinline, gnu::cold]] bool cyclic(std::string_view name) {
        error_ = "cyclic default reference: " + std::string(name);
        return false;
    }

    const Schema& schema_;
    NameSet& visiting_;
    // The defaults of the types already resolved in this walk. A failure ends the walk, so each
    // was found without meeting the chain; remembering them keeps types that name the next one
    // twice from costing time exponential in their number.
    std::unordered_map<std::string_view, const doc::Value*> resolved_;
    std::string error_;
};

std::optional<doc::Value> copy_of(const doc::Value* value) {
    if (value == nullptr) return std::nullopt;
    return *value;
}

}  // namespace

Status Schema::validate_defaults() const {
    for (const auto* definitions : {&types, &elements}) {
        for (const auto& entry : *definitions) QELD_TRY(validate_definition_defaults(entry.second));
    }
    return {};
}

Status Schema::validate_definition_defaults(const Definition& definition) const {
    NameSet visiting;
    DefaultResolver resolver(*this, visiting);
    const doc::Value* value = nullptr;
    QELD_TRY(resolver.finish(resolver.resolve_effective_default(definition, value)));
    if (value != nullptr) {
        // Judged like a document value, against the definition itself; deprecation is no fault here.
        Validator validator(*this, false);
        validator.validate_value("$default", *value, definition);
        if (!validator.errors.empty()) return invalid_default(definition, validator.errors);
    }
    for (const auto& entry : definition.children) QELD_TRY(validate_definition_defaults(entry.second));
    return {};
}

Result<std::optional<doc::Value>> Schema::resolve_effective_default(const Definition& definition,
                                                                    NameSet& visiting) const {
    DefaultResolver resolver(*this, visiting);
    const doc::Value* value = nullptr;
    QELD_TRY(resolver.finish(resolver.resolve_effective_default(definition, value)));
    return copy_of(value);
}

Result<std::optional<doc::Value>> Schema::reference_effective_default(std::string_view reference,
                                                                      NameSet& visiting) const {
    DefaultResolver resolver(*this, visiting);
    const doc::Value* value = nullptr;
    QELD_TRY(resolver.finish(resolver.reference_effective_default(reference, value)));
    return copy_of(value);
}

}  // namespace qeld::schema
