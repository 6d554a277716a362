// Keeps the user's guide (docs/schema-language.md) in step with the example cases it quotes.
//
// Every fenced code block of the guide names what it shows in its info string:
//   ```toml file=examples/service/service.qeld     the block is that file, byte for byte
//   ```console case=examples/service               the block is a terminal session of that case:
//       $ qeld <the case's args, joined by blanks>
//       <what the case expects on standard error, then on standard output>
//       $ echo $?                                  optional, followed by the expected exit status
// Paths are relative to docs/. The black-box suite runs every case folder below docs/examples, so
// what the guide shows is what the program prints. Every case folder must be shown at least once.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path docs_dir = QELD_DOCS_DIR;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct CodeBlock {
    std::size_t line = 0;  // line of the opening fence, from 1
    std::string info;      // the opening fence's text after the backticks
    std::string text;      // the lines between the fences, each ending in a line feed
};

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<CodeBlock> code_blocks(const std::string& markdown) {
    std::vector<CodeBlock> blocks;
    std::vector<std::string> lines = split_lines(markdown);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("```", 0) != 0) continue;
        CodeBlock block;
        block.line = i + 1;
        block.info = lines[i].substr(3);
        for (++i; i < lines.size() && lines[i] != "```"; ++i) block.text += lines[i] + "\n";
        EXPECT_LT(i, lines.size()) << "code block at line " << block.line << " is not closed";
        blocks.push_back(block);
    }
    return blocks;
}

// The value of "name=" among the blank-separated words of an info string, or "".
std::string info_attribute(const std::string& info, const std::string& name) {
    std::istringstream words(info);
    for (std::string word; words >> word;) {
        if (word.rfind(name + "=", 0) == 0) return word.substr(name.size() + 1);
    }
    return "";
}

std::string expected_session(const fs::path& case_dir, bool with_status) {
    std::string command = "$ qeld";
    for (const std::string& arg : split_lines(read_file(case_dir / "args"))) {
        EXPECT_FALSE(arg.empty() || arg.find(' ') != std::string::npos)
            << case_dir << ": an argument a terminal line cannot show as typed";
        command += " " + arg;
    }
    // The program writes notices and warnings before its verdict, so a terminal shows standard
    // error first.
    std::string session = command + "\n" + read_file(case_dir / "stderr") + read_file(case_dir / "stdout");
    if (with_status) {
        std::string status = fs::exists(case_dir / "status") ? read_file(case_dir / "status") : "0\n";
        session += "$ echo $?\n" + status;
    }
    return session;
}

class GuideExamples : public ::testing::Test {
protected:
    std::vector<CodeBlock> blocks = code_blocks(read_file(docs_dir / "schema-language.md"));
};

TEST_F(GuideExamples, EveryCodeBlockNamesAFileOrACase) {
    ASSERT_FALSE(blocks.empty());
    for (const CodeBlock& block : blocks) {
        bool names_one = info_attribute(block.info, "file").empty() != info_attribute(block.info, "case").empty();
        EXPECT_TRUE(names_one) << "code block at line " << block.line << " names neither a file nor a case: " << block.info;
    }
}

TEST_F(GuideExamples, QuotedFilesAreIdentical) {
    for (const CodeBlock& block : blocks) {
        std::string file = info_attribute(block.info, "file");
        if (file.empty()) continue;
        ASSERT_TRUE(fs::is_regular_file(docs_dir / file)) << file << " (line " << block.line << ") does not exist";
        EXPECT_EQ(block.text, read_file(docs_dir / file)) << "code block at line " << block.line << " differs from " << file;
    }
}

TEST_F(GuideExamples, SessionsShowWhatTheirCasesExpect) {
    for (const CodeBlock& block : blocks) {
        std::string name = info_attribute(block.info, "case");
        if (name.empty()) continue;
        fs::path case_dir = docs_dir / name;
        ASSERT_TRUE(fs::is_regular_file(case_dir / "args")) << name << " (line " << block.line << ") is no case folder";
        bool with_status = block.text.find("\n$ echo $?\n") != std::string::npos;
        EXPECT_EQ(block.text, expected_session(case_dir, with_status)) << "session at line " << block.line;
    }
}

TEST_F(GuideExamples, EveryExampleCaseIsShown) {
    std::set<fs::path> shown;
    for (const CodeBlock& block : blocks) {
        std::string name = info_attribute(block.info, "case");
        if (!name.empty()) shown.insert(fs::weakly_canonical(docs_dir / name));
    }
    for (auto& entry : fs::recursive_directory_iterator(docs_dir / "examples")) {
        if (entry.path().filename() != "args") continue;
        fs::path case_dir = fs::weakly_canonical(entry.path().parent_path());
        EXPECT_TRUE(shown.count(case_dir)) << case_dir << " is not shown in the guide";
    }
}

}  // namespace
