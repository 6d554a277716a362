// qeld_bench [--quick]: times toml++ parsing alone, the program's own parse, schema loading and
// full load-and-validate on generated inputs; whole `qeld validate` processes on the same files
// beside a loop that only reads and classifies their bytes, with their peak memory; and start-up
// against a do-nothing process. Prints one table of the targets with what was measured. --quick
// runs small sizes once, only to keep the benchmark building and running. --write-typical DIR
// only writes the typical config and its schema into DIR, for scripts that profile start-up.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "byte_scan.h"
#include "document/parse.h"
#include "inputs.h"
#include "process.h"
#include "schema/model.h"
#include "toml_floor.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

void write_file(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Row {
    std::string name;
    double value;
    std::string target;
    bool met;
};

// One generated records document and everything measured on it.
struct Input {
    double size;  // nominal megabytes
    std::size_t items;
    std::string document;
    fs::path path;
    std::vector<double> floor, parse, load, full;  // in process
    std::vector<double> process, scan;              // whole `qeld validate`, and the byte scan
    std::vector<double> rss_kb;
    std::size_t errors = 0;
    int status = -1;

    double megabytes() const { return static_cast<double>(document.size()) / 1e6; }
    double process_rate() const { return megabytes() / median(process); }
    double scan_rate() const { return megabytes() / median(scan); }
    double rss_ratio() const { return median(rss_kb) * 1024.0 / static_cast<double>(document.size()); }
};

double spread(const std::vector<double>& per_megabyte) {
    auto [lo, hi] = std::minmax_element(per_megabyte.begin(), per_megabyte.end());
    return *hi / *lo - 1.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-typical") == 0) {
        write_file(fs::path(argv[2]) / "typical.qeld", qeld::bench::typical_schema());
        write_file(fs::path(argv[2]) / "typical.toml", qeld::bench::typical_document());
        return 0;
    }
    qeld::bench::Launcher launcher;
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int repetitions = quick ? 1 : 7;
    const int process_repetitions = quick ? 1 : 9;
    fs::path dir = fs::temp_directory_path() / ("qeld-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    const std::string schema_text = qeld::bench::records_schema();
    const fs::path schema_path = dir / "records.qeld";
    write_file(schema_path, schema_text);
    const double bytes_per_item = static_cast<double>(qeld::bench::records_document(1000).size()) / 1000.0;
    auto items_for = [&](double megabytes) { return static_cast<std::size_t>(megabytes * 1e6 / bytes_per_item); };

    const std::vector<double> sizes = quick ? std::vector<double>{0.2, 0.4} : std::vector<double>{5, 20, 40};
    const double large_size = quick ? 0.4 : 20;

    std::vector<Input> inputs;
    for (double size : sizes) {
        Input input;
        input.size = size;
        input.items = items_for(size);
        input.document = qeld::bench::records_document(input.items);
        input.path = dir / ("records-" + std::to_string(inputs.size()) + ".toml");
        write_file(input.path, input.document);
        inputs.push_back(std::move(input));
    }
    auto sample = [](std::vector<double>& samples, const std::function<void()>& work) {
        auto start = Clock::now();
        work();
        samples.push_back(seconds_since(start));
    };

    // Every repetition times each size in turn, so that slow spells of a shared machine fall on
    // all sizes alike instead of on whichever size was being measured at the time.
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
    for (int repetition = 0; repetition < process_repetitions; ++repetition) {
        for (Input& input : inputs) {
            sample(input.scan, [&] {
                const auto classes = qeld::bench::read_and_scan(input.path.string());
                if (classes.newlines == 0) std::fprintf(stderr, "the byte scan read nothing\n");
            });
            const auto run = launcher.run({QELD_BINARY, "validate", schema_path.string(), input.path.string()});
            input.process.push_back(run.seconds);
            input.rss_kb.push_back(static_cast<double>(run.max_rss_kb));
            input.status = run.status;
        }
    }

    std::printf("%-40s %12s %12s %12s %12s\n", "in process", "toml++ (s)", "parse (s)", "load (s)", "validate (s)");
    for (const Input& input : inputs) {
        std::printf("records %6.1f MB (%zu items)%*s %12.3f %12.3f %12.4f %12.3f\n", input.megabytes(), input.items,
                    input.size < 10 ? 10 : 9, "", median(input.floor), median(input.parse), median(input.load),
                    median(input.full));
        if (input.errors != 0) std::printf("  warning: the generated document got %zu validation errors\n", input.errors);
    }
    std::printf("\n%-24s %14s %10s %16s %14s %10s\n", "qeld validate process", "time (s)", "MB/s", "byte scan MB/s",
                "peak RSS (MB)", "RSS/file");
    for (const Input& input : inputs) {
        std::printf("records %6.1f MB (exit %d)%*s %10.3f %10.1f %16.1f %14.1f %10.2f\n", input.megabytes(), input.status,
                    input.size < 10 ? 5 : 4, "", median(input.process), input.process_rate(), input.scan_rate(),
                    median(input.rss_kb) * 1024.0 / 1e6, input.rss_ratio());
    }

    const fs::path typical_schema = dir / "typical.qeld";
    const fs::path typical_document = dir / "typical.toml";
    write_file(typical_schema, qeld::bench::typical_schema());
    write_file(typical_document, qeld::bench::typical_document());
    std::vector<double> qeld_runs, true_runs;
    int status = -1;
    // A start-up is under a millisecond and the machine's noise is a tenth of that: many pairs
    // cost little and keep one slow spell from moving the medians.
    const int startup_repetitions = quick ? 3 : 401;
    for (int i = 0; i < startup_repetitions; ++i) {
        auto run = launcher.run({QELD_BINARY, "validate", typical_schema.string(), typical_document.string()});
        status = run.status;
        qeld_runs.push_back(run.seconds);
        true_runs.push_back(launcher.run({"/bin/true"}).seconds);
    }
    std::printf("typical config: %zu bytes, qeld validate %.2f ms (exit %d), /bin/true %.2f ms\n",
                qeld::bench::typical_document().size(), median(qeld_runs) * 1e3, status, median(true_runs) * 1e3);

    std::vector<Row> rows;
    std::vector<double> full_per_megabyte, process_per_megabyte;
    double worst_rss = 0;
    for (const Input& input : inputs) {
        full_per_megabyte.push_back(median(input.full) / input.megabytes());
        process_per_megabyte.push_back(median(input.process) / input.megabytes());
        worst_rss = std::max(worst_rss, input.rss_ratio());
        if (input.size != large_size) continue;
        const double ratio = median(input.full) / median(input.floor);
        rows.push_back({"load+validate / toml++ parse (large)", ratio, "<= 0.15", ratio <= 0.15});
        char name[64];
        std::snprintf(name, sizeof name, "qeld validate MB/s (large; scan %.0f)", input.scan_rate());
        rows.push_back({name, input.process_rate(), ">= 150", input.process_rate() >= 150});
    }
    rows.push_back({"peak RSS / file size (largest of sizes)", worst_rss, "<= 2.5", worst_rss <= 2.5});
    const double in_process = spread(full_per_megabyte);
    rows.push_back({"time per MB spread, in process", in_process, "<= 0.15", in_process <= 0.15});
    const double whole = spread(process_per_megabyte);
    rows.push_back({"time per MB spread, qeld validate", whole, "<= 0.15", whole <= 0.15});
    const double startup = median(qeld_runs) / median(true_runs);
    rows.push_back({"qeld validate (typical) / /bin/true", startup, "<= 1.25", startup <= 1.25});

    std::printf("\n%-42s %10s %10s %6s\n", "target", "measured", "target", "met");
    for (const auto& row : rows) {
        std::printf("%-42s %10.3f %10s %6s\n", row.name.c_str(), row.value, row.target.c_str(), row.met ? "yes" : "NO");
    }
    fs::remove_all(dir);
    return 0;
}
