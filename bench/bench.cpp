// qeld_bench [--quick]: times toml++ parsing alone, the program's own parse, schema loading and
// full load-and-validate on generated inputs, and whole `qeld validate` processes against a
// do-nothing process. Prints one table of the ratios with their targets. --quick runs small
// sizes once, only to keep the benchmark building and running.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "document/parse.h"
#include "inputs.h"
#include "schema/model.h"
#include "toml_floor.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

struct ProcessRun {
    double seconds = 0;
    long max_rss_kb = 0;
    int status = -1;
};

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
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) return run;
    int wstatus = 0;
    struct rusage usage {};
    wait4(pid, &wstatus, 0, &usage);
    run.seconds = seconds_since(start);
    run.max_rss_kb = usage.ru_maxrss;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// Runs processes on behalf of the benchmark. Linux carries a process's peak resident size
// across exec, so a child spawned from the large benchmark process would report the parent's
// peak; a launcher forked before anything is allocated keeps that figure the child's own.
class Launcher {
public:
    Launcher() {
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
    ~Launcher() {
        if (request_ >= 0) close(request_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }

    ProcessRun run(const std::vector<std::string>& argv) {
        std::string message;
        for (const auto& a : argv) message += a + '\0';
        std::uint32_t size = static_cast<std::uint32_t>(message.size());
        ProcessRun result;
        if (!write_all(request_, &size, sizeof size) || !write_all(request_, message.data(), size)) return result;
        read_all(reply_, &result, sizeof result);
        return result;
    }

private:
    static bool write_all(int fd, const void* data, std::size_t n) {
        const char* p = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t w = write(fd, p, n);
            if (w <= 0) return false;
            p += w;
            n -= static_cast<std::size_t>(w);
        }
        return true;
    }
    static bool read_all(int fd, void* data, std::size_t n) {
        char* p = static_cast<char*>(data);
        while (n > 0) {
            ssize_t r = read(fd, p, n);
            if (r <= 0) return false;
            p += r;
            n -= static_cast<std::size_t>(r);
        }
        return true;
    }
    static void serve(int requests, int replies) {
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

    pid_t pid_ = -1;
    int request_ = -1;
    int reply_ = -1;
};

void write_file(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Row {
    std::string name;
    double value;
    std::string target;
    bool met;
};

}  // namespace

int main(int argc, char** argv) {
    Launcher launcher;
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int repetitions = quick ? 1 : 7;
    fs::path dir = fs::temp_directory_path() / ("qeld-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    const std::string schema_text = qeld::bench::records_schema();
    const double bytes_per_item = static_cast<double>(qeld::bench::records_document(1000).size()) / 1000.0;
    auto items_for = [&](double megabytes) { return static_cast<std::size_t>(megabytes * 1e6 / bytes_per_item); };

    const std::vector<double> sizes = quick ? std::vector<double>{0.2, 0.4} : std::vector<double>{5, 20, 40};
    const double large_size = quick ? 0.4 : 20;
    std::vector<Row> rows;
    std::vector<double> per_megabyte;

    // Every repetition times each size in turn, so that slow spells of a shared machine fall on
    // all sizes alike instead of on whichever size was being measured at the time.
    struct Input {
        double size;
        std::string document;
        std::vector<double> floor, parse, load, full;
        std::size_t errors = 0;
    };
    std::vector<Input> inputs;
    for (double size : sizes) inputs.push_back({size, qeld::bench::records_document(items_for(size)), {}, {}, {}, {}});
    auto sample = [](std::vector<double>& samples, const std::function<void()>& work) {
        auto start = Clock::now();
        work();
        samples.push_back(seconds_since(start));
    };
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        for (Input& input : inputs) {
            const std::string& document = input.document;
            sample(input.floor, [&] {
                if (!qeld::bench::parse_with_tomlpp(document)) std::fprintf(stderr, "toml++ refused the input\n");
            });
            sample(input.parse, [&] {
                auto table = qeld::doc::parse(document);
                if (!table) std::fprintf(stderr, "%s\n", table.error().c_str());
            });
            sample(input.load, [&] {
                auto schema = qeld::schema::Schema::from_source("records.qeld", schema_text);
                if (!schema) std::fprintf(stderr, "%s\n", schema.error().c_str());
            });
            sample(input.full, [&] {
                auto schema = qeld::schema::Schema::from_source("records.qeld", schema_text);
                auto table = qeld::doc::parse(document);
                if (schema && table) input.errors = schema->validate(*table).errors.size();
            });
        }
    }

    std::printf("%-40s %12s %12s %12s %12s\n", "input", "toml++ (s)", "parse (s)", "load (s)", "validate (s)");
    for (const Input& input : inputs) {
        const std::string& document = input.document;
        double megabytes = static_cast<double>(document.size()) / 1e6;
        double floor = median(input.floor);
        double full = median(input.full);
        std::printf("records %6.1f MB (%zu items)%*s %12.3f %12.3f %12.4f %12.3f\n", megabytes, items_for(input.size),
                    input.size < 10 ? 10 : 9, "", floor, median(input.parse), median(input.load), full);
        if (input.errors != 0) std::printf("  warning: the generated document got %zu validation errors\n", input.errors);
        per_megabyte.push_back(full / megabytes);
        if (input.size == large_size) {
            rows.push_back({"load+validate / toml++ parse (large)", full / floor, "<= 1.30", full / floor <= 1.30});
            write_file(dir / "records.qeld", schema_text);
            write_file(dir / "records.toml", document);
            ProcessRun run = launcher.run({QELD_BINARY, "validate", (dir / "records.qeld").string(), (dir / "records.toml").string()});
            double ratio = static_cast<double>(run.max_rss_kb) * 1024.0 / static_cast<double>(document.size());
            rows.push_back({"peak RSS / file size (large, process)", ratio, "<= 6.0", ratio <= 6.0});
        }
    }
    auto [lo, hi] = std::minmax_element(per_megabyte.begin(), per_megabyte.end());
    double spread = *hi / *lo - 1.0;
    rows.push_back({"time per MB spread across sizes", spread, "<= 0.15", spread <= 0.15});

    write_file(dir / "typical.qeld", qeld::bench::typical_schema());
    write_file(dir / "typical.toml", qeld::bench::typical_document());
    std::vector<double> qeld_runs, true_runs;
    int status = -1;
    const int process_repetitions = quick ? 3 : 41;
    for (int i = 0; i < process_repetitions; ++i) {
        ProcessRun run = launcher.run({QELD_BINARY, "validate", (dir / "typical.qeld").string(), (dir / "typical.toml").string()});
        status = run.status;
        qeld_runs.push_back(run.seconds);
        true_runs.push_back(launcher.run({"/bin/true"}).seconds);
    }
    double startup = median(qeld_runs) / median(true_runs);
    std::printf("typical config: %zu bytes, qeld validate %.2f ms (exit %d), /bin/true %.2f ms\n",
                qeld::bench::typical_document().size(), median(qeld_runs) * 1e3, status, median(true_runs) * 1e3);
    rows.push_back({"qeld validate (typical) / /bin/true", startup, "<= 3.0", startup <= 3.0});

    std::printf("\n%-42s %10s %10s %6s\n", "ratio", "measured", "target", "met");
    for (const auto& row : rows) {
        std::printf("%-42s %10.3f %10s %6s\n", row.name.c_str(), row.value, row.target.c_str(), row.met ? "yes" : "NO");
    }
    fs::remove_all(dir);
    return 0;
}
