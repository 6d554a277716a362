// Reading a file's text so that it can be given back: the same text and the same failures as
// read_text_file, pages given back behind whole lines with the lines before them counted, files
// too small or not regular read as a whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file.h"
#include "common/file_text.h"
#include "common/utf8.h"
#include "support/residency.h"
#include "support/temp_folder.h"

namespace qeld {
namespace {


using FileTextTest = qeld::testing::TempFolderTest;

// Lines of TOML of growing length, each different, up to the size; the values hold bytes that
// differ from a line feed only in their high bit ("\xC3\x8A" is U+00CA).
std::string large_text(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "k" + std::to_string(i) + " = \"v\xC3\x8A" + std::to_string(i) + "\"\n";
    }
    return text;
}

TEST_F(FileTextTest, LargeRegularFilesGiveBackWholeLinesAndCountThem) {
    const std::string text = large_text(6 * FileText::release_threshold);
    auto file = FileText::read(write("large.toml", text));
    ASSERT_TRUE(file.ok()) << file.error();
    ASSERT_TRUE(file->releasable());
    EXPECT_EQ(file->text(), text);

    const std::size_t middle = text.size() / 2;
    file->release_before(middle);
    const FileText::Kept kept = file->kept();
    const std::size_t line_start = text.rfind('\n', middle - 1) + 1;
    EXPECT_EQ(kept.offset, line_start);
    EXPECT_EQ(kept.lines_before, static_cast<std::size_t>(std::count(text.begin(), text.begin() + line_start, '\n')));
    // What is kept reads as before; what was given back reads as zero bytes, in whole steps.
    EXPECT_EQ(file->text().substr(line_start), std::string_view(text).substr(line_start));
    EXPECT_EQ(file->text()[0], '\0');
    EXPECT_EQ(file->text()[line_start - 1], text[line_start - 1]);

    file->release_before(middle / 2);  // behind what was given back: nothing changes
    EXPECT_EQ(file->kept().offset, line_start);
    file->release_before(text.size() + 100);
    EXPECT_EQ(file->kept().offset, text.size());
    EXPECT_EQ(file->kept().lines_before, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
}

// Lines are counted piece by piece as the reader moves on: steps of every length, short ones and
// ones past the counter's 4,080-byte rounds, give the count of the whole text before the line.
TEST_F(FileTextTest, LinesAreCountedInPiecesOfAnyLength) {
    const std::string text = large_text(2 * FileText::release_threshold);
    auto file = FileText::read(write("steps.toml", text));
    ASSERT_TRUE(file.ok()) << file.error();
    std::size_t offset = 0;
    for (std::size_t step : {1, 7, 15, 16, 17, 40, 4079, 4080, 4081, 65537, 1}) {
        for (int i = 0; i < 5; ++i) {
            offset += step;
            file->release_before(offset);
            const std::size_t line_start = text.rfind('\n', offset - 1) + 1;
            const FileText::Kept kept = file->kept();
            ASSERT_EQ(kept.offset, line_start) << offset;
            ASSERT_EQ(kept.lines_before, static_cast<std::size_t>(std::count(text.begin(), text.begin() + line_start, '\n')))
                << offset;
        }
    }
}

// Memory goes back in whole pages behind the line that holds the offset: huge pages within the
// text's whole 2 MiB runs, small pages in the rest. What went back is no longer resident and reads
// as the text's leading zeros; the rest keeps its bytes.
TEST_F(FileTextTest, MemoryGoesBackInWholePagesOfTheirKind) {
    constexpr std::size_t mib = 1024 * 1024;
    constexpr std::size_t huge = 2 * mib;
    const std::size_t small = qeld::testing::small_page_size();
    struct Case {
        std::size_t size;
        std::size_t offset;
        std::size_t step;  // of the release that offset gives
    };
    const Case cases[] = {
        {6 * mib + 1000, 3 * mib + 300 * 1024, huge},  // in the first huge pages
        {6 * mib + 1000, 5 * mib + 300 * 1024, huge},  // in the last whole huge page
        {7 * mib, 6 * mib + 300 * 1024, small},        // in the rest, of small pages
        {18 * mib + 700 * 1024, 18 * mib + 500 * 1024, small},  // and so in a large text
    };
    for (const Case& c : cases) {
        const std::string text = large_text(c.size);
        auto file = FileText::read(write("steps.toml", text));
        ASSERT_TRUE(file.ok()) << file.error();
        file->release_before(c.offset);
        const std::size_t line_start = text.rfind('\n', c.offset - 1) + 1;
        const std::size_t given_back = line_start / c.step * c.step;
        const std::string_view held = file->text();
        EXPECT_EQ(qeld::testing::resident_pages(held.data(), given_back), 0u) << c.size << " " << c.offset;
        EXPECT_EQ(held.find_first_not_of('\0'), given_back) << c.size << " " << c.offset;
        EXPECT_EQ(held.substr(given_back), std::string_view(text).substr(given_back));
    }
}

TEST_F(FileTextTest, SmallFilesAndPipesAreReadWhole) {
    auto file = FileText::read(write("small.toml", "a = 1\nb = 2\n"));
    ASSERT_TRUE(file.ok());
    EXPECT_FALSE(file->releasable());
    file->release_before(8);
    EXPECT_EQ(file->text(), "a = 1\nb = 2\n");
    EXPECT_EQ(file->kept().offset, 0u);

    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string text = large_text(2 * FileText::release_threshold);
    const pid_t writer = fork();
    if (writer == 0) {
        std::ofstream(fifo, std::ios::binary) << text;
        _exit(0);
    }
    auto piped = FileText::read(fifo);
    ASSERT_TRUE(piped.ok()) << piped.error();
    EXPECT_FALSE(piped->releasable());
    EXPECT_EQ(piped->text(), text);
    waitpid(writer, nullptr, 0);
}

// Whatever the size or kind of file, the failures read as those of read_text_file.
TEST_F(FileTextTest, FailuresAreThoseOfReading) {
    std::string invalid = large_text(2 * FileText::release_threshold);
    invalid[invalid.size() / 2] = '\xFF';
    const std::string unreadable = write("unreadable.toml", large_text(2 * FileText::release_threshold));
    ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);
    const std::string paths[] = {dir_ + "/missing.toml", dir_, write("bad-small.toml", "a = \"\xC3\"\n"),
                                 write("bad-large.toml", invalid), unreadable};
    for (const std::string& path : paths) {
        auto text = FileText::read(path);
        auto read = read_text_file(path);
        ASSERT_EQ(text.ok(), read.ok()) << path;  // a privileged run may read the unreadable file
        if (!read.ok()) {
            EXPECT_EQ(text.error(), read.error());
        }
    }
    EXPECT_EQ(FileText::read(paths[3]).error(), paths[3] + ": stream did not contain valid UTF-8");
}

// The file is read in pieces of 1 MiB and checked piece by piece: sequences cut by a piece's end,
// valid or not, get the verdict the whole text gets.
TEST_F(FileTextTest, SequencesAcrossReadPiecesGetTheWholeTextsVerdict) {
    const std::size_t piece = 1 << 20;
    const std::string sequences[] = {"\xC3\x8A", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xE2\x82", "\x80\x80\x80\x80\x80",
                                     "\xF0\x9F\x98", "\xC3", "\xED\xA0\x80"};
    int count = 0;
    for (const std::string& sequence : sequences) {
        for (std::size_t start = piece - 5; start <= piece + 1; ++start) {
            std::string text(2 * piece + 100, 'a');
            text.replace(start, sequence.size(), sequence);
            const std::string path = write("piece-" + std::to_string(count++) + ".toml", text);
            auto file = FileText::read(path);
            ASSERT_EQ(file.ok(), is_valid_utf8(text)) << sequence.size() << " bytes at " << start;
            if (!file.ok()) {
                EXPECT_EQ(file.error(), path + ": stream did not contain valid UTF-8");
            }
        }
    }
    std::string cut_at_end(2 * piece, 'a');
    cut_at_end.back() = '\xE2';
    EXPECT_FALSE(FileText::read(write("cut-at-end.toml", cut_at_end)).ok());
}

}  // namespace
}  // namespace qeld
