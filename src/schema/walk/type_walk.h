#pragma once
// The two walks every check and the resolution share: over the reusable types that definitions
// refer to, and over every definition of a schema.
//
// A type walk follows references from one definition through the reusable types they name. Each
// step along a chain is a turn of a loop over an explicit stack, never a call, so a chain as long
// as the schema costs no machine stack. The names of the types on the stack are the current
// chain: a name met again on it is a cycle, a type reached again along another chain is not.
//
// A type's answer depends only on the type, unless its walk met the current chain (which makes
// most walks fail), so every other answer, and every failure that met no chain, is remembered:
// within one walk object, which lives for one check or one validation, each reusable type is
// walked at most once, however many definitions and chains reach it. Walking it again would give
// the same answer and the same message: a type whose walk finished reaches only types whose walks
// finished, never one on the current chain.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/result.h"
#include "schema/model.h"

namespace qeld::schema {

using TypeEntry = std::pair<const std::string, Definition>;

// What a walk's rules make of one definition at one turn: ask for the answer of a reference, or
// give the definition's answer, or end the whole walk with a message.
enum class Advance { Follow, Done, Fail };

// Rules, one class per walk, give:
//   Answer                       what the walk finds for a definition (copied freely)
//   Frame                        the progress through one definition
//   Frame start(const Definition&)
//   Advance advance(Frame&, std::string_view& reference)
//                                Follow: the reference is set, and its answer is handed to
//                                receive before the next advance; Done: answer(frame) is the
//                                definition's answer; Fail: take_message() is the message
//   void receive(Frame&, Answer)
//   Answer answer(Frame&)
//   std::string take_message()
//   std::string_view name_of(std::string_view reference)      the type name a reference names
//   std::optional<Answer> keyword(std::string_view name)       the answer for a built-in name
//   Result<Answer> cycle(std::string_view name)                a name already on the chain
//   Result<Answer> unknown(std::string_view reference, std::string_view name, NameSet& chain)
//                                a name that no reusable type has
// and may give void finished(std::string_view name), told of every type whose walk finished.
template <class Rules>
class TypeWalk {
public:
    using Answer = typename Rules::Answer;

    explicit TypeWalk(const Schema& schema, Rules rules = Rules()) : schema_(schema), rules_(std::move(rules)) {}

    const Schema& schema() const { return schema_; }
    Rules& rules() { return rules_; }

    // Each query with a chain of the walk's own, empty when the query starts.
    Result<Answer> of_reference(std::string_view reference) { return query(nullptr, reference, nullptr); }
    Result<Answer> of_definition(const Definition& definition) { return query(&definition, {}, nullptr); }

    // With the caller's chain as well: names on it count as on the current chain. The walk leaves
    // it as it found it.
    Result<Answer> of_reference(std::string_view reference, NameSet& chain) { return query(nullptr, reference, &chain); }
    Result<Answer> of_definition(const Definition& definition, NameSet& chain) {
        return query(&definition, {}, &chain);
    }

private:
    // What the walk knows of a reusable type: on the current chain, or finished with its outcome.
    struct Known {
        bool open;
        Result<Answer> outcome;
    };

    struct Step {
        typename Rules::Frame frame;
        Known* known;           // null for the definition a query starts at
        std::string_view name;  // the type's key
        bool met_chain;         // its answer depends on the chain it was reached along
    };

    // A reference answered without walking (entry null), or the type to walk.
    struct Looked {
        Result<Answer> outcome;
        const TypeEntry* entry = nullptr;
        bool met_chain = false;
    };

    Result<Answer> query(const Definition* definition, std::string_view reference, NameSet* caller) {
        caller_ = caller;
        if (!added_.empty()) added_.clear();
        if (definition != nullptr) {
            stack_.push_back(Step{rules_.start(*definition), nullptr, {}, false});
            return run();
        }
        Looked looked = look_up(reference);
        if (looked.entry == nullptr) return std::move(looked.outcome);
        enter(looked.entry);
        return run();
    }

    NameSet& chain_names() { return caller_ != nullptr ? *caller_ : added_; }

    Looked look_up(std::string_view reference) {
        const std::string_view name = rules_.name_of(reference);
        if (std::optional<Answer> answer = rules_.keyword(name)) return Looked{std::move(*answer)};
        if (auto known = known_.find(name); known != known_.end()) {
            if (known->second.open) return Looked{rules_.cycle(name), nullptr, true};
            return Looked{known->second.outcome};
        }
        NameSet& names = chain_names();
        if (!names.empty() && names.count(name) != 0) return Looked{rules_.cycle(name), nullptr, true};
        auto found = schema_.types.find(name);
        if (found == schema_.types.end()) return Looked{rules_.unknown(reference, name, names)};
        return Looked{Error{}, &*found};
    }

    void enter(const TypeEntry* entry) {
        if (known_.empty()) known_.reserve(schema_.types.size());
        Known& known = known_.try_emplace(entry->first, Known{true, Error{}}).first->second;
        if (caller_ != nullptr) caller_->insert(entry->first);
        stack_.push_back(Step{rules_.start(entry->second), &known, entry->first, false});
    }

    // The type on top of the stack is finished: with its outcome, or forgotten when the outcome
    // depends on the chain.
    void leave(const Step& step, Result<Answer> outcome, bool met_chain) {
        if (caller_ != nullptr) caller_->erase(step.name);
        if (met_chain) {
            known_.erase(step.name);
            return;
        }
        step.known->open = false;
        step.known->outcome = std::move(outcome);
    }

    Result<Answer> run() {
        std::optional<Answer> received;
        for (;;) {
            Step& top = stack_.back();
            if (received) {
                rules_.receive(top.frame, std::move(*received));
                received.reset();
            }
            std::string_view reference;
            switch (rules_.advance(top.frame, reference)) {
                case Advance::Follow: {
                    Looked looked = look_up(reference);
                    if (looked.entry != nullptr) {
                        enter(looked.entry);
                        break;
                    }
                    top.met_chain = top.met_chain || looked.met_chain;
                    if (!looked.outcome) return end_walk(looked.outcome.take_error(), top.met_chain);
                    received = std::move(looked.outcome).value();
                    break;
                }
                case Advance::Done: {
                    Answer answer = rules_.answer(top.frame);
                    const Step step = std::move(top);
                    stack_.pop_back();
                    if (step.known != nullptr) {
                        leave(step, answer, step.met_chain);
                        if constexpr (requires(Rules& rules, std::string_view name) { rules.finished(name); }) {
                            rules_.finished(step.name);
                        }
                    }
                    if (stack_.empty()) return answer;
                    stack_.back().met_chain = stack_.back().met_chain || step.met_chain;
                    received = std::move(answer);
                    break;
                }
                case Advance::Fail:
                    return end_walk(rules_.take_message(), top.met_chain);
            }
        }
    }

    // The first failure ends the walk: every type on the stack fails with it.
    Result<Answer> end_walk(std::string message, bool met_chain) {
        while (!stack_.empty()) {
            const Step& step = stack_.back();
            met_chain = met_chain || step.met_chain;
            if (step.known != nullptr) leave(step, fail(message), met_chain);
            stack_.pop_back();
        }
        return fail(std::move(message));
    }

    const Schema& schema_;
    Rules rules_;
    std::vector<Step> stack_;
    std::unordered_map<std::string_view, Known> known_;
    NameSet* caller_ = nullptr;
    NameSet added_;  // names the rules put on the chain during one query
};

// Which alternatives a walk follows: both lists, or the one that decides a definition's kind
// (oneof when given, else anyof).
enum class Alternatives { Both, Deciding };

// The selector references of a definition in the order every walk over them takes: the type
// reference, the alternatives, then and else, the allof members. None past the end.
std::optional<std::string_view> selector_reference(const Definition& definition, std::size_t index,
                                                   Alternatives alternatives = Alternatives::Both);
// The references a definition inherits through: the type reference, then the allof members.
std::optional<std::string_view> composition_reference(const Definition& definition, std::size_t index);
// Follow the reference when there is one, else the definition is done.
Advance follow(std::optional<std::string_view> next, std::string_view& reference);

// Every definition of the map in ascending key order, each before its children and its children
// before the next key; the first failure ends the visit. The stack of maps is explicit.
template <class Visit>
Status visit_definitions(const DefinitionMap& definitions, Visit&& visit) {
    using Cursor = DefinitionMap::const_iterator;
    std::vector<std::pair<Cursor, Cursor>> open{{definitions.begin(), definitions.end()}};
    while (!open.empty()) {
        auto& [next, end] = open.back();
        if (next == end) {
            open.pop_back();
            continue;
        }
        const Definition& definition = next->second;
        ++next;
        QELD_TRY(visit(definition));
        if (!definition.children.empty()) open.emplace_back(definition.children.begin(), definition.children.end());
    }
    return {};
}

// The definition, then its children as above.
template <class Visit>
Status visit_definition_tree(const Definition& definition, Visit&& visit) {
    QELD_TRY(visit(definition));
    return visit_definitions(definition.children, visit);
}

// Every definition of [types], then every definition of [elements], as above.
template <class Visit>
Status visit_definitions(const Schema& schema, Visit&& visit) {
    QELD_TRY(visit_definitions(schema.types, visit));
    return visit_definitions(schema.elements, visit);
}

}  // namespace qeld::schema
