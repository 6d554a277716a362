#pragma once
// The document tree: what a parsed TOML text is to the rest of the program.
// Tables iterate in ascending key-byte order; document order is not kept.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace qeld::doc {

struct Date {
    std::uint16_t year = 0;
    std::uint8_t month = 1;
    std::uint8_t day = 1;
};

struct Time {
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::optional<std::uint8_t> second;          // absent when the text omits the seconds
    std::optional<std::uint32_t> nanosecond;     // present whenever the text has a fraction
};

// Z is kept apart from +00:00 although both are zero minutes east of UTC.
struct Offset {
    bool z = false;
    std::int16_t minutes = 0;
};

struct DateTime {
    std::optional<Date> date;
    std::optional<Time> time;
    std::optional<Offset> offset;
};

enum class ValueKind : std::uint8_t { String, Integer, Float, Boolean, DateTime, Array, Table };

class Value;
struct Entry;

using Array = std::vector<Value>;

// A map from key to value held as a vector sorted by key bytes.
class Table {
public:
    using const_iterator = std::vector<Entry>::const_iterator;

    Table();
    // Special members are defined below, where Entry is complete.
    Table(const Table& other);
    Table(Table&& other) noexcept;
    Table& operator=(const Table& other);
    Table& operator=(Table&& other) noexcept;
    ~Table();
    // The entries must already be sorted by key bytes and free of duplicates.
    explicit Table(std::vector<Entry> sorted_entries);

    const Value* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    std::size_t size() const;
    bool empty() const;
    const_iterator begin() const;
    const_iterator end() const;
    const std::vector<Entry>& entries() const { return entries_; }

    // Inserts or replaces, keeping the order.
    void set(std::string key, Value value);

private:
    std::vector<Entry> entries_;
};

class Value {
public:
    Value() : data_(false) {}
    Value(std::string s) : data_(std::move(s)) {}
    Value(const char* s) : data_(std::string(s)) {}
    Value(std::int64_t i) : data_(i) {}
    Value(int i) : data_(static_cast<std::int64_t>(i)) {}
    Value(double d) : data_(d) {}
    Value(bool b) : data_(b) {}
    Value(DateTime dt) : data_(dt) {}
    Value(Array a) : data_(std::move(a)) {}
    Value(Table t) : data_(std::move(t)) {}

    ValueKind kind() const { return static_cast<ValueKind>(data_.index()); }
    bool is_string() const { return kind() == ValueKind::String; }
    bool is_integer() const { return kind() == ValueKind::Integer; }
    bool is_float() const { return kind() == ValueKind::Float; }
    bool is_boolean() const { return kind() == ValueKind::Boolean; }
    bool is_datetime() const { return kind() == ValueKind::DateTime; }
    bool is_array() const { return kind() == ValueKind::Array; }
    bool is_table() const { return kind() == ValueKind::Table; }

    const std::string& as_string() const { return std::get<std::string>(data_); }
    std::int64_t as_integer() const { return std::get<std::int64_t>(data_); }
    double as_float() const { return std::get<double>(data_); }
    bool as_boolean() const { return std::get<bool>(data_); }
    const DateTime& as_datetime() const { return std::get<DateTime>(data_); }
    const Array& as_array() const { return std::get<Array>(data_); }
    const Table& as_table() const { return std::get<Table>(data_); }
    Array& as_array() { return std::get<Array>(data_); }
    Table& as_table() { return std::get<Table>(data_); }

    // Non-throwing accessors for callers that test the kind themselves.
    const std::string* if_string() const { return std::get_if<std::string>(&data_); }
    const Array* if_array() const { return std::get_if<Array>(&data_); }
    const Table* if_table() const { return std::get_if<Table>(&data_); }

private:
    // The order of the alternatives matches ValueKind.
    std::variant<std::string, std::int64_t, double, bool, DateTime, Array, Table> data_;
};

struct Entry {
    std::string key;
    Value value;
};

inline Table::Table() = default;
inline Table::Table(const Table& other) = default;
inline Table::Table(Table&& other) noexcept = default;
inline Table& Table::operator=(const Table& other) = default;
inline Table& Table::operator=(Table&& other) noexcept = default;
inline Table::~Table() = default;
inline Table::Table(std::vector<Entry> sorted_entries) : entries_(std::move(sorted_entries)) {}
inline std::size_t Table::size() const { return entries_.size(); }
inline bool Table::empty() const { return entries_.empty(); }
inline Table::const_iterator Table::begin() const { return entries_.begin(); }
inline Table::const_iterator Table::end() const { return entries_.end(); }

}  // namespace qeld::doc
