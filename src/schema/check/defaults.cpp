// Every definition's effective default (its own, or the one it inherits through its named type
// and its allof members) must be accepted by the definition itself, and inherited defaults must
// agree.
#include "schema/check/defaults.h"

#include "schema/compare.h"
#include "schema/walk/type_walk.h"
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

// Effective defaults as borrowed values of the schema, so a long chain of inherited defaults is
// not copied at every step; null stands for no default.
class DefaultRules {
public:
    using Answer = const doc::Value*;
    struct Frame {
        const Definition* definition;
        std::size_t index = 0;
        const doc::Value* first = nullptr;
        const doc::Value* received = nullptr;
        bool conflict = false;
    };

    Frame start(const Definition& definition) { return Frame{&definition}; }

    // Every reference is resolved before the inherited values are judged: the first one found is
    // kept, every later one must equal it.
    Advance advance(Frame& frame, std::string_view& reference) {
        const Definition& definition = *frame.definition;
        if (definition.default_value) {
            frame.first = &*definition.default_value;
            return Advance::Done;
        }
        if (frame.index > 0 && frame.received != nullptr) {
            if (frame.first == nullptr) {
                frame.first = frame.received;
            } else if (!frame.conflict && !values_equal(*frame.first, *frame.received)) {
                frame.conflict = true;
            }
        }
        if (auto next = composition_reference(definition, frame.index++)) return follow(next, reference);
        if (frame.conflict) {
            message_ = definition.name + " inherits conflicting defaults through allof";
            return Advance::Fail;
        }
        return Advance::Done;
    }
    void receive(Frame& frame, const doc::Value* value) { frame.received = value; }
    const doc::Value* answer(const Frame& frame) const { return frame.first; }
    std::string take_message() { return std::move(message_); }
    std::string_view name_of(std::string_view reference) const { return normalize_reference(reference); }
    std::optional<const doc::Value*> keyword(std::string_view name) const {
        if (SchemaType::parse(name)) return std::make_optional<const doc::Value*>(nullptr);
        return std::nullopt;
    }
    Result<const doc::Value*> cycle(std::string_view name) const {
        return fail("cyclic default reference: " + std::string(name));
    }
    Result<const doc::Value*> unknown(std::string_view reference, std::string_view, NameSet&) const {
        return fail("unknown type reference: " + std::string(reference));
    }

private:
    std::string message_;
};

using EffectiveDefaults = TypeWalk<DefaultRules>;

Result<std::optional<doc::Value>> copy_of(Result<const doc::Value*> value) {
    if (!value) return Error{value.take_error()};
    if (*value == nullptr) return std::optional<doc::Value>();
    return std::optional<doc::Value>(**value);
}

// One run of the check: the defaults it resolves and the facts its validators find serve every
// definition.
class DefaultCheck {
public:
    explicit DefaultCheck(const Schema& schema) : defaults_(schema), facts_(schema) {
        for (const auto& entry : schema.types) inherits_ = inherits_ || entry.second.default_value.has_value();
    }

    Status validate(const Definition& definition) {
        // Only a reusable type's default can be inherited.
        auto value = inherits_ ? defaults_.of_definition(definition)
                               : Result<const doc::Value*>(definition.default_value ? &*definition.default_value : nullptr);
        if (!value) return Error{value.take_error()};
        if (*value == nullptr) return {};
        // Judged like a document value, against the definition itself; deprecation is no fault here.
        Validator validator(facts_, false);
        validator.validate_value("$default", **value, definition);
        if (const auto& refused = validator.expansion_refused()) return fail(*refused);
        if (!validator.errors().empty()) return invalid_default(definition, validator.errors());
        return {};
    }

private:
    EffectiveDefaults defaults_;
    Validator::SharedFacts facts_;
    bool inherits_ = false;
};

}  // namespace

Status validate_defaults(const Schema& schema) {
    DefaultCheck check(schema);
    return visit_definitions(schema, [&check](const Definition& definition) { return check.validate(definition); });
}

Status validate_definition_defaults(const Schema& schema, const Definition& definition) {
    DefaultCheck check(schema);
    return visit_definition_tree(definition, [&check](const Definition& d) { return check.validate(d); });
}

Result<std::optional<doc::Value>> resolve_effective_default(const Schema& schema, const Definition& definition,
                                                            NameSet& visiting) {
    return copy_of(EffectiveDefaults(schema).of_definition(definition, visiting));
}

Result<std::optional<doc::Value>> reference_effective_default(const Schema& schema, std::string_view reference,
                                                              NameSet& visiting) {
    return copy_of(EffectiveDefaults(schema).of_reference(reference, visiting));
}

}  // namespace qeld::schema
