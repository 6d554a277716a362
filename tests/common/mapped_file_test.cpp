// Mapped reading: the same text and the same failures as reading, pages given back and read
// again, files too small or not regular read instead, and a file that shrinks under the mapping.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file.h"
#include "common/mapped_file.h"
#include "common/system_error.h"

namespace qeld {
namespace {

namespace fs = std::filesystem;

class MappedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/qeld-mapped-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    fs::path dir_;
};

// Text of the given size in lines of TOML, each different, so that a page read back wrong shows.
std::string large_text(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) text += "k" + std::to_string(i) + " = \"v" + std::to_string(i) + "\"\n";
    return text;
}

TEST_F(MappedFileTest, LargeRegularFilesAreMappedAndReadBackAfterRelease) {
    const std::string text = large_text(3 * MappedFile::map_threshold);
    const std::string path = write("large.toml", text);
    auto file = MappedFile::open(path);
    ASSERT_TRUE(file.ok()) << file.error();
    EXPECT_TRUE(file->mapped());
    EXPECT_EQ(file->text(), text);
    file->release_before(text.size() / 2);
    file->release_before(text.size() / 3);  // behind what was given back already: nothing to do
    EXPECT_EQ(file->text(), text);
    file->release_before(text.size() + 100);
    EXPECT_EQ(file->text(), text);
    EXPECT_TRUE(file->status().ok());
}

TEST_F(MappedFileTest, SmallFilesAndOtherKindsAreRead) {
    const std::string small = write("small.toml", "a = 1\n");
    auto file = MappedFile::open(small);
    ASSERT_TRUE(file.ok());
    EXPECT_FALSE(file->mapped());
    EXPECT_EQ(file->text(), "a = 1\n");
    file->release_before(3);
    EXPECT_EQ(file->text(), "a = 1\n");

    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string text = large_text(2 * MappedFile::map_threshold);
    const pid_t writer = fork();
    if (writer == 0) {
        std::ofstream(fifo, std::ios::binary) << text;
        _exit(0);
    }
    auto piped = MappedFile::open(fifo);
    ASSERT_TRUE(piped.ok()) << piped.error();
    EXPECT_FALSE(piped->mapped());
    EXPECT_EQ(piped->text(), text);
    waitpid(writer, nullptr, 0);
}

// Whether a file is mapped or read, its failures read as those of read_text_file.
TEST_F(MappedFileTest, FailuresAreThoseOfReading) {
    std::string invalid = large_text(2 * MappedFile::map_threshold);
    invalid[invalid.size() / 2] = '\xFF';
    const std::string paths[] = {(dir_ / "missing.toml").string(), dir_.string(), write("bad-small.toml", "a = \"\xC3\"\n"),
                                 write("bad-large.toml", invalid)};
    for (const std::string& path : paths) {
        auto mapped = MappedFile::open(path);
        auto read = read_text_file(path);
        ASSERT_FALSE(mapped.ok()) << path;
        ASSERT_FALSE(read.ok()) << path;
        EXPECT_EQ(mapped.error(), read.error());
    }
    EXPECT_EQ(MappedFile::open(paths[3]).error(), paths[3] + ": stream did not contain valid UTF-8");
}

// A file cut short while mapped reads as zero bytes past its new end instead of stopping the
// process, and the mapping then reports an input/output error.
TEST_F(MappedFileTest, AFileThatShrinksUnderTheMappingIsAnError) {
    const std::string text = large_text(3 * MappedFile::map_threshold);
    const std::string path = write("shrinking.toml", text);
    auto file = MappedFile::open(path);
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(file->mapped());
    ASSERT_EQ(truncate(path.c_str(), 100), 0);
    const std::string_view view = file->text();
    EXPECT_EQ(view.substr(0, 100), std::string_view(text).substr(0, 100));
    EXPECT_EQ(view[view.size() - 1], '\0');
    EXPECT_EQ(view[view.size() / 2], '\0');
    ASSERT_FALSE(file->status().ok());
    EXPECT_EQ(file->status().error(), path + ": " + system_error_text(EIO));

    // Another mapping made afterwards is not marked.
    const std::string other = write("other.toml", text);
    auto second = MappedFile::open(other);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->text(), text);
    EXPECT_TRUE(second->status().ok());
}

}  // namespace
}  // namespace qeld
