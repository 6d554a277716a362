#include "common/invariant.h"

#include <exception>
#include <new>
#include <sys/uio.h>
#include <unistd.h>

namespace qeld {

void invariant_failure(std::string_view what) {
    static const char prefix[] = "internal error: ";
    static const char newline[] = "\n";
    iovec parts[3] = {{const_cast<char*>(prefix), sizeof prefix - 1},
                      {const_cast<char*>(what.data()), what.size()},
                      {const_cast<char*>(newline), 1}};
    // Best effort only: the process ends whatever the write does.
    [[maybe_unused]] auto written = ::writev(2, parts, 3);
    ::_exit(101);
}

namespace {

[[noreturn]] void fail_out_of_memory() { invariant_failure("out of memory"); }

[[noreturn]] void fail_on_terminate() {
    if (std::current_exception()) fail_with_current_exception();
    invariant_failure("terminate called without an exception");
}

}  // namespace

void install_internal_failure_handlers() {
    std::set_new_handler(fail_out_of_memory);
    std::set_terminate(fail_on_terminate);
}

void fail_with_current_exception() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        fail_out_of_memory();
    } catch (const std::exception& error) {
        invariant_failure(error.what());
    } catch (...) {
        invariant_failure("unknown exception");
    }
}

}  // namespace qeld
