#include "common/file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "common/system_error.h"
#include "common/utf8.h"

namespace qeld {

namespace {

// Closes the descriptor on every way out.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

// Reads and writes on the descriptor wait again, once it was opened without waiting.
bool make_blocking(int fd) {
    const int status_flags = ::fcntl(fd, F_GETFL);
    return status_flags >= 0 && ::fcntl(fd, F_SETFL, status_flags & ~O_NONBLOCK) == 0;
}

std::string describe_size(std::uint64_t bytes) {
    if (bytes % gibibyte == 0) return std::to_string(bytes / gibibyte) + " GiB";
    if (bytes % mebibyte == 0) return std::to_string(bytes / mebibyte) + " MiB";
    return std::to_string(bytes) + " bytes";
}

std::string too_large(const std::string& path, const ReadPolicy& policy) {
    return path + ": file is larger than the read limit of " + describe_size(policy.max_bytes);
}

// Why a file of this kind is not read when only regular files are: a directory keeps the
// system's own text, which reading it would give.
std::optional<std::string> refusal_of_kind(mode_t mode) {
    if (S_ISREG(mode)) return std::nullopt;
    if (S_ISDIR(mode)) return system_error_text(EISDIR);
    const char* kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "an unknown kind of file";
    return std::string("not a regular file (") + kind + ")";
}

// Reads to the end, refusing past the limit. The text never takes more room than the limit (and
// one byte to see past it). It is read straight into the string: a buffer beside it would touch
// pages of its own, and a file of known size fits the first try.
Result<std::string> read_to_end(const std::string& path, int fd, std::uint64_t size_hint, const ReadPolicy& policy) {
    constexpr std::uint64_t first_unknown = 65536;
    const std::uint64_t most = policy.max_bytes + 1;
    std::string text;
    text.resize(static_cast<std::size_t>(std::min(size_hint > 0 ? size_hint + 1 : first_unknown, most)));
    std::size_t used = 0;
    for (;;) {
        if (used == text.size()) {
            if (used >= most) return fail(too_large(path, policy));
            text.resize(static_cast<std::size_t>(std::min<std::uint64_t>(2 * text.size(), most)));
        }
        ssize_t n = ::read(fd, text.data() + used, text.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(path + ": " + system_error_text(errno));
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    if (used > policy.max_bytes) return fail(too_large(path, policy));
    text.resize(used);
    return text;
}

}  // namespace

Result<std::string> read_text_file(std::string_view path, const ReadPolicy& policy) {
    const std::string p(path);
    struct stat info {};
    if (policy.regular_file_only) {
        // Looked at before opening: opening a device may act on it, and opening a FIFO waits
        // for a writer.
        if (::stat(p.c_str(), &info) != 0) return fail(p + ": " + system_error_text(errno));
        if (auto refusal = refusal_of_kind(info.st_mode)) return fail(p + ": " + *refusal);
    }
    // Should the file have turned into a FIFO since, opening without blocking returns at once
    // and the second look refuses it.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (policy.regular_file_only ? O_NONBLOCK : 0);
    OpenFile file(::open(p.c_str(), flags));
    if (file.fd() < 0) return fail(p + ": " + system_error_text(errno));
    if (::fstat(file.fd(), &info) != 0) return fail(p + ": " + system_error_text(errno));
    if (policy.regular_file_only) {
        if (auto refusal = refusal_of_kind(info.st_mode)) return fail(p + ": " + *refusal);
        if (!make_blocking(file.fd())) return fail(p + ": " + system_error_text(errno));
    }
    std::uint64_t size_hint = 0;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        size_hint = static_cast<std::uint64_t>(info.st_size);
        if (size_hint > policy.max_bytes) return fail(too_large(p, policy));
    }
    auto text = read_to_end(p, file.fd(), size_hint, policy);
    if (text && !is_valid_utf8(*text)) return fail(p + ": stream did not contain valid UTF-8");
    return text;
}

Status write_whole_file(std::string_view path, std::string_view text) {
    const std::string p(path);
    // Opening a FIFO for writing waits for a reader, forever if none comes: without blocking it
    // fails at once instead (ENXIO). Once open, writes block as usual, so that a slow reader
    // still gets the whole text.
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return fail(p + ": " + system_error_text(errno));
    if (!make_blocking(fd)) {
        const int error_number = errno;
        ::close(fd);
        return fail(p + ": " + system_error_text(error_number));
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error_number = errno;
            // A partial schema could pass for a whole one: leave the file empty instead.
            [[maybe_unused]] const int emptied = ::ftruncate(fd, 0);
            ::close(fd);
            return fail(p + ": " + system_error_text(error_number));
        }
        written += static_cast<std::size_t>(n);
    }
    // A deferred write error (a full or remote file system) may only show here.
    if (::close(fd) != 0 && errno != EINTR) return fail(p + ": " + system_error_text(errno));
    return {};
}

}  // namespace qeld
