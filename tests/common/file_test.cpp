#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "common/file.h"
#include "support/temp_folder.h"

namespace qeld {
namespace {

namespace fs = std::filesystem;

constexpr ReadPolicy eight_bytes{8, false};
constexpr ReadPolicy eight_regular_bytes{8, true};

class ReadTextFile : public qeld::testing::TempFolderTest {
protected:
    static std::string outcome(const Result<std::string>& text) { return text ? "read: " + *text : text.error(); }
};

TEST_F(ReadTextFile, RefusesAFileLargerThanTheLimit) {
    const std::string exact = write("exact", "12345678");
    const std::string over = write("over", "123456789");
    for (const ReadPolicy* policy : {&eight_bytes, &eight_regular_bytes}) {
        EXPECT_EQ(outcome(read_text_file(exact, *policy)), "read: 12345678");
        EXPECT_EQ(outcome(read_text_file(over, *policy)), over + ": file is larger than the read limit of 8 bytes");
    }
}

// A pipe has no size to look at: its bytes are counted as they come.
TEST_F(ReadTextFile, CountsTheBytesOfAPipe) {
    for (const std::string text : {"12345678", "123456789"}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(ends[1]);
        const std::string path = "/dev/fd/" + std::to_string(ends[0]);
        const std::string expected =
            text.size() <= 8 ? "read: " + text : path + ": file is larger than the read limit of 8 bytes";
        EXPECT_EQ(outcome(read_text_file(path, eight_bytes)), expected);
        ::close(ends[0]);
    }
}

TEST_F(ReadTextFile, ReadsOnlyRegularFilesWhenAskedTo) {
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socket_path = dir_ + "/socket";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string target = write("target", "a = 1\n");
    fs::create_symlink(target, dir_ + "/link");
    fs::create_symlink("/dev/null", dir_ + "/device-link");

    // Nobody writes to the FIFO: opening it for reading must not wait for a writer.
    EXPECT_EQ(outcome(read_text_file(fifo, document_named_file)), fifo + ": not a regular file (a FIFO)");
    EXPECT_EQ(outcome(read_text_file(socket_path, document_named_file)),
              socket_path + ": not a regular file (a socket)");
    EXPECT_EQ(outcome(read_text_file("/dev/zero", document_named_file)),
              "/dev/zero: not a regular file (a character device)");
    EXPECT_EQ(outcome(read_text_file(dir_ + "/device-link", document_named_file)),
              dir_ + "/device-link: not a regular file (a character device)");
    EXPECT_EQ(outcome(read_text_file(dir_, document_named_file)), dir_ + ": Is a directory (os error 21)");
    EXPECT_EQ(outcome(read_text_file(dir_ + "/missing", document_named_file)),
              dir_ + "/missing: No such file or directory (os error 2)");
    EXPECT_EQ(outcome(read_text_file(dir_ + "/link", document_named_file)), "read: a = 1\n");
    ::close(listener);
}

TEST_F(ReadTextFile, ReadsDevicesAndPipesTheUserNamed) {
    EXPECT_EQ(outcome(read_text_file("/dev/null")), "read: ");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "a = 1\n", 6), 6);
    ::close(ends[1]);
    EXPECT_EQ(outcome(read_text_file("/dev/fd/" + std::to_string(ends[0]))), "read: a = 1\n");
    ::close(ends[0]);
    EXPECT_EQ(outcome(read_text_file(dir_)), dir_ + ": Is a directory (os error 21)");
}

// Reads everything the descriptor gives until end of file, on a thread of its own.
class Drain {
public:
    explicit Drain(int fd) : thread_([this, fd] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text_.append(buffer, static_cast<std::size_t>(n));
    }) {}
    std::string finish() {
        thread_.join();
        return text_;
    }

private:
    std::string text_;
    std::thread thread_;
};

class WriteWholeFile : public qeld::testing::TempFolderTest {
protected:
    // Larger than a pipe's buffer, so that the writer must wait for its reader.
    const std::string text_ = std::string(300000, 'x') + "\n";
};

TEST_F(WriteWholeFile, RefusesAFifoWithoutAReaderAtOnce) {
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto written = write_whole_file(fifo, "a = 1\n");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), fifo + ": No such device or address (os error 6)");
}

TEST_F(WriteWholeFile, WritesAWholeTextToAFifoOrPipeWithAReader) {
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
    // Held open until the text is written, so that the reader meets no end of file before.
    const int holder = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    Drain from_fifo(reader);
    EXPECT_TRUE(write_whole_file(fifo, text_));
    ::close(holder);
    EXPECT_EQ(from_fifo.finish(), text_);
    ::close(reader);

    // As /dev/stdout names the pipe of a command's output.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    Drain from_pipe(ends[0]);
    EXPECT_TRUE(write_whole_file("/dev/fd/" + std::to_string(ends[1]), text_));
    ::close(ends[1]);
    EXPECT_EQ(from_pipe.finish(), text_);
    ::close(ends[0]);
}

}  // namespace
}  // namespace qeld
