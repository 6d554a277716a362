#pragma once
// Loading small schema texts in unit tests.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "schema/model.h"

namespace qeld::schema::testing {

inline constexpr const char* version_header = "[vantle]\nversion = \"1.0.0\"\n";

// The message that stops loading the whole text, or "loaded".
inline std::string load_outcome(const std::string& text) {
    auto schema = Schema::from_source("test.qeld", text);
    return schema.ok() ? std::string("loaded") : schema.error();
}

// The same, for a body placed after a valid reserved table.
inline std::string body_outcome(const std::string& body) { return load_outcome(version_header + body); }

// Loads a body that must load.
inline Schema load_body(const std::string& body) {
    auto schema = Schema::from_source("test.qeld", version_header + body);
    EXPECT_TRUE(schema.ok()) << (schema.ok() ? "" : schema.error());
    if (!schema.ok()) return Schema();
    return std::move(schema).value();
}

// "path: message" lines, then "warning path" lines.
inline std::vector<std::string> lines(const ValidationResult& result) {
    std::vector<std::string> out;
    for (const auto& error : result.errors) out.push_back(error.path + ": " + error.message);
    for (const auto& warning : result.warnings) out.push_back("warning " + warning.path);
    return out;
}

using Lines = std::vector<std::string>;

// One row of a table of schema bodies and the message each gives.
struct MessageCase {
    const char* name;
    const char* body;
    const char* message;
};

inline void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

inline std::string case_name(const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; }

}  // namespace qeld::schema::testing
