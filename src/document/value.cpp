#include "document/value.h"

#include <algorithm>
#include <new>

#include "common/invariant.h"
#include "document/arena.h"

namespace qeld::doc {

namespace detail {

void Cell::set_size48(std::uint64_t size) {
    // No text that fits in memory holds 2^48 bytes or items.
    if (size >> 48) invariant_failure("document value too large");
    const auto high = static_cast<std::uint16_t>(size >> 32);
    const auto low = static_cast<std::uint32_t>(size);
    std::memcpy(bytes, &high, sizeof high);
    std::memcpy(bytes + 2, &low, sizeof low);
}

}  // namespace detail

namespace {

constexpr auto string_kind = static_cast<std::uint8_t>(ValueKind::String);

// Which date-time parts are present; the flags travel in the aux byte.
enum DateTimeFlag : std::uint8_t {
    has_date = 1,
    has_time = 2,
    has_second = 4,
    has_nanosecond = 8,
    has_offset = 16,
    offset_z = 32,
};
// Byte positions of the date-time fields inside a cell.
constexpr std::size_t year_at = 0, nanosecond_at = 2, month_at = 6, day_at = 7, hour_at = 8, minute_at = 9,
                      second_at = 10, offset_at = 11;

template <class T>
void put(std::uint8_t* bytes, std::size_t at, T v) {
    std::memcpy(bytes + at, &v, sizeof v);
}

template <class T>
T get(const std::uint8_t* bytes, std::size_t at) {
    T v;
    std::memcpy(&v, bytes + at, sizeof v);
    return v;
}

// The block of an array or table: room for n items, which the caller constructs.
template <class T>
T* allocate_block(detail::Cell& cell, std::size_t n) {
    T* p = n == 0 ? nullptr : static_cast<T*>(::operator new(n * sizeof(T)));
    cell.set_size48(n);
    cell.set_pointer(p);
    return p;
}

// Frees an owned block with its items.
template <class T>
void release_items(detail::Cell& cell) noexcept {
    T* items = cell.pointer<T>();
    const std::size_t n = cell.size48();
    for (std::size_t i = 0; i < n; ++i) items[i].~T();
    ::operator delete(items);
}

// Fills a new block of n items with make(item, i); when one throws, the items made so far are
// destroyed and the block freed before the exception goes on.
template <class T, class Make>
void fill_block(detail::Cell& cell, std::size_t n, Make make) {
    T* out = allocate_block<T>(cell, n);
    std::size_t made = 0;
    try {
        for (; made < n; ++made) make(out + made, made);
    } catch (...) {
        cell.set_size48(made);
        release_items<T>(cell);
        cell.set_size48(0);
        cell.set_pointer<T>(nullptr);
        throw;
    }
}

}  // namespace

// String ------------------------------------------------------------------------------------

String::String(std::string_view text) {
    cell_ = {string_kind, 0, {}};
    if (text.size() <= inline_capacity) {
        cell_.aux = static_cast<std::uint8_t>(text.size());
        if (!text.empty()) std::memcpy(cell_.bytes, text.data(), text.size());
        return;
    }
    char* p = static_cast<char*>(::operator new(text.size()));
    std::memcpy(p, text.data(), text.size());
    cell_.aux = heap;
    cell_.set_size48(text.size());
    cell_.set_pointer(p);
}


String& String::operator=(const String& other) {
    if (this != &other) *this = String(other.view());
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        const detail::Cell taken = other.cell_;
        other.cell_.aux = 0;
        release();
        cell_ = taken;
    }
    return *this;
}

// Key ---------------------------------------------------------------------------------------

const char* Key::new_block(std::string_view text) {
    const std::size_t size = text.size();
    char* block = static_cast<char*>(::operator new(sizeof size + size));
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, text.data(), size);
    return block;
}

Key& Key::operator=(const Key& other) {
    if (this != &other) *this = Key(other.view());
    return *this;
}

// Array -------------------------------------------------------------------------------------

void Array::release_block() noexcept { release_items<Value>(cell_); }

Array::Array(std::initializer_list<Value> items) {
    clear_cell();
    fill_block<Value>(cell_, items.size(), [&](Value* out, std::size_t i) { new (out) Value(items.begin()[i]); });
}

Array::Array(std::vector<Value>&& items) {
    clear_cell();
    Value* out = allocate_block<Value>(cell_, items.size());
    for (std::size_t i = 0; i < items.size(); ++i) new (out + i) Value(std::move(items[i]));
    items.clear();
}

Array::Array(const Array& other) {
    clear_cell();
    fill_block<Value>(cell_, other.size(), [&](Value* out, std::size_t i) { new (out) Value(other[i]); });
}

Array& Array::operator=(const Array& other) {
    if (this != &other) *this = Array(other);
    return *this;
}

Array& Array::operator=(Array&& other) noexcept {
    if (this != &other) {
        const detail::Cell taken = other.cell_;
        other.clear_cell();
        if (owns_block()) release_block();
        cell_ = taken;
    }
    return *this;
}

// Table -------------------------------------------------------------------------------------

void Table::release_block() noexcept {
    if (cell_.aux == detail::root) {
        detail::Arena* arena;
        std::memcpy(&arena, cell_.pointer<char>() - sizeof arena, sizeof arena);
        delete arena;
    } else {
        release_items<Entry>(cell_);
    }
}

Table::Table(std::vector<Entry>&& sorted_entries) {
    clear_cell();
    Entry* out = allocate_block<Entry>(cell_, sorted_entries.size());
    for (std::size_t i = 0; i < sorted_entries.size(); ++i) new (out + i) Entry(std::move(sorted_entries[i]));
    sorted_entries.clear();
}

Table::Table(const Table& other) {
    clear_cell();
    fill_block<Entry>(cell_, other.size(), [&](Entry* out, std::size_t i) { new (out) Entry(other.data()[i]); });
}

Table& Table::operator=(const Table& other) {
    if (this != &other) *this = Table(other);
    return *this;
}

Table& Table::operator=(Table&& other) noexcept {
    if (this != &other) {
        const detail::Cell taken = other.cell_;
        other.clear_cell();
        if (owns_block()) release_block();
        cell_ = taken;
    }
    return *this;
}

namespace {
const Entry* lower_bound_key(const Entry* first, const Entry* last, std::string_view key) {
    return std::lower_bound(first, last, key, [](const Entry& e, std::string_view k) { return e.key.view() < k; });
}
}  // namespace

const Value* Table::find(std::string_view key) const {
    const Entry* it = lower_bound_key(begin(), end(), key);
    if (it != end() && it->key == key) return &it->value;
    return nullptr;
}

void Table::set(std::string_view key, Value value) {
    // The entries of a parsed tree are not this table's to move or replace.
    if (cell_.aux != detail::owned) *this = Table(*this);
    const Entry* it = lower_bound_key(begin(), end(), key);
    const auto at = static_cast<std::size_t>(it - begin());
    if (it != end() && it->key == key) {
        cell_.pointer<Entry>()[at].value = std::move(value);
        return;
    }
    // What may throw comes first, so that a failure leaves the table as it was.
    Key new_key(key);
    Table grown;
    Entry* out = allocate_block<Entry>(grown.cell_, size() + 1);
    Entry* old = cell_.pointer<Entry>();
    for (std::size_t i = 0; i < at; ++i) new (out + i) Entry(std::move(old[i]));
    new (out + at) Entry{std::move(new_key), std::move(value)};
    for (std::size_t i = at; i < size(); ++i) new (out + i + 1) Entry(std::move(old[i]));
    *this = std::move(grown);
}

// Value -------------------------------------------------------------------------------------

Value::Value(const DateTime& dt) noexcept : scalar_{} {
    set_scalar(ValueKind::DateTime, 0, nullptr, 0);
    std::uint8_t flags = 0;
    std::uint8_t* bytes = scalar_.cell.bytes;
    if (dt.date) {
        flags |= has_date;
        put(bytes, year_at, dt.date->year);
        put(bytes, month_at, dt.date->month);
        put(bytes, day_at, dt.date->day);
    }
    if (dt.time) {
        flags |= has_time;
        put(bytes, hour_at, dt.time->hour);
        put(bytes, minute_at, dt.time->minute);
        if (dt.time->second) {
            flags |= has_second;
            put(bytes, second_at, *dt.time->second);
        }
        if (dt.time->nanosecond) {
            flags |= has_nanosecond;
            put(bytes, nanosecond_at, *dt.time->nanosecond);
        }
    }
    if (dt.offset) {
        flags |= has_offset;
        if (dt.offset->z) flags |= offset_z;
        put(bytes, offset_at, dt.offset->minutes);
    }
    scalar_.cell.aux = flags;
}

DateTime Value::as_datetime() const {
    checked(ValueKind::DateTime);
    const std::uint8_t flags = scalar_.cell.aux;
    const std::uint8_t* bytes = scalar_.cell.bytes;
    DateTime dt;
    if (flags & has_date) {
        dt.date = Date{get<std::uint16_t>(bytes, year_at), get<std::uint8_t>(bytes, month_at),
                       get<std::uint8_t>(bytes, day_at)};
    }
    if (flags & has_time) {
        Time t;
        t.hour = get<std::uint8_t>(bytes, hour_at);
        t.minute = get<std::uint8_t>(bytes, minute_at);
        if (flags & has_second) t.second = get<std::uint8_t>(bytes, second_at);
        if (flags & has_nanosecond) t.nanosecond = get<std::uint32_t>(bytes, nanosecond_at);
        dt.time = t;
    }
    if (flags & has_offset) dt.offset = Offset{(flags & offset_z) != 0, get<std::int16_t>(bytes, offset_at)};
    return dt;
}

Value::Value(const Value& other) {
    switch (other.kind()) {
        case ValueKind::String:
            new (&string_) String(other.string_);
            break;
        case ValueKind::Array:
            new (&array_) Array(other.array_);
            break;
        case ValueKind::Table:
            new (&table_) Table(other.table_);
            break;
        default:
            new (&scalar_) Scalar(other.scalar_);
            break;
    }
}

Value& Value::operator=(const Value& other) {
    if (this != &other) *this = Value(other);
    return *this;
}

void Value::wrong_kind(ValueKind expected) const {
    static constexpr const char* names[] = {"string", "integer", "float", "boolean", "date-time", "array", "table"};
    invariant_failure(std::string("a document value read as ") + names[static_cast<int>(expected)] + " is a " +
                      names[static_cast<int>(kind())]);
}

namespace {

std::optional<DateTimeShape> shape_of(bool date, bool time, bool offset) {
    if (date && time) return offset ? DateTimeShape::OffsetDateTime : DateTimeShape::LocalDateTime;
    if (date && !offset) return DateTimeShape::LocalDate;
    if (time && !offset) return DateTimeShape::LocalTime;
    return std::nullopt;
}

}  // namespace

std::optional<DateTimeShape> datetime_shape(const DateTime& dt) {
    return shape_of(dt.date.has_value(), dt.time.has_value(), dt.offset.has_value());
}

std::optional<DateTimeShape> Value::datetime_shape() const {
    const std::uint8_t flags = checked(ValueKind::DateTime).scalar_.cell.aux;
    return shape_of((flags & has_date) != 0, (flags & has_time) != 0, (flags & has_offset) != 0);
}

std::string_view datetime_shape_name(DateTimeShape shape) {
    switch (shape) {
        case DateTimeShape::OffsetDateTime: return "offset-date-time";
        case DateTimeShape::LocalDateTime: return "local-date-time";
        case DateTimeShape::LocalDate: return "local-date";
        case DateTimeShape::LocalTime: return "local-time";
    }
    return "local-time";
}

}  // namespace qeld::doc
