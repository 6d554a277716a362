#include "schema/pattern.h"

#include "regex/regex.h"
#include "schema/pattern_store.h"

namespace qeld::schema {

namespace {

std::uint64_t next_serial() {
    static std::uint64_t serial = 0;
    return ++serial;
}

}  // namespace

Pattern::Source::~Source() { PatternStore::process().forget(serial); }

Result<Pattern> Pattern::compile(std::string_view source) {
    auto checked = regex::Regex::check(source);
    if (!checked) return fail(checked.take_error());
    return Pattern(std::make_shared<const Source>(std::string(source), next_serial()));
}

bool Pattern::search(std::string_view text) const { return PatternStore::process().is_match(*this, text); }

}  // namespace qeld::schema
