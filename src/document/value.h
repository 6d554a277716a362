#pragma once
// The document tree: what a parsed TOML text is to the rest of the program.
// Tables iterate in ascending key-byte order; document order is not kept.
//
// Large generated documents hold millions of values, so every value and container handle takes
// 16 bytes and every key 8: strings of up to 14 bytes, keys of up to 7 and date-times are stored
// inline, longer strings and keys, arrays and tables in one block of exact size each.
//
// Where the blocks live: a tree that doc::parse builds keeps every block in the arena of its
// root table, which frees them all at once when the root goes; its inner values own nothing and
// free nothing. A value made any other way, and every copy (of a parsed value too), owns its
// blocks and frees them one by one. A moved root takes its arena along, so views into a parsed
// tree stay valid as long as its root, wherever the root is moved.

#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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

// The four forms of a TOML date-time, told apart by which parts are present.
enum class DateTimeShape : std::uint8_t { OffsetDateTime, LocalDateTime, LocalDate, LocalTime };

// The form of a date-time, or none for a combination of parts no TOML text can produce.
std::optional<DateTimeShape> datetime_shape(const DateTime& dt);
// The form's name: "offset-date-time", "local-date-time", "local-date" or "local-time".
std::string_view datetime_shape_name(DateTimeShape shape);

enum class ValueKind : std::uint8_t { String, Integer, Float, Boolean, DateTime, Array, Table };

class Value;
struct Entry;

namespace detail {
class Arena;
struct Storage;

// The 16 bytes every handle of the tree shares: the kind first, so that a Value may read it
// through whichever member is active.
struct alignas(8) Cell {
    std::uint8_t kind;
    std::uint8_t aux;    // a string's inline size or block marker; where a block lives; a boolean;
                         // date-time flags
    // Inline string bytes or date-time fields; else a 48-bit size in the first six bytes and a
    // pointer or 8-byte number in the last eight (aligned, as every cell starts at 8 bytes).
    std::uint8_t bytes[14];

    // Read for every size of a table, array or long string: inline.
    std::uint64_t size48() const {
        std::uint16_t high;
        std::uint32_t low;
        std::memcpy(&high, bytes, sizeof high);
        std::memcpy(&low, bytes + 2, sizeof low);
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }
    void set_size48(std::uint64_t size);
    template <class T>
    T* pointer() const {
        T* p;
        std::memcpy(&p, bytes + 6, sizeof p);
        return p;
    }
    template <class T>
    void set_pointer(T* p) {
        std::memcpy(bytes + 6, &p, sizeof p);
    }
};

// Who frees the block of an array or table.
enum Holder : std::uint8_t {
    owned = 0,  // the handle itself
    held = 1,   // the arena of a parsed tree, freed with its root
    root = 2,   // a table whose handle owns the arena of its tree (stored just before the entries)
};
// What every byte string of the tree offers, from the data() and size() of the derived class.
template <class Derived>
class ByteText {
public:
    std::string_view view() const {
        const Derived& self = static_cast<const Derived&>(*this);
        return {self.data(), self.size()};
    }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    bool empty() const { return view().empty(); }
    bool starts_with(std::string_view prefix) const { return view().starts_with(prefix); }

    friend bool operator==(const Derived& a, const Derived& b) { return a.view() == b.view(); }
    friend bool operator==(const Derived& a, std::string_view b) { return a.view() == b; }
    friend std::strong_ordering operator<=>(const Derived& a, const Derived& b) { return a.view() <=> b.view(); }
    friend std::strong_ordering operator<=>(const Derived& a, std::string_view b) { return a.view() <=> b; }
    friend std::string operator+(const std::string& a, const Derived& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const char* a, const Derived& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const Derived& a, std::string_view b) { return a.str().append(b); }
};
}  // namespace detail

// A string value.
class String : public detail::ByteText<String> {
public:
    String() noexcept { cell_ = {static_cast<std::uint8_t>(ValueKind::String), 0, {}}; }
    explicit String(std::string_view text);
    String(const String& other) : String(other.view()) {}
    String(String&& other) noexcept : cell_(other.cell_) { other.cell_.aux = 0; }
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    ~String() { release(); }

    const char* data() const {
        return cell_.aux > inline_capacity ? cell_.pointer<char>() : reinterpret_cast<const char*>(cell_.bytes);
    }
    std::size_t size() const { return cell_.aux > inline_capacity ? cell_.size48() : cell_.aux; }

private:
    friend class Value;
    friend struct detail::Storage;
    // Markers of the aux byte for bytes kept out of line.
    static constexpr std::uint8_t heap = 0xFF;     // owned
    static constexpr std::uint8_t in_arena = 0xFE;  // held by the arena of a parsed tree
    static constexpr std::size_t inline_capacity = sizeof(detail::Cell::bytes);

    void release() noexcept {
        if (cell_.aux == heap) ::operator delete(cell_.pointer<char>());
    }

    detail::Cell cell_;
};

// The key of a table entry: eight bytes, holding up to seven bytes of text inline, or the address
// of a block that holds the size and then the text.
class Key : public detail::ByteText<Key> {
public:
    Key() noexcept { set_inline(0); }
    explicit Key(std::string_view text) {
        if (text.size() > inline_capacity) {
            set_block(new_block(text), false);
        } else {
            word_ = inline_word(text);
        }
    }
    Key(const Key& other) : Key(other.view()) {}
    Key(Key&& other) noexcept : word_(other.word_) { other.set_inline(0); }
    Key& operator=(const Key& other);
    Key& operator=(Key&& other) noexcept;
    ~Key() { release(); }

    const char* data() const {
        return is_inline() ? reinterpret_cast<const char*>(&word_) + text_at : block() + sizeof(std::size_t);
    }
    std::size_t size() const {
        if (is_inline()) return tag() >> 1;
        std::size_t n;
        std::memcpy(&n, block(), sizeof n);
        return n;
    }

    // Keys of up to this many bytes are stored inline.
    static constexpr std::size_t inline_capacity = 7;

    // For a key of up to inline_capacity bytes, a word that orders as its bytes do (a prefix
    // first), so that two such keys compare in one step; 0 for a longer key.
    std::uint64_t order_word() const { return is_inline() ? in_text_order(word_) : 0; }
    static std::uint64_t order_word(std::string_view text) {
        return text.size() > inline_capacity ? 0 : in_text_order(inline_word(text));
    }

private:
    friend struct detail::Storage;
    // Blocks are 8-byte aligned, so the low bits of their address are free: bit 0 set marks inline
    // text (the tag byte then holds the size above that bit), bit 1 a block in the arena of a
    // parsed tree. The tag byte is the low byte of the word; the text fills the other seven.
    static constexpr std::uint64_t inline_bit = 1;
    static constexpr std::uint64_t in_arena_bit = 2;
    static constexpr std::size_t text_at = std::endian::native == std::endian::little ? 1 : 0;
    static_assert(sizeof(std::uintptr_t) <= sizeof(std::uint64_t));

    unsigned char tag() const { return static_cast<unsigned char>(word_ & 0xFF); }
    // The word with its text bytes first, from the highest byte down, and the tag (so the size)
    // in the lowest byte.
    static std::uint64_t in_text_order(std::uint64_t word) {
        if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(word >> 8) | (word & 0xFF);
        return word;
    }
    bool is_inline() const { return (word_ & inline_bit) != 0; }
    const char* block() const { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word_ & ~std::uint64_t{7})); }
    void set_inline(std::size_t size) { word_ = (size << 1) | inline_bit; }
    void set_block(const char* block, bool in_arena) {
        word_ = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block)) | (in_arena ? in_arena_bit : 0);
    }
    void release() noexcept {
        if ((word_ & (inline_bit | in_arena_bit)) == 0) ::operator delete(const_cast<char*>(block()));
    }
    // An owned block holding the size, then the text.
    static const char* new_block(std::string_view text);
    // The word of a text of up to seven bytes. The bytes past the text are zero, so that equal
    // short keys have equal words.
    static std::uint64_t inline_word(std::string_view text) {
        const std::size_t n = text.size();
        const char* p = text.data();
        std::uint64_t bytes = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Two loads that overlap cover any size from 2 to 7 without a loop.
            if (n >= 4) {
                std::uint32_t lo, hi;
                std::memcpy(&lo, p, 4);
                std::memcpy(&hi, p + n - 4, 4);
                bytes = lo | (std::uint64_t{hi} << (8 * (n - 4)));
            } else if (n >= 2) {
                std::uint16_t lo, hi;
                std::memcpy(&lo, p, 2);
                std::memcpy(&hi, p + n - 2, 2);
                bytes = lo | (std::uint64_t{hi} << (8 * (n - 2)));
            } else if (n == 1) {
                bytes = static_cast<unsigned char>(p[0]);
            }
            return (bytes << 8) | (n << 1) | inline_bit;
        } else {
            std::uint64_t word = (n << 1) | inline_bit;
            if (n != 0) std::memcpy(reinterpret_cast<char*>(&word) + text_at, p, n);
            return word;
        }
    }

    std::uint64_t word_;
};

static_assert(sizeof(Key) == 8);

inline Key& Key::operator=(Key&& other) noexcept {
    if (this != &other) {
        const std::uint64_t taken = other.word_;
        other.set_inline(0);
        release();
        word_ = taken;
    }
    return *this;
}

// The items of an array, in document order, in one block of exact size.
class Array {
public:
    Array() noexcept { clear_cell(); }
    Array(std::initializer_list<Value> items);
    // Takes the items over (moving each one).
    explicit Array(std::vector<Value>&& items);
    Array(const Array& other);
    Array(Array&& other) noexcept : cell_(other.cell_) { other.clear_cell(); }
    Array& operator=(const Array& other);
    Array& operator=(Array&& other) noexcept;
    ~Array() {
        if (owns_block()) release_block();
    }

    std::size_t size() const { return cell_.size48(); }
    bool empty() const { return size() == 0; }
    const Value* data() const { return cell_.pointer<Value>(); }
    const Value* begin() const { return data(); }
    const Value* end() const;
    const Value& operator[](std::size_t i) const;
    const Value& front() const;
    const Value& back() const;

private:
    friend class Value;
    friend struct detail::Storage;
    void clear_cell() noexcept { cell_ = {static_cast<std::uint8_t>(ValueKind::Array), detail::owned, {}}; }
    bool owns_block() const { return cell_.aux == detail::owned && data() != nullptr; }
    // Destroys the items and frees the block; the handle is left as it was.
    void release_block() noexcept;

    detail::Cell cell_;
};

// A map from key to value held as one block of entries sorted by key bytes.
class Table {
public:
    using const_iterator = const Entry*;

    Table() noexcept { clear_cell(); }
    // The entries must already be sorted by key bytes and free of duplicates; each is moved.
    explicit Table(std::vector<Entry>&& sorted_entries);
    Table(const Table& other);
    Table(Table&& other) noexcept : cell_(other.cell_) { other.clear_cell(); }
    Table& operator=(const Table& other);
    Table& operator=(Table&& other) noexcept;
    ~Table() {
        if (owns_block()) release_block();
    }

    const Value* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    std::size_t size() const { return cell_.size48(); }
    bool empty() const { return size() == 0; }
    const_iterator begin() const { return data(); }
    const_iterator end() const;
    std::span<const Entry> entries() const;

    // Inserts or replaces, keeping the order. A parsed tree becomes an owned copy first.
    void set(std::string_view key, Value value);

private:
    friend class Value;
    friend struct detail::Storage;
    const Entry* data() const { return cell_.pointer<Entry>(); }
    void clear_cell() noexcept { cell_ = {static_cast<std::uint8_t>(ValueKind::Table), detail::owned, {}}; }
    bool owns_block() const { return cell_.aux != detail::held && data() != nullptr; }
    // Frees the block with the entries, or for a root the whole arena; the handle is left as it was.
    void release_block() noexcept;

    detail::Cell cell_;
};

class alignas(8) Value {
public:
    Value() noexcept : Value(false) {}
    Value(std::string_view s) : string_(s) {}
    Value(const std::string& s) : string_(std::string_view(s)) {}
    Value(const char* s) : string_(std::string_view(s)) {}
    Value(String s) noexcept : string_(std::move(s)) {}
    Value(std::int64_t i) noexcept : scalar_{} { set_scalar(ValueKind::Integer, 0, &i, sizeof i); }
    Value(int i) noexcept : Value(static_cast<std::int64_t>(i)) {}
    Value(double d) noexcept : scalar_{} { set_scalar(ValueKind::Float, 0, &d, sizeof d); }
    Value(bool b) noexcept : scalar_{} { set_scalar(ValueKind::Boolean, b ? 1 : 0, nullptr, 0); }
    Value(const DateTime& dt) noexcept;
    Value(Array a) noexcept : array_(std::move(a)) {}
    Value(Table t) noexcept : table_(std::move(t)) {}

    Value(const Value& other);
    // Leaves the other value false.
    Value(Value&& other) noexcept { take(other); }
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value() { destroy(); }

    ValueKind kind() const { return static_cast<ValueKind>(scalar_.cell.kind); }
    bool is_string() const { return kind() == ValueKind::String; }
    bool is_integer() const { return kind() == ValueKind::Integer; }
    bool is_float() const { return kind() == ValueKind::Float; }
    bool is_boolean() const { return kind() == ValueKind::Boolean; }
    bool is_datetime() const { return kind() == ValueKind::DateTime; }
    bool is_array() const { return kind() == ValueKind::Array; }
    bool is_table() const { return kind() == ValueKind::Table; }

    // Each accessor requires its kind; asking for another ends the process as an internal failure.
    std::string_view as_string() const { return checked(ValueKind::String).string_.view(); }
    std::int64_t as_integer() const { return checked(ValueKind::Integer).scalar<std::int64_t>(); }
    double as_float() const { return checked(ValueKind::Float).scalar<double>(); }
    bool as_boolean() const { return checked(ValueKind::Boolean).scalar_.cell.aux != 0; }
    DateTime as_datetime() const;
    // datetime_shape(as_datetime()), read from the flags alone.
    std::optional<DateTimeShape> datetime_shape() const;
    const Array& as_array() const { return checked(ValueKind::Array).array_; }
    const Table& as_table() const { return checked(ValueKind::Table).table_; }

    // Non-failing accessors for callers that test the kind themselves.
    const String* if_string() const { return is_string() ? &string_ : nullptr; }
    const Array* if_array() const { return is_array() ? &array_ : nullptr; }
    const Table* if_table() const { return is_table() ? &table_ : nullptr; }

private:
    friend struct detail::Storage;
    const Value& checked(ValueKind expected) const {
        if (kind() != expected) [[unlikely]] wrong_kind(expected);
        return *this;
    }
    [[noreturn]] void wrong_kind(ValueKind expected) const;
    template <class T>
    T scalar() const {
        T out;
        std::memcpy(&out, scalar_.cell.bytes + 6, sizeof out);
        return out;
    }
    // Requires scalar_ to be the active member.
    void set_scalar(ValueKind kind, std::uint8_t aux, const void* payload, std::size_t size) noexcept {
        scalar_ = Scalar{{static_cast<std::uint8_t>(kind), aux, {}}};
        if (size) std::memcpy(scalar_.cell.bytes + 6, payload, size);
    }
    // Constructs this value's member from the other's active one, then leaves the other false.
    // This value holds no member yet.
    void take(Value& other) noexcept;
    // Ends the active member's lifetime, releasing what it owns.
    void destroy() noexcept {
        switch (kind()) {
            case ValueKind::String:
                string_.~String();
                break;
            case ValueKind::Array:
                array_.~Array();
                break;
            case ValueKind::Table:
                table_.~Table();
                break;
            default:
                break;
        }
    }

    struct Scalar {
        detail::Cell cell;
    };
    // Every member is one Cell (a common initial sequence), so the kind reads through scalar_
    // whichever member is active.
    union {
        Scalar scalar_;
        String string_;
        Array array_;
        Table table_;
    };
};

static_assert(sizeof(Value) == 16);

inline void Value::take(Value& other) noexcept {
    switch (other.kind()) {
        case ValueKind::String:
            new (&string_) String(std::move(other.string_));
            break;
        case ValueKind::Array:
            new (&array_) Array(std::move(other.array_));
            break;
        case ValueKind::Table:
            new (&table_) Table(std::move(other.table_));
            break;
        default:
            new (&scalar_) Scalar(other.scalar_);
            break;
    }
    // The other's member holds nothing now, so its destructor would do nothing: reusing its
    // storage for a false value ends it.
    new (&other.scalar_) Scalar{{static_cast<std::uint8_t>(ValueKind::Boolean), 0, {}}};
}

inline Value& Value::operator=(Value&& other) noexcept {
    if (this == &other) return *this;
    const ValueKind k = kind();
    if (k != ValueKind::String && k != ValueKind::Array && k != ValueKind::Table) {
        // A scalar holds nothing that the other value could lie inside, nor anything to free.
        take(other);
        return *this;
    }
    // Take the other value first: it may lie inside this one.
    Value taken(std::move(other));
    destroy();
    take(taken);
    return *this;
}

struct Entry {
    Key key;
    Value value;
};

static_assert(sizeof(Entry) == 24);

inline const Value* Array::end() const { return data() + size(); }
inline const Value& Array::operator[](std::size_t i) const { return data()[i]; }
inline const Value& Array::front() const { return data()[0]; }
inline const Value& Array::back() const { return data()[size() - 1]; }
inline Table::const_iterator Table::end() const { return data() + size(); }
inline std::span<const Entry> Table::entries() const { return {data(), size()}; }

}  // namespace qeld::doc
