#pragma once
// A compiled regular expression with the source text it was compiled from.

#include <memory>
#include <string>
#include <string_view>

#include "common/result.h"

namespace re2 {
class RE2;
}

namespace qeld::schema {

class Pattern {
public:
    // Compiles the text as written, with default options; the error is the engine's own text.
    static Result<Pattern> compile(std::string_view source);

    const std::string& source() const { return source_; }
    // True when the pattern matches anywhere in the text.
    bool search(std::string_view text) const;

private:
    Pattern(std::string source, std::shared_ptr<const re2::RE2> compiled)
        : source_(std::move(source)), compiled_(std::move(compiled)) {}

    std::string source_;
    // Never changes after compiling, so copies of a definition share it.
    std::shared_ptr<const re2::RE2> compiled_;
};

}  // namespace qeld::schema
