#pragma once
// Structural comparison of two document trees for tests: the first difference as text.

#include <cmath>
#include <cstring>
#include <string>

#include "document/value.h"

namespace qeld::doc::testing {

inline std::string describe_kind(ValueKind kind) {
    static const char* names[] = {"string", "integer", "float", "boolean", "date-time", "array", "table"};
    return names[static_cast<int>(kind)];
}

inline std::string datetime_text(const DateTime& dt) {
    std::string out;
    if (dt.date) {
        out += std::to_string(dt.date->year) + "-" + std::to_string(dt.date->month) + "-" + std::to_string(dt.date->day);
    }
    if (dt.time) {
        out += "T" + std::to_string(dt.time->hour) + ":" + std::to_string(dt.time->minute);
        if (dt.time->second) out += ":" + std::to_string(*dt.time->second);
        if (dt.time->nanosecond) out += "." + std::to_string(*dt.time->nanosecond);
    }
    if (dt.offset) out += dt.offset->z ? std::string("Z") : "@" + std::to_string(dt.offset->minutes);
    return out.empty() ? "(empty)" : out;
}

inline bool same_float(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;  // tells -0.0 from 0.0
}

// Empty when equal, else the path of the first difference and what differs.
inline std::string tree_difference(const Value& a, const Value& b, const std::string& path = "$") {
    if (a.kind() != b.kind()) return path + ": " + describe_kind(a.kind()) + " vs " + describe_kind(b.kind());
    switch (a.kind()) {
        case ValueKind::String:
            return a.as_string() == b.as_string() ? "" : path + ": \"" + std::string(a.as_string()) + "\" vs \"" + std::string(b.as_string()) + "\"";
        case ValueKind::Integer:
            return a.as_integer() == b.as_integer()
                       ? ""
                       : path + ": " + std::to_string(a.as_integer()) + " vs " + std::to_string(b.as_integer());
        case ValueKind::Float:
            return same_float(a.as_float(), b.as_float())
                       ? ""
                       : path + ": " + std::to_string(a.as_float()) + " vs " + std::to_string(b.as_float());
        case ValueKind::Boolean:
            return a.as_boolean() == b.as_boolean() ? "" : path + ": booleans differ";
        case ValueKind::DateTime: {
            std::string x = datetime_text(a.as_datetime()), y = datetime_text(b.as_datetime());
            return x == y ? "" : path + ": " + x + " vs " + y;
        }
        case ValueKind::Array: {
            const Array& x = a.as_array();
            const Array& y = b.as_array();
            if (x.size() != y.size()) {
                return path + ": " + std::to_string(x.size()) + " vs " + std::to_string(y.size()) + " items";
            }
            for (std::size_t i = 0; i < x.size(); ++i) {
                std::string d = tree_difference(x[i], y[i], path + "[" + std::to_string(i) + "]");
                if (!d.empty()) return d;
            }
            return "";
        }
        case ValueKind::Table: {
            const Table& x = a.as_table();
            const Table& y = b.as_table();
            auto xi = x.begin();
            auto yi = y.begin();
            for (; xi != x.end() && yi != y.end(); ++xi, ++yi) {
                if (xi->key != yi->key) return path + ": key \"" + xi->key + "\" vs \"" + yi->key + "\"";
                std::string d = tree_difference(xi->value, yi->value, path + "." + xi->key);
                if (!d.empty()) return d;
            }
            if (xi != x.end()) return path + ": extra key \"" + xi->key + "\" on the left";
            if (yi != y.end()) return path + ": extra key \"" + yi->key + "\" on the right";
            return "";
        }
    }
    return "";
}

// Whether the entries of every table are in strictly ascending key-byte order.
inline bool keys_sorted(const Value& v) {
    if (const Table* t = v.if_table()) {
        const Entry* previous = nullptr;
        for (const Entry& e : *t) {
            if (previous && !(previous->key < e.key)) return false;
            if (!keys_sorted(e.value)) return false;
            previous = &e;
        }
    } else if (const Array* a = v.if_array()) {
        for (const Value& item : *a) {
            if (!keys_sorted(item)) return false;
        }
    }
    return true;
}

}  // namespace qeld::doc::testing
