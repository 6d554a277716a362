#pragma once
// The schema model: built-in types, definitions, a loaded schema and validation results.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "common/result.h"
#include "document/parse.h"
#include "document/value.h"
#include "schema/pattern.h"

namespace qeld::schema {

class SourceSyntax;

// The twelve built-in type keywords, in their fixed order.
class SchemaType {
public:
    enum Kind : std::uint8_t {
        Any,
        String,
        Integer,
        Float,
        Boolean,
        OffsetDateTime,
        LocalDateTime,
        LocalDate,
        LocalTime,
        Array,
        Table,
        Collection,
    };
    static constexpr int count = 12;

    constexpr SchemaType(Kind kind) : kind_(kind) {}

    // The variant whose keyword equals the whole text byte for byte.
    static std::optional<SchemaType> parse(std::string_view text);
    // Its keyword, nothing before or after.
    std::string_view keyword() const;

    constexpr Kind kind() const { return kind_; }
    friend constexpr bool operator==(SchemaType a, SchemaType b) { return a.kind_ == b.kind_; }
    friend constexpr bool operator==(SchemaType a, Kind b) { return a.kind_ == b; }

private:
    Kind kind_;
};

// A set of built-in kinds; read for its size, its single member and membership, never listed.
class KindSet {
public:
    void add(SchemaType type) { bits_ |= static_cast<std::uint16_t>(1u << type.kind()); }
    bool contains(SchemaType type) const { return (bits_ >> type.kind()) & 1u; }
    void add_all(KindSet other) { bits_ |= other.bits_; }
    int size() const { return __builtin_popcount(bits_); }
    // The member of a one-member set.
    SchemaType only() const { return static_cast<SchemaType::Kind>(__builtin_ctz(bits_)); }

private:
    std::uint16_t bits_ = 0;
};

// Names of reusable types on the current chain of a walk (or any other set of names held by
// the schema); membership tests only, never iterated into output.
using NameSet = std::unordered_set<std::string_view>;

struct ConditionPredicate {
    struct Equals {
        doc::Value value;
    };
    struct In {
        std::vector<doc::Value> values;
    };
    std::variant<Equals, In> form;
};

struct ConditionalSelector {
    std::string key;
    ConditionPredicate predicate;
    std::string then_type;
    std::string else_type;
};

struct Definition;
// Maps iterated anywhere are sorted by key bytes.
using DefinitionMap = std::map<std::string, Definition, std::less<>>;

struct Definition {
    std::string name;
    std::optional<SchemaType> kind;
    std::optional<std::string> type_reference;
    std::optional<std::string> description;
    std::optional<std::string> item_type;
    std::vector<std::string> items;
    bool optional = false;
    std::vector<doc::Value> allowed_values;
    std::optional<Pattern> pattern;
    std::optional<Pattern> key_pattern;
    std::optional<doc::Value> min;
    std::optional<doc::Value> max;
    std::optional<std::int64_t> min_length;
    std::optional<std::int64_t> max_length;
    std::vector<std::string> one_of;
    std::vector<std::string> any_of;
    std::optional<ConditionalSelector> conditional;
    std::vector<std::string> all_of;
    std::map<std::string, std::vector<std::string>, std::less<>> dependent_required;
    std::vector<std::vector<std::string>> mutually_exclusive;
    std::vector<std::vector<std::string>> exactly_one;
    std::optional<bool> unique_items;  // absent, false or true
    std::optional<doc::Value> default_value;
    bool deprecated = false;
    DefinitionMap children;
};

// A reference without one leading "types.".
std::string_view normalize_reference(std::string_view reference);

struct ValidationError {
    std::string path;
    std::string message;
};

struct ValidationWarning {
    std::string code;
    std::string path;
    std::string message;
    friend bool operator==(const ValidationWarning&, const ValidationWarning&) = default;
};

struct ValidationResult {
    std::vector<ValidationError> errors;
    std::vector<ValidationWarning> warnings;
};

// A loaded schema that passed every load-time check: plain data, built by loading and never
// changed afterwards. The checks across definitions and the validation are functions over it.
struct Schema {
    std::string source_path;
    std::string version;
    std::vector<std::string> notices;
    DefinitionMap types;
    DefinitionMap elements;

    static Result<Schema> load(std::string_view path);
    // The frame of a parse error quotes the offending line of the text unless asked not to, for
    // a schema the user did not name.
    static Result<Schema> from_source(std::string path, std::string_view text,
                                      doc::FaultFrame frame = doc::FaultFrame::source_line);
    static Result<Schema> from_parts(std::string path, const doc::Table& root, const SourceSyntax& syntax);

    ValidationResult validate(const doc::Table& document) const;
    ValidationResult validate_file(std::string_view path) const;
};

// The reusable type under a name, or null.
const Definition* find_type(const Schema& schema, std::string_view name);

}  // namespace qeld::schema
