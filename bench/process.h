#pragma once
// Whole processes, timed from outside with their own peak memory.

#include <string>
#include <vector>
#include <sys/types.h>

namespace qeld::bench {

struct ProcessRun {
    double seconds = 0;
    long max_rss_kb = 0;
    int status = -1;
};

// Runs processes on behalf of the benchmark. Linux carries a process's peak resident size
// across exec, so a child spawned from the large benchmark process would report the parent's
// peak; a launcher forked before anything is allocated keeps that figure the child's own.
// Standard output and error of each process go to /dev/null.
class Launcher {
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    ProcessRun run(const std::vector<std::string>& argv);

private:
    pid_t pid_ = -1;
    int request_ = -1;
    int reply_ = -1;
};

}  // namespace qeld::bench
