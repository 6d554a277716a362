#pragma once
// The meaning of a pattern the test knows to be valid, for tests of the engine's inner parts.
#include <gtest/gtest.h>

#include <string>

#include "regex/hir.h"
#include "regex/parser.h"
#include "regex/translate.h"

namespace qeld::regex {

inline Hir hir_of(const std::string& pattern) {
    auto ast = parse(pattern);
    EXPECT_TRUE(ast.ok()) << pattern;
    auto hir = translate(*ast);
    EXPECT_TRUE(hir.ok()) << pattern;
    return std::move(*hir);
}

}  // namespace qeld::regex
