// Process entry: the arguments as text and the two standard streams go to the dispatcher.

#include <csignal>
#include <cstring>
#include <malloc.h>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "cli/run.h"
#include "cli/writer.h"
#include "common/invariant.h"
#include "common/utf8.h"

namespace {

int run_process(int argc, char** argv) {
    qeld::cli::FdWriter out(1);
    qeld::cli::FdWriter err(2);

    std::vector<std::string> arguments;
    arguments.reserve(argc > 0 ? static_cast<std::size_t>(argc - 1) : 0);
    for (int i = 1; i < argc; ++i) {
        std::string argument(argv[i]);
        if (!qeld::is_valid_utf8(argument)) {
            err.write("qeld: argument " + std::to_string(i) + " is not valid UTF-8\n");
            return 2;
        }
        arguments.push_back(std::move(argument));
    }
    return qeld::cli::run(arguments, out, err);
}

int run_guarded(int argc, char** argv) {
    try {
        return run_process(argc, argv);
    } catch (...) {
        qeld::fail_with_current_exception();
    }
}

// What the depth bounds (of documents and of nested oneof/anyof trials) need, with room to spare
// for sanitizer builds, whose frames are larger: the usual limit of the main thread.
constexpr std::size_t needed_stack = std::size_t{8} << 20;

bool stack_limit_is_below_need() {
    rlimit limit{};
    return ::getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed_stack;
}

struct Work {
    int argc;
    char** argv;
    int status;
};

void* run_work(void* work) {
    auto& w = *static_cast<Work*>(work);
    w.status = run_guarded(w.argc, w.argv);
    return nullptr;
}

// A thread's stack is mapped whole when it starts, whatever limit the main thread's stack has.
int run_on_own_stack(int argc, char** argv) {
    // The thread shares the main thread's heap instead of mapping one of its own.
    mallopt(M_ARENA_MAX, 1);
    Work work{argc, argv, 0};
    pthread_attr_t attributes;
    pthread_t thread;
    int error = pthread_attr_init(&attributes);
    if (error == 0) error = pthread_attr_setstacksize(&attributes, needed_stack);
    if (error == 0) error = pthread_create(&thread, &attributes, run_work, &work);
    if (error == 0) error = pthread_join(thread, nullptr);
    if (error != 0)
        qeld::invariant_failure(std::string("cannot start the work with its stack: ") + std::strerror(error));
    pthread_attr_destroy(&attributes);
    return work.status;
}

}  // namespace

int main(int argc, char** argv) {
    // A write to a closed pipe, or past the file size limit, must fail with its error instead of
    // ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // Running out of memory, or any exception that escapes, is an internal failure (status 101)
    // with one line, not an abort.
    qeld::install_internal_failure_handlers();
    // Below the stack the depth bounds need, the work runs where it has that stack, so that deep
    // input meets its documented bound instead of a signal.
    if (stack_limit_is_below_need()) return run_on_own_stack(argc, argv);
    return run_guarded(argc, argv);
}
