// Process entry: the arguments as text and the two standard streams go to the dispatcher.

#include <csignal>
#include <string>
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

}  // namespace

int main(int argc, char** argv) {
    // A write to a closed pipe must fail quietly instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Running out of memory, or any exception that escapes, is an internal failure (status 101)
    // with one line, not an abort.
    qeld::install_internal_failure_handlers();
    try {
        return run_process(argc, argv);
    } catch (...) {
        qeld::fail_with_current_exception();
    }
}
