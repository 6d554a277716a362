#pragma once
// A regular expression of a schema with the source text it was written as.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld::schema {

class PatternStore;

class Pattern {
public:
    // Checks the text as written, with default options: every fault is found here, and the
    // message is the engine's one-line text. Only the text is kept: the program is built when a
    // text is first matched, by a PatternStore, so a schema whose patterns never meet a value
    // never builds them.
    static Result<Pattern> compile(std::string_view source);

    const std::string& source() const { return source_->text; }
    // True when the pattern matches anywhere in the text; the program comes from the process's
    // store (PatternStore::process()).
    bool search(std::string_view text) const;

private:
    friend class PatternStore;
    // Copies of a definition share one source, and through its serial one entry of a store.
    struct Source {
        Source(std::string source, std::uint64_t number) : text(std::move(source)), serial(number) {}
        Source(const Source&) = delete;
        Source& operator=(const Source&) = delete;
        ~Source();
        std::string text;
        std::uint64_t serial;
    };
    explicit Pattern(std::shared_ptr<const Source> source) : source_(std::move(source)) {}

    std::shared_ptr<const Source> source_;
};

}  // namespace qeld::schema
