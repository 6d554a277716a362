// qeld_regex_bench [--quick]: the pattern engine against RE2. Times and weighs compiling 1,000
// patterns with \w and \d and 200 patterns of (\pL|\pN){400}, and the match throughput of a few
// typical patterns on short strings. RE2 compiles the Unicode forms of \w and \d (what the schema
// engine rewrote them to); for matching it takes the same patterns, whose classes it reads as
// ASCII. Then single searches of 1 MiB texts that no pattern matches early: counted repetitions,
// long literals, word boundaries beside the same pattern without them, a case-insensitive
// literal, and typical schema patterns. Then the hostile sizes: 100,000 groups on 1 MiB, a 10 MiB
// pattern text refused, and 2,000 patterns of about 1 MB of program each matched once through a
// PatternStore. --quick runs everything small, only to keep the benchmark building and running.

#include <re2/re2.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "regex_texts.h"
#include "schema/pattern.h"
#include "schema/pattern_store.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::size_t heap_in_use() { return mallinfo2().uordblks; }

struct Weighed {
    double seconds;
    double megabytes;
};

// Runs `build` (which keeps what it makes alive until `drop`), timing it and weighing the heap it
// holds at the end.
Weighed weigh(const std::function<void()>& build, const std::function<void()>& drop) {
    malloc_trim(0);
    std::size_t before = heap_in_use();
    auto start = Clock::now();
    build();
    double seconds = seconds_since(start);
    double megabytes = static_cast<double>(heap_in_use() - before) / (1024.0 * 1024.0);
    drop();
    return {seconds, megabytes};
}

std::vector<std::string> numbered(const std::string& prefix, const std::string& suffix, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(prefix + std::to_string(i) + suffix);
    return out;
}

void compare_compile(const char* title, const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
    std::vector<qeld::regex::Regex> mine;
    std::vector<std::unique_ptr<RE2>> re2s;
    Weighed a = weigh(
        [&] {
            for (const auto& p : ours) {
                auto compiled = qeld::regex::Regex::compile(p);
                if (!compiled) std::printf("  refused %s: %s\n", p.c_str(), compiled.error().c_str());
                mine.push_back(std::move(*compiled));
            }
        },
        [&] { mine.clear(); });
    RE2::Options options;
    options.set_log_errors(false);
    Weighed b = weigh(
        [&] {
            for (const auto& p : theirs) {
                re2s.push_back(std::make_unique<RE2>(p, options));
                if (!re2s.back()->ok()) std::printf("  RE2 refused %s: %s\n", p.c_str(), re2s.back()->error().c_str());
            }
        },
        [&] { re2s.clear(); });
    std::printf("%-44s qeld_regex %8.1f ms %8.2f MB   RE2 %9.1f ms %8.2f MB  (%zu patterns)\n", title, a.seconds * 1e3,
                a.megabytes, b.seconds * 1e3, b.megabytes, ours.size());
}

// Short strings of the kind a document holds: some match, some do not.
std::vector<std::string> short_strings(const std::string& kind, std::size_t count) {
    std::mt19937 random(7);
    auto pick = [&](const std::string& alphabet, std::size_t length) {
        std::string out;
        for (std::size_t i = 0; i < length; ++i) out.push_back(alphabet[random() % alphabet.size()]);
        return out;
    };
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t length = 10 + random() % 31;
        bool spoil = random() % 4 == 0;
        std::string text;
        if (kind == "name") text = pick("abcdefghijklmnopqrstuvwxyz", 1) + pick("abcdefghijklmnopqrstuvwxyz0123456789_-", length - 1);
        if (kind == "phone") text = pick("0123456789", 3) + "-" + pick("0123456789", 4) + pick(" ", length > 30 ? 1 : 0);
        if (kind == "hex") text = pick("0123456789abcdefABCDEF", 8 + (length > 35 ? 1 : 0));
        if (kind == "mail") text = pick("abcdefghijklmnopqrstuvwxyz", length / 2) + "@" + pick("abcdefghij", length / 3) + ".com";
        if (spoil) text[text.size() / 2] = '!';
        out.push_back(std::move(text));
    }
    return out;
}

void compare_matching(const char* pattern, const std::string& kind, std::size_t rounds) {
    auto texts = short_strings(kind, 1000);
    std::size_t bytes = 0;
    for (const auto& t : texts) bytes += t.size();
    auto ours = qeld::regex::Regex::compile(pattern);
    RE2 theirs(pattern);
    auto cache = ours->create_cache();
    std::size_t agree = 0;
    for (const auto& t : texts) agree += ours->is_match(t, cache) == RE2::PartialMatch(t, theirs);
    auto time = [&](const std::function<bool(const std::string&)>& match) {
        std::size_t hits = 0;
        auto start = Clock::now();
        for (std::size_t r = 0; r < rounds; ++r) {
            for (const auto& t : texts) hits += match(t);
        }
        double seconds = seconds_since(start);
        return std::pair{seconds, hits};
    };
    auto [a, hits_a] = time([&](const std::string& t) { return ours->is_match(t, cache); });
    auto [b, hits_b] = time([&](const std::string& t) { return RE2::PartialMatch(t, theirs); });
    double calls = static_cast<double>(rounds * texts.size());
    std::printf("%-24s qeld_regex %7.1f ns/call %7.0f MB/s   RE2 %7.1f ns/call %7.0f MB/s   %zu/1000 agree, %zu hits\n",
                pattern, a / calls * 1e9, bytes * rounds / a / 1e6, b / calls * 1e9, bytes * rounds / b / 1e6, agree,
                hits_a / rounds);
    (void)hits_b;
}

// The best of a few searches of one text (one search when it takes long), with the matcher's cache
// kept from search to search as a validation keeps it.
double best_search(const qeld::regex::Regex& regex, const std::string& text, bool& matched) {
    auto cache = regex.create_cache();
    double best = 1e9;
    double total = 0;
    for (int run = 0; run < 5 && total < 2.0; ++run) {
        auto start = Clock::now();
        matched = regex.is_match(text, cache);
        double seconds = seconds_since(start);
        best = std::min(best, seconds);
        total += seconds;
    }
    return best;
}

void compare_search(const std::string& pattern, const std::string& text, const char* text_name) {
    auto ours = qeld::regex::Regex::compile(pattern);
    if (!ours) {
        std::printf("  refused %s: %s\n", pattern.c_str(), ours.error().c_str());
        return;
    }
    bool matched = false;
    double a = best_search(*ours, text, matched);
    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(std::int64_t{1} << 30);
    RE2 theirs(pattern, options);
    std::string re2_time = "refused";
    if (theirs.ok()) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            auto start = Clock::now();
            bool found = RE2::PartialMatch(text, theirs);
            best = std::min(best, seconds_since(start));
            if (found != matched) std::printf("  RE2 disagrees on %s\n", pattern.c_str());
        }
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%9.3f ms", best * 1e3);
        re2_time = buffer;
    }
    std::string shown = pattern.size() > 40 ? pattern.substr(0, 20) + "...(" + std::to_string(pattern.size()) + " bytes)" : pattern;
    std::printf("%-42s %-22s qeld_regex %9.3f ms   RE2 %s   %s\n", shown.c_str(), text_name, a * 1e3, re2_time.c_str(),
                matched ? "match" : "no match");
}

void search_rows(std::size_t mib) {
    using namespace qeld::bench;
    std::printf("\nOne search of a text (best of up to five, cache kept):\n");
    std::string runs = letter_runs(mib);
    std::string base64 = base64_lines(mib);
    std::string early_x = early_x_then_letters(mib * 13 / 10);
    std::string log = log_lines(mib);
    compare_search("[a-z]{250}x", runs, "letter runs");
    compare_search("\\S{256,}", runs, "letter runs");
    compare_search("[A-Za-z0-9+/]{300,}", base64, "base64 lines");
    compare_search("(?s).{1000}x", early_x, "x, then letters");
    std::string literal = random_letters(mib / 26, 21);
    compare_search(literal, random_letters(mib, 22), "random letters");
    std::string same = literal;
    same.back() = same.back() == 'a' ? 'b' : 'a';
    compare_search(literal, same, "same, last differs");
    // A literal that repeats itself: a search that restarts at every letter a takes quadratic time.
    std::string a_then_b = std::string(mib / 26 - 1, 'a') + "b";
    compare_search(a_then_b, std::string(mib / 26, 'a'), "as many a");
    compare_search(a_then_b, std::string(mib, 'a'), "letters a");
    std::string whole = random_letters(mib, 23);
    std::string long_literal = whole.substr(whole.size() - whole.size() * 4 / 7);
    compare_search(long_literal, whole, "ends with it");
    for (const char* pattern : {"error", "\\berror\\b", "(?:alpha|beta|gamma|delta|epsilon)",
                                "\\b(?:alpha|beta|gamma|delta|epsilon)\\b", "#[0-9a-fA-F]{6}", "#[0-9a-fA-F]{6}\\b",
                                "warning", "(?i)warning", "[a-z_][a-z0-9_]{40}", "\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z",
                                "\\d+\\.\\d+\\.\\d+(?:-[0-9A-Za-z.-]+)?", "[\\w.+-]+@[\\w-]+\\.[\\w.-]+",
                                "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}", "^[a-z][a-z0-9_-]*$"}) {
        compare_search(pattern, log, "log lines");
    }
}

// Groups are syntax only: compiling and matching a pattern of many of them costs what its body
// does.
void many_groups(std::size_t groups, std::size_t text_bytes) {
    std::string pattern;
    for (std::size_t i = 0; i < groups; ++i) pattern += "()";
    pattern += "\\w+@\\w+\\.com";
    std::string text(text_bytes, 'a');
    auto start = Clock::now();
    auto regex = qeld::regex::Regex::compile(pattern);
    double compile = seconds_since(start);
    start = Clock::now();
    bool matched = regex->is_match(text);
    double match = seconds_since(start);
    std::printf("%zu x () then \\w+@\\w+\\.com: compile %7.2f ms, is_match on %zu KiB %7.2f ms (%s)\n", groups,
                compile * 1e3, text_bytes / 1024, match * 1e3, matched ? "match" : "no match");
}

// A pattern text of letters whose program would pass the size limit many times over, bare or
// wrapped whole in a group.
void long_text_refused(std::size_t bytes, const std::string& open, const std::string& close) {
    std::string pattern = open + std::string(bytes, 'a') + close;
    malloc_trim(0);
    auto start = Clock::now();
    auto checked = qeld::regex::Regex::check(pattern);
    double seconds = seconds_since(start);
    std::printf("%s%zu KiB of letters%s: refused in %7.1f ms: %s\n", open.c_str(), bytes / 1024, close.c_str(), seconds * 1e3,
                checked.ok() ? "accepted" : checked.error().c_str());
}

// Each program is about 1 MB: the store keeps at most its budget of them.
void many_large_programs(int count) {
    std::vector<qeld::schema::Pattern> patterns;
    for (int i = 0; i < count; ++i) {
        patterns.push_back(std::move(qeld::schema::Pattern::compile("^x{" + std::to_string(60000 + i) + "}$")).value());
    }
    qeld::schema::PatternStore store(qeld::schema::PatternStore::default_budget);
    malloc_trim(0);
    std::size_t before = heap_in_use();
    auto start = Clock::now();
    std::size_t hits = 0;
    for (const auto& pattern : patterns) hits += store.is_match(pattern, "xxxxxxxx");
    double seconds = seconds_since(start);
    std::printf("%d patterns ^x{60000+i}$, each matched once: %7.1f ms, store %6.1f MB in %zu programs, heap %6.1f MB (%zu hits)\n",
                count, seconds * 1e3, static_cast<double>(store.memory_usage()) / (1024.0 * 1024.0), store.programs(),
                static_cast<double>(heap_in_use() - before) / (1024.0 * 1024.0), hits);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    int patterns = quick ? 20 : 1000;
    int wide = quick ? 2 : 200;
    std::printf("Compiling (time, heap held by the compiled patterns):\n");
    compare_compile("1,000 of ^\\w+-\\d{2,4}N$", numbered("^\\w+-\\d{2,4}", "$", patterns),
                    numbered("^[\\p{L}\\p{M}\\p{Nd}\\p{Pc}]+-[\\p{Nd}]{2,4}", "$", patterns));
    // RE2 takes about 0.15 s and 5 MB for each of these; a few show the rate.
    std::vector<std::string> letters(wide, "(\\pL|\\pN){400}");
    std::vector<std::string> few(std::min(wide, quick ? 1 : 10), "(\\pL|\\pN){400}");
    compare_compile("200 of (\\pL|\\pN){400} (RE2: 10 of them)", letters, few);
    compare_compile("^\\w{1,1000}$ (RE2: ^\\w{1,1000}$ as ASCII)", {"^\\w{1,1000}$"}, {"^\\w{1,1000}$"});
    std::printf("\nis_match on 1,000 short strings (10 to 40 bytes, a quarter spoiled):\n");
    std::size_t rounds = quick ? 1 : 2000;
    compare_matching("^[a-z][a-z0-9_-]*$", "name", rounds);
    compare_matching("^\\d{3}-\\d{4}$", "phone", rounds);
    compare_matching("^(?i)[a-f0-9]{8}$", "hex", rounds);
    compare_matching("\\w+@\\w+\\.com", "mail", rounds);
    search_rows(quick ? 64 * 1024 : 1024 * 1024);
    std::printf("\nHostile sizes:\n");
    many_groups(quick ? 1000 : 100000, quick ? 1024 : 1 << 20);
    long_text_refused(quick ? 1 << 20 : 10 << 20, "", "");
    long_text_refused(quick ? 1 << 20 : 10 << 20, "^(?:", ")$");
    many_large_programs(quick ? 20 : 2000);
    return 0;
}
