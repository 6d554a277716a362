// Runs the built qeld on each case folder and compares standard output, standard error, the
// exit status and any expected files exactly.
//
// A case folder holds:
//   args            one argument per line (raw bytes)
//   stdout, stderr  the expected streams (absent means empty)
//   status          the expected exit status (absent means 0)
//   setup           optional shell script run in the work folder before the command
//   stdin           optional file fed to standard input
//   close_stdout    when present, standard output is closed
//   memory_limit    optional address-space limit of the command, in MiB (such cases are skipped
//                   under AddressSanitizer, whose shadow memory alone exceeds any such limit)
//   stack_limit     optional stack limit of the command, soft and hard, in KiB (as `ulimit -s`)
//   file_size_limit optional limit of the size of a file the command writes, in bytes, standard
//                   output and standard error included
//   expected_files/ optional files that must exist in the work folder afterwards, byte for byte
//   absent_files    optional list of paths that must not exist afterwards
// Every other file is copied into a fresh work folder (symbolic links followed), where the command
// runs. The work folder's absolute path reads as <DIR> in the compared output.
//
// Case folders are found below tests/cli/cases and below docs/examples, whose cases the user's guide
// quotes; the latter are named with the prefix docs_examples_. Where the environment names a folder
// in QELD_CASES, only the cases below it run (CTest runs one folder per test, in parallel).

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool built_with_address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool built_with_address_sanitizer = true;
#else
constexpr bool built_with_address_sanitizer = false;
#endif
#else
constexpr bool built_with_address_sanitizer = false;
#endif

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool is_case_meta(const std::string& name) {
    return name == "args" || name == "stdout" || name == "stderr" || name == "status" || name == "setup" ||
           name == "stdin" || name == "close_stdout" || name == "expected_files" || name == "absent_files" ||
           name == "memory_limit" || name == "stack_limit" || name == "file_size_limit";
}

struct CaseRoot {
    const char* dir;
    const char* name_prefix;
};

const CaseRoot case_roots[] = {{QELD_CASES_DIR, ""}, {QELD_EXAMPLES_DIR, "docs_examples/"}};

std::vector<fs::path> find_cases() {
    std::vector<fs::path> cases;
    auto add_below = [&](const fs::path& folder) {
        if (!fs::exists(folder)) return;
        for (auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().filename() == "args") cases.push_back(entry.path().parent_path());
        }
    };
    if (const char* only = std::getenv("QELD_CASES")) {
        add_below(only);
    } else {
        for (const CaseRoot& root : case_roots) add_below(root.dir);
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

std::string case_name(const fs::path& dir) {
    std::string rel;
    for (const CaseRoot& root : case_roots) {
        fs::path relative = fs::relative(dir, root.dir);
        if (!relative.empty() && *relative.begin() != "..") {
            rel = root.name_prefix + relative.string();
            break;
        }
    }
    for (char& c : rel) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return rel;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

struct Outcome {
    std::string out;
    std::string err;
    int status = -1;
};

Outcome run_case(const fs::path& dir, const fs::path& work, const fs::path& scratch) {
    // Every line, terminated by a line feed, is one argument; so a lone line feed is one empty argument.
    std::vector<std::string> args;
    {
        std::string text = read_file(dir / "args");
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t nl = text.find('\n', start);
            if (nl == std::string::npos) nl = text.size();
            args.push_back(text.substr(start, nl - start));
            start = nl + 1;
        }
    }
    fs::path out_path = scratch / "out";
    fs::path err_path = scratch / "err";
    bool close_stdout = fs::exists(dir / "close_stdout");
    fs::path stdin_path = fs::exists(dir / "stdin") ? dir / "stdin" : fs::path("/dev/null");
    auto limit_of = [&](const char* name, int shift) -> rlim_t {
        return fs::exists(dir / name) ? static_cast<rlim_t>(std::stoul(read_file(dir / name))) << shift : 0;
    };
    const struct {
        int resource;
        rlim_t value;
    } limits[] = {{RLIMIT_AS, limit_of("memory_limit", 20)},
                  {RLIMIT_STACK, limit_of("stack_limit", 10)},
                  {RLIMIT_FSIZE, limit_of("file_size_limit", 0)}};

    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(work.c_str()) != 0) _exit(127);
        for (const auto& [resource, value] : limits) {
            rlimit limit{value, value};
            if (value != 0 && setrlimit(resource, &limit) != 0) _exit(127);
        }
        int in = open(stdin_path.c_str(), O_RDONLY);
        dup2(in, 0);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (close_stdout) {
            close(1);
        } else {
            dup2(out, 1);
        }
        dup2(err, 2);
        std::vector<char*> argv;
        std::string program = QELD_BINARY;
        argv.push_back(program.data());
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Outcome outcome;
    int wstatus = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        pid_t r = waitpid(pid, &wstatus, WNOHANG);
        if (r == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            outcome.err = "<timed out>";
            return outcome;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    outcome.out = read_file(out_path);
    outcome.err = read_file(err_path);
    return outcome;
}

class Blackbox : public ::testing::TestWithParam<fs::path> {};

TEST_P(Blackbox, MatchesExpectedOutput) {
    const fs::path dir = GetParam();
    if (built_with_address_sanitizer && fs::exists(dir / "memory_limit"))
        GTEST_SKIP() << "an address-space limit leaves no room for AddressSanitizer's shadow memory";
    char work_template[] = "/tmp/qeld-case-XXXXXX";
    char scratch_template[] = "/tmp/qeld-out-XXXXXX";
    ASSERT_NE(mkdtemp(work_template), nullptr);
    ASSERT_NE(mkdtemp(scratch_template), nullptr);
    fs::path work = fs::canonical(work_template);
    fs::path scratch = scratch_template;

    for (auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (is_case_meta(name)) continue;
        fs::copy(entry.path(), work / name, fs::copy_options::recursive);
    }
    if (fs::exists(dir / "setup")) {
        std::string command = "cd '" + work.string() + "' && sh '" + (dir / "setup").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << "setup failed";
    }

    Outcome outcome = run_case(dir, work, scratch);
    auto expected = [&](const char* name) { return fs::exists(dir / name) ? read_file(dir / name) : std::string(); };
    std::string expected_status = expected("status");
    int status = expected_status.empty() ? 0 : std::stoi(expected_status);

    EXPECT_EQ(replace_all(outcome.out, work.string(), "<DIR>"), expected("stdout")) << "stdout of " << dir;
    EXPECT_EQ(replace_all(outcome.err, work.string(), "<DIR>"), expected("stderr")) << "stderr of " << dir;
    EXPECT_EQ(outcome.status, status) << "status of " << dir;

    if (fs::exists(dir / "expected_files")) {
        for (auto& entry : fs::recursive_directory_iterator(dir / "expected_files")) {
            if (!entry.is_regular_file()) continue;
            fs::path rel = fs::relative(entry.path(), dir / "expected_files");
            ASSERT_TRUE(fs::exists(work / rel)) << rel << " was not written";
            EXPECT_EQ(read_file(work / rel), read_file(entry.path())) << "content of " << rel;
        }
    }
    if (fs::exists(dir / "absent_files")) {
        std::istringstream lines(read_file(dir / "absent_files"));
        std::string rel;
        while (std::getline(lines, rel)) {
            if (!rel.empty()) {
                EXPECT_FALSE(fs::exists(work / rel)) << rel << " should not exist";
            }
        }
    }

    // Undo what a setup may have done to permissions, then clean up.
    [[maybe_unused]] int restored = std::system(("chmod -R u+rwx '" + work.string() + "' 2>/dev/null").c_str());
    fs::remove_all(work);
    fs::remove_all(scratch);
}

INSTANTIATE_TEST_SUITE_P(Cases, Blackbox, ::testing::ValuesIn(find_cases()),
                         [](const ::testing::TestParamInfo<fs::path>& info) { return case_name(info.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Blackbox);

}  // namespace
