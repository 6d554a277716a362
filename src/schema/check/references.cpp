// References between definitions: that every one names a type, the built-in kind a definition
// stands for, the kinds a reference can select, and whether a collection gets an item type.
//
// Each walk keeps the caller's visiting set for the current chain. Besides it, a walk remembers
// the reusable types it has already resolved successfully, so a type reached again along another
// chain (a diamond) is not walked again: without that, types that each name the next one twice
// would cost time exponential in the length of the chain. Only successes that depend on no name
// of the chain are remembered, which keeps every result and every message the same as walking
// again, and nothing outlives the walk.
//
// The walks recurse once per reusable type on the current chain, so a long chain costs stack:
// the recursive frames keep no strings of their own, and messages are built out of line.
#include <unordered_map>

#include "schema/model.h"

namespace qeld::schema {

namespace {

[[gnu::noinline, gnu::cold]] Error definition_failure(const Definition& definition, std::string_view text) {
    return fail(definition.name + std::string(text));
}

[[gnu::noinline, gnu::cold]] Error unknown_stored_reference(const Definition& definition, std::string_view reference) {
    return fail(definition.name + " contains unknown type reference: " + std::string(reference));
}

bool is_comparable(SchemaType kind) {
    switch (kind.kind()) {
        case SchemaType::Integer:
        case SchemaType::Float:
        case SchemaType::OffsetDateTime:
        case SchemaType::LocalDateTime:
        case SchemaType::LocalDate:
        case SchemaType::LocalTime:
            return true;
        default:
            return false;
    }
}

// The alternatives that decide a definition's kind: oneof when given, else anyof.
const std::vector<std::string>& alternatives(const Definition& definition) {
    return definition.one_of.empty() ? definition.any_of : definition.one_of;
}

using TypeEntry = std::pair<const std::string, Definition>;

// Looks a normalized name up among the reusable types; the key found lives as long as the schema,
// so it is what the sets hold.
const TypeEntry* find_entry(const Schema& schema, std::string_view name) {
    auto found = schema.types.find(name);
    return found == schema.types.end() ? nullptr : &*found;
}

// What every walk over references shares: the caller's chain, and the message of a failure. The
// recursive steps return small values and leave the message here, so their frames stay small.
class ChainWalk {
public:
    ChainWalk(const Schema& schema, NameSet& visiting) : schema_(schema), visiting_(visiting) {}

protected:
    // Puts a reusable type on the chain; false when it is there already.
    [[gnu::noinline]] bool enter(const TypeEntry* entry) { return visiting_.insert(entry->first).second; }
    [[gnu::noinline]] void leave(const TypeEntry* entry) { visiting_.erase(entry->first); }
    [[gnu::noinline]] bool on_chain(std::string_view name) const { return visiting_.count(name) != 0; }

    [[gnu::noinline, gnu::cold]] std::nullopt_t unknown(std::string_view reference) {
        error_ = "unknown type reference: " + std::string(reference);
        return std::nullopt;
    }
    [[gnu::noinline, gnu::cold]] std::nullopt_t cyclic(std::string_view name) {
        error_ = "cyclic type reference: " + std::string(name);
        return std::nullopt;
    }
    [[gnu::noinline, gnu::cold]] std::nullopt_t failure(const Definition& definition, std::string_view text) {
        error_ = definition.name + std::string(text);
        return std::nullopt;
    }

    const Schema& schema_;
    NameSet& visiting_;
    std::string error_;
};

// The effective kind of definitions and references. A failure ends the walk, so every kind
// remembered was found without meeting the chain.
class KindWalk : ChainWalk {
public:
    using ChainWalk::ChainWalk;

    Result<SchemaType> finish(std::optional<SchemaType> kind) {
        if (kind) return *kind;
        return fail(std::move(error_));
    }

    std::optional<SchemaType> reference_kind(std::string_view reference) {
        std::string_view name = normalize_reference(reference);
        if (auto keyword = SchemaType::parse(name)) return keyword;
        const TypeEntry* entry = find_entry(schema_, name);
        if (entry == nullptr) return on_chain(name) ? cyclic(name) : unknown(reference);
        if (!enter(entry)) return cyclic(name);
        std::optional<SchemaType> kind = remembered(name);
        if (!kind) {
            std::size_t entered = ++entered_;
            kind = effective_kind(entry->second);
            // A type that reached no other type is as quick to resolve again as to look up.
            if (kind && entered_ != entered) remember(entry, *kind);
        }
        leave(entry);
        return kind;
    }

    std::optional<SchemaType> effective_kind(const Definition& definition) {
        std::optional<SchemaType> base = definition.kind;
        if (!base && definition.type_reference) {
            base = reference_kind(*definition.type_reference);
            if (!base) return base;
        } else if (!base && definition.conditional) {
            base = conditional_kind(definition);
            if (!base) return base;
        } else if (!base) {
            base = alternatives_kind(definition);
            if (!base) return base;
        }
        if (definition.all_of.empty()) return base;
        if (*base == SchemaType::Any)
            return failure(definition, " cannot compose an indeterminate any type with allof");
        for (const auto& member : definition.all_of) {
            std::optional<SchemaType> kind = reference_kind(member);
            if (!kind) return kind;
            if (!(*kind == *base)) return incompatible(definition, member);
        }
        return base;
    }

private:
    std::optional<SchemaType> conditional_kind(const Definition& definition) {
        std::optional<SchemaType> then_kind = reference_kind(definition.conditional->then_type);
        if (!then_kind) return then_kind;
        std::optional<SchemaType> else_kind = reference_kind(definition.conditional->else_type);
        if (!else_kind) return else_kind;
        if (!(*then_kind == *else_kind))
            return failure(definition, " conditional branches do not have compatible effective types");
        if (!(*then_kind == SchemaType::Table) && !(*then_kind == SchemaType::Collection))
            return failure(definition, " conditional branches must resolve to table or collection");
        return then_kind;
    }

    std::optional<SchemaType> alternatives_kind(const Definition& definition) {
        KindSet kinds;
        for (const auto& member : alternatives(definition)) {
            std::optional<SchemaType> kind = reference_kind(member);
            if (!kind) return kind;
            kinds.add(*kind);
        }
        if (kinds.size() != 1) return failure(definition, " alternatives do not have one compatible effective type");
        return kinds.only();
    }

    [[gnu::noinline, gnu::cold]] std::nullopt_t incompatible(const Definition& definition, std::string_view member) {
        error_ = definition.name + " allof component " + std::string(member) + " has incompatible effective type";
        return std::nullopt;
    }

    [[gnu::noinline]] std::optional<SchemaType> remembered(std::string_view name) const {
        auto known = resolved_.find(name);
        if (known == resolved_.end()) return std::nullopt;
        return known->second;
    }
    [[gnu::noinline]] void remember(const TypeEntry* entry, SchemaType kind) { resolved_.emplace(entry->first, kind); }

    std::unordered_map<std::string_view, SchemaType> resolved_;
    std::size_t entered_ = 0;
};

// The kinds a reference can select, added to one kind set. A type whose kinds are all in the set
// adds nothing when met again.
class KindCollection : ChainWalk {
public:
    KindCollection(const Schema& schema, NameSet& visiting, KindSet& kinds) : ChainWalk(schema, visiting), kinds_(kinds) {}

    Status finish(bool collected) {
        if (collected) return {};
        return fail(std::move(error_));
    }

    bool collect_reference_types(std::string_view reference) {
        std::string_view name = normalize_reference(reference);
        if (auto keyword = SchemaType::parse(name)) {
            kinds_.add(*keyword);
            return true;
        }
        const TypeEntry* entry = find_entry(schema_, name);
        if (entry == nullptr) return on_chain(name) ? failed(cyclic(name)) : failed(unknown(reference));
        if (!enter(entry)) return failed(cyclic(name));
        if (!is_collected(name)) {
            std::size_t entered = ++entered_;
            if (!collect_definition_types(entry->second)) return false;
            if (entered_ != entered) mark_collected(entry);
        }
        leave(entry);
        return true;
    }

private:
    static bool failed(std::nullopt_t) { return false; }

    // The first rule that applies; allof members and, beside a reference, the own kind never count.
    bool collect_definition_types(const Definition& definition) {
        if (definition.type_reference) return collect_reference_types(*definition.type_reference);
        if (!definition.one_of.empty() || !definition.any_of.empty()) {
            for (const auto& member : definition.one_of) {
                if (!collect_reference_types(member)) return false;
            }
            for (const auto& member : definition.any_of) {
                if (!collect_reference_types(member)) return false;
            }
            return true;
        }
        if (definition.conditional) {
            return collect_reference_types(definition.conditional->then_type) &&
                   collect_reference_types(definition.conditional->else_type);
        }
        if (definition.kind) kinds_.add(*definition.kind);
        return true;
    }

    [[gnu::noinline]] bool is_collected(std::string_view name) const { return collected_.count(name) != 0; }
    [[gnu::noinline]] void mark_collected(const TypeEntry* entry) { collected_.insert(entry->first); }

    KindSet& kinds_;
    NameSet collected_;
    std::size_t entered_ = 0;
};

// Whether an item type for collections is reachable. The search never fails: a name on the chain
// and an unknown name both count as no item type. A true answer ends the whole search, so only
// false answers are remembered, and only those that met no name of the chain on their way.
class ItemTypeSearch : ChainWalk {
public:
    using ChainWalk::ChainWalk;

    bool has_collection_item_constraint(const Definition& definition) {
        if (definition.item_type) return true;
        if (definition.type_reference && reference_has_collection_item_constraint(*definition.type_reference))
            return true;
        for (const auto& member : alternatives(definition)) {
            if (reference_has_collection_item_constraint(member)) return true;
        }
        if (definition.conditional) {
            if (reference_has_collection_item_constraint(definition.conditional->then_type)) return true;
            if (reference_has_collection_item_constraint(definition.conditional->else_type)) return true;
        }
        for (const auto& member : definition.all_of) {
            if (reference_has_collection_item_constraint(member)) return true;
        }
        return false;
    }

    bool reference_has_collection_item_constraint(std::string_view reference) {
        std::string_view name = normalize_reference(reference);
        if (SchemaType::parse(name)) return false;
        const TypeEntry* entry = find_entry(schema_, name);
        if (entry == nullptr) return false;
        if (!enter(entry)) {
            ++blocked_;
            return false;
        }
        bool answer = false;
        if (!is_known_without(name)) {
            std::size_t entered = ++entered_;
            std::size_t blocked = blocked_;
            answer = has_collection_item_constraint(entry->second);
            if (!answer && blocked_ == blocked && entered_ != entered) mark_without(entry);
        }
        leave(entry);
        return answer;
    }

private:
    [[gnu::noinline]] bool is_known_without(std::string_view name) const { return without_.count(name) != 0; }
    [[gnu::noinline]] void mark_without(const TypeEntry* entry) { without_.insert(entry->first); }

    NameSet without_;
    std::size_t entered_ = 0;
    std::size_t blocked_ = 0;
};

}  // namespace

Status Schema::validate_references(const DefinitionMap& definitions) const {
    // References are tested as stored: the parser already took one "types." away.
    auto known = [this](const std::string& reference) {
        return SchemaType::parse(reference).has_value() || types.count(reference) != 0;
    };
    for (const auto& [key, definition] : definitions) {
        if (definition.type_reference && !known(*definition.type_reference))
            return unknown_stored_reference(definition, *definition.type_reference);
        if (definition.item_type && !known(*definition.item_type))
            return unknown_stored_reference(definition, *definition.item_type);
        for (const auto* list : {&definition.items, &definition.one_of, &definition.any_of}) {
            for (const auto& reference : *list) {
                if (!known(reference)) return unknown_stored_reference(definition, reference);
            }
        }
        if (definition.conditional) {
            if (!known(definition.conditional->then_type))
                return unknown_stored_reference(definition, definition.conditional->then_type);
            if (!known(definition.conditional->else_type))
                return unknown_stored_reference(definition, definition.conditional->else_type);
        }
        for (const auto& reference : definition.all_of) {
            if (!known(reference)) return unknown_stored_reference(definition, reference);
        }
        QELD_TRY(validate_references(definition.children));
    }
    return {};
}

Result<SchemaType> Schema::reference_kind(std::string_view reference, NameSet& visiting) const {
    KindWalk walk(*this, visiting);
    return walk.finish(walk.reference_kind(reference));
}

Result<SchemaType> Schema::effective_kind(const Definition& definition, NameSet& visiting) const {
    KindWalk walk(*this, visiting);
    return walk.finish(walk.effective_kind(definition));
}

Status Schema::collect_reference_types(std::string_view reference, NameSet& visiting, KindSet& kinds) const {
    KindCollection walk(*this, visiting, kinds);
    return walk.finish(walk.collect_reference_types(reference));
}

Result<SchemaType> Schema::array_range_item_type(const Definition& definition) const {
    constexpr std::string_view not_comparable =
        " can only define min or max when itemtype resolves to one comparable built-in type";
    if (!definition.item_type) return definition_failure(definition, not_comparable);
    NameSet visiting;
    KindSet kinds;
    QELD_TRY(collect_reference_types(*definition.item_type, visiting, kinds));
    if (kinds.size() != 1)
        return definition_failure(definition, " cannot define min or max when itemtype has mixed alternatives");
    if (!is_comparable(kinds.only())) return definition_failure(definition, not_comparable);
    return kinds.only();
}

bool Schema::has_collection_item_constraint(const Definition& definition, NameSet& visiting) const {
    return ItemTypeSearch(*this, visiting).has_collection_item_constraint(definition);
}

bool Schema::reference_has_collection_item_constraint(std::string_view reference, NameSet& visiting) const {
    return ItemTypeSearch(*this, visiting).reference_has_collection_item_constraint(reference);
}

}  // namespace qeld::schema
