#pragma once
#include <string_view>

namespace qeld {

// Ends the process with status 101: a condition that earlier checks make impossible has occurred.
// Writes "internal error: {what}" as one line without allocating, so that it also serves when
// memory has run out.
[[noreturn]] void invariant_failure(std::string_view what);

// Makes exhaustion an internal failure: a failed allocation, and an exception that would end the
// process through std::terminate, end it through invariant_failure instead of an abort.
void install_internal_failure_handlers();

// For a last-resort catch: ends the process through invariant_failure, naming the exception
// being handled.
[[noreturn]] void fail_with_current_exception();

}  // namespace qeld
