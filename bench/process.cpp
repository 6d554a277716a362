#include "process.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qeld::bench {

namespace {

using Clock = std::chrono::steady_clock;

ProcessRun run_process(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ProcessRun run;
    auto start = Clock::now();
    pid_t pid;
    const bool spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return run;
    int wstatus = 0;
    struct rusage usage {};
    wait4(pid, &wstatus, 0, &usage);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.max_rss_kb = usage.ru_maxrss;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return run;
}

bool write_all(int fd, const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool read_all(int fd, void* data, std::size_t n) {
    char* p = static_cast<char*>(data);
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

void serve(int requests, int replies) {
    std::uint32_t size = 0;
    while (read_all(requests, &size, sizeof size)) {
        std::string message(size, '\0');
        if (!read_all(requests, message.data(), size)) break;
        std::vector<std::string> argv;
        for (std::size_t start = 0; start < message.size();) {
            std::size_t end = message.find('\0', start);
            argv.push_back(message.substr(start, end - start));
            start = end + 1;
        }
        ProcessRun run = run_process(argv);
        write_all(replies, &run, sizeof run);
    }
}

}  // namespace

Launcher::Launcher() {
    int to_child[2];
    int to_parent[2];
    if (pipe(to_child) != 0 || pipe(to_parent) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(to_child[1]);
        close(to_parent[0]);
        serve(to_child[0], to_parent[1]);
        _exit(0);
    }
    close(to_child[0]);
    close(to_parent[1]);
    request_ = to_child[1];
    reply_ = to_parent[0];
}

Launcher::~Launcher() {
    if (request_ >= 0) close(request_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

ProcessRun Launcher::run(const std::vector<std::string>& argv) {
    std::string message;
    for (const auto& a : argv) message += a + '\0';
    std::uint32_t size = static_cast<std::uint32_t>(message.size());
    ProcessRun result;
    if (!write_all(request_, &size, sizeof size) || !write_all(request_, message.data(), size)) return result;
    read_all(reply_, &result, sizeof result);
    return result;
}

}  // namespace qeld::bench
