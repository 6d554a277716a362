#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "document/tree_diff.h"
#include "document/value.h"
#include "support/failing_allocation.h"

namespace qeld::doc {
namespace {

// Strings are stored inline up to 14 bytes and keys up to 7, both on the heap beyond; both sides
// of each boundary, embedded NULs and non-ASCII bytes must come back byte for byte, through
// copies and moves.
TEST(DocumentValue, StringsKeepTheirBytesAcrossTheInlineBoundary) {
    const std::vector<std::string> texts = {"", "a", std::string(6, 'u'), std::string(7, 'v'), std::string(8, 'w'),
                                            std::string("\0\0", 2), std::string(13, 'x'), std::string(14, 'y'),
                                            std::string(15, 'z'), std::string("nul\0inside", 10),
                                            "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80", std::string(100000, 'q')};
    for (const std::string& text : texts) {
        Value original(text);
        Value copy = original;
        Value moved = std::move(copy);
        EXPECT_EQ(original.as_string(), text);
        EXPECT_EQ(moved.as_string(), text);
        EXPECT_TRUE(copy.is_boolean());  // a moved-from value is left as false
        Key key(text);
        Key key_copy = key;
        Key key_moved = std::move(key_copy);
        EXPECT_EQ(key_moved.view(), text);
        EXPECT_TRUE(key_copy.empty());
        key_moved = key;  // copy assignment over a string of any size
        EXPECT_EQ(key_moved, key);
    }
}

// Short keys compare by their order words: these must order exactly as the bytes do, a prefix
// first, NUL and bytes above 0x7F included, and a longer key has none.
TEST(DocumentValue, ShortKeysOrderByTheirWords) {
    const std::vector<std::string> texts = {"",      "a",  std::string("a\0", 2), "a\x01", "ab", "abcdefg",
                                            "abcdeg", "b", "\x7F",                 "\x80",  "\xFF", "id",
                                            "at",     "\xC3\xA9t\xC3\xA9"};
    for (const std::string& a : texts) {
        const Key ka(a);
        ASSERT_NE(ka.order_word(), 0u) << a;
        EXPECT_EQ(ka.order_word(), Key::order_word(a));
        for (const std::string& b : texts) {
            const std::uint64_t wa = Key::order_word(a), wb = Key::order_word(b);
            EXPECT_EQ(wa < wb, a < b) << a << " / " << b;  // std::string orders bytes as unsigned
            EXPECT_EQ(wa == wb, a == b) << a << " / " << b;
        }
    }
    EXPECT_EQ(Key(std::string(8, 'k')).order_word(), 0u);
    EXPECT_EQ(Key::order_word(std::string(8, 'k')), 0u);
}

TEST(DocumentValue, ScalarsRoundTrip) {
    EXPECT_EQ(Value(std::int64_t{INT64_MIN}).as_integer(), INT64_MIN);
    EXPECT_EQ(Value(-0.0).as_float(), 0.0);
    EXPECT_TRUE(std::signbit(Value(-0.0).as_float()));
    EXPECT_TRUE(Value(true).as_boolean());
    EXPECT_FALSE(Value().as_boolean());
    EXPECT_EQ(Value("x").kind(), ValueKind::String);
}

// Every part of a date-time is optional; each combination, and the extremes of every field,
// must come back exactly, with Z kept apart from +00:00.
TEST(DocumentValue, DateTimePartsRoundTrip) {
    std::vector<DateTime> cases;
    cases.push_back(DateTime{Date{9999, 12, 31}, std::nullopt, std::nullopt});
    cases.push_back(DateTime{std::nullopt, Time{23, 59, 60, 999999999}, std::nullopt});
    cases.push_back(DateTime{std::nullopt, Time{7, 32, std::nullopt, std::nullopt}, std::nullopt});
    cases.push_back(DateTime{Date{0, 1, 1}, Time{0, 0, 0, 0}, Offset{true, 0}});
    cases.push_back(DateTime{Date{1979, 5, 27}, Time{7, 32, 0, std::nullopt}, Offset{false, 0}});
    cases.push_back(DateTime{Date{1979, 5, 27}, Time{7, 32, std::nullopt, std::nullopt}, Offset{false, -1439}});
    cases.push_back(DateTime{Date{1979, 5, 27}, Time{7, 32, 5, 1}, Offset{false, 1439}});
    cases.push_back(DateTime{});
    for (const DateTime& dt : cases) {
        const DateTime back = Value(dt).as_datetime();
        EXPECT_EQ(back.date.has_value(), dt.date.has_value());
        if (dt.date) {
            EXPECT_EQ(back.date->year, dt.date->year);
            EXPECT_EQ(back.date->month, dt.date->month);
            EXPECT_EQ(back.date->day, dt.date->day);
        }
        EXPECT_EQ(back.time.has_value(), dt.time.has_value());
        if (dt.time) {
            EXPECT_EQ(back.time->hour, dt.time->hour);
            EXPECT_EQ(back.time->minute, dt.time->minute);
            EXPECT_EQ(back.time->second, dt.time->second);
            EXPECT_EQ(back.time->nanosecond, dt.time->nanosecond);
        }
        EXPECT_EQ(back.offset.has_value(), dt.offset.has_value());
        if (dt.offset) {
            EXPECT_EQ(back.offset->z, dt.offset->z);
            EXPECT_EQ(back.offset->minutes, dt.offset->minutes);
        }
    }
}

// Only four combinations of parts are TOML date-times; every other one has no form.
TEST(DocumentValue, DateTimeShapes) {
    const Date date{2024, 2, 29};
    const Time time{12, 30, std::nullopt, std::nullopt};
    const Offset offset{true, 0};
    struct Case {
        DateTime dt;
        std::optional<DateTimeShape> shape;
    };
    const Case cases[] = {
        {{date, time, offset}, DateTimeShape::OffsetDateTime},
        {{date, time, std::nullopt}, DateTimeShape::LocalDateTime},
        {{date, std::nullopt, std::nullopt}, DateTimeShape::LocalDate},
        {{std::nullopt, time, std::nullopt}, DateTimeShape::LocalTime},
        {{date, std::nullopt, offset}, std::nullopt},
        {{std::nullopt, time, offset}, std::nullopt},
        {{std::nullopt, std::nullopt, std::nullopt}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(datetime_shape(c.dt), c.shape);
        EXPECT_EQ(Value(c.dt).datetime_shape(), c.shape);  // from the stored flags
    }
    EXPECT_EQ(datetime_shape_name(DateTimeShape::OffsetDateTime), "offset-date-time");
    EXPECT_EQ(datetime_shape_name(DateTimeShape::LocalDateTime), "local-date-time");
    EXPECT_EQ(datetime_shape_name(DateTimeShape::LocalDate), "local-date");
    EXPECT_EQ(datetime_shape_name(DateTimeShape::LocalTime), "local-time");
}

TEST(DocumentValue, CopiesAreDeepAndIndependent) {
    Table inner;
    inner.set("long key beyond fourteen bytes", Value(std::string(40, 'v')));
    Value original(Array{Value(1), Value(inner), Value(Array{Value("a"), Value(2.5)})});
    Value copy = original;
    original = Value(7);
    const Array& items = copy.as_array();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].as_integer(), 1);
    EXPECT_EQ(items[1].as_table().find("long key beyond fourteen bytes")->as_string(), std::string(40, 'v'));
    EXPECT_EQ(items[2].as_array()[0].as_string(), "a");
    EXPECT_EQ(items.back().as_array().back().as_float(), 2.5);
    EXPECT_EQ(original.as_integer(), 7);
}

// Moving a part of a value over the whole must not free the part before it is taken.
TEST(DocumentValue, MoveAssigningAChildOverItsParent) {
    Value parent(Array{Value(std::string(30, 'c')), Value(2)});
    Value& child = const_cast<Value&>(parent.as_array()[0]);
    parent = std::move(child);
    EXPECT_EQ(parent.as_string(), std::string(30, 'c'));
}

TEST(DocumentValue, TableSetKeepsKeyOrderAndReplaces) {
    Table t;
    for (const char* key : {"m", "b", "z", "a", "b"}) t.set(key, Value(key));
    t.set("m", Value(5));
    std::string order;
    for (const Entry& e : t) order += e.key + ",";
    EXPECT_EQ(order, "a,b,m,z,");
    EXPECT_EQ(t.size(), 4u);
    EXPECT_EQ(t.find("m")->as_integer(), 5);
    EXPECT_EQ(t.find("q"), nullptr);
    EXPECT_EQ(Table().find("a"), nullptr);
    EXPECT_TRUE(Array().empty());
}

// One value of every kind and storage: inline and block strings, each scalar, nested containers.
std::vector<Value> every_kind() {
    Table table;
    table.set("short", Value("s"));
    table.set(std::string(20, 'k'), Value(Array{Value(std::string(30, 'w')), Value(Table())}));
    DateTime dt{Date{2024, 2, 29}, Time{23, 59, 60, 5}, Offset{false, -90}};
    return {Value("inline"), Value(std::string(15, 'h')), Value(std::int64_t{-7}), Value(0.25), Value(true),
            Value(dt), Value(Array()), Value(Array{Value(1), Value(std::string(40, 'a')), Value(table)}),
            Value(Table()), Value(table)};
}

// Copies are equal and independent, moves carry the value and leave false behind, and every
// kind may be assigned over every other kind, by copy and by move.
TEST(DocumentValue, CopiesAndMovesOfEveryKind) {
    const std::vector<Value> kinds = every_kind();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(i);
        Value copy(kinds[i]);
        EXPECT_EQ(testing::tree_difference(copy, kinds[i]), "");
        Value moved(std::move(copy));
        EXPECT_EQ(testing::tree_difference(moved, kinds[i]), "");
        EXPECT_TRUE(copy.is_boolean());
        EXPECT_FALSE(copy.as_boolean());
        Value& self = moved;
        moved = self;
        moved = std::move(self);
        EXPECT_EQ(testing::tree_difference(moved, kinds[i]), "");
        for (std::size_t j = 0; j < kinds.size(); ++j) {
            Value by_copy(kinds[j]);
            by_copy = kinds[i];
            EXPECT_EQ(testing::tree_difference(by_copy, kinds[i]), "");
            Value by_move(kinds[j]);
            Value source(kinds[i]);
            by_move = std::move(source);
            EXPECT_EQ(testing::tree_difference(by_move, kinds[i]), "");
            EXPECT_TRUE(source.is_boolean());
        }
    }
}

// Every allocation of a deep copy fails in turn: each failure must free what the copy had made
// (the sanitizer build reports any leak) and leave the source whole.
TEST(DocumentValue, CopiesThatFailFreeWhatTheyMade) {
    const Value source{Array(every_kind())};
    const Value expected(source);
    bool completed = false;
    for (long count = 0; !completed; ++count) {
        qeld::testing::fail_allocation_after(count);
        try {
            Value copy(source);
            completed = !qeld::testing::allocation_failed();
            EXPECT_TRUE(completed);
            EXPECT_EQ(testing::tree_difference(copy, expected), "");
        } catch (const std::bad_alloc&) {
            EXPECT_TRUE(qeld::testing::allocation_failed());
        }
        qeld::testing::fail_allocation_after(-1);
        ASSERT_LT(count, 1000);
    }
    EXPECT_EQ(testing::tree_difference(source, expected), "");
}

// An insertion that fails leaves the table as it was.
TEST(DocumentValue, TableSetThatFailsKeepsTheTable) {
    Table table;
    table.set("a", Value(std::string(20, 'a')));
    table.set("c", Value(3));
    const Value before{Table(table)};
    for (long count = 0; count < 2; ++count) {
        qeld::testing::fail_allocation_after(count);
        EXPECT_THROW(table.set(std::string(20, 'b'), Value(2)), std::bad_alloc);
        qeld::testing::fail_allocation_after(-1);
        EXPECT_EQ(testing::tree_difference(Value(table), before), "");
    }
}

TEST(DocumentValue, HandlesAreAlignedCells) {
    EXPECT_EQ(alignof(String), 8u);
    EXPECT_EQ(alignof(Array), 8u);
    EXPECT_EQ(alignof(Table), 8u);
    EXPECT_EQ(sizeof(String), 16u);
}

}  // namespace
}  // namespace qeld::doc
