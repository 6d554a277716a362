#include "common/file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "common/system_error.h"
#include "common/utf8.h"

namespace qeld {

Result<std::string> read_text_file(std::string_view path) {
    std::string p(path);
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(p + ": " + system_error_text(errno));
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int error_number = errno;
            ::close(fd);
            return fail(p + ": " + system_error_text(error_number));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!is_valid_utf8(text)) return fail(p + ": stream did not contain valid UTF-8");
    return text;
}

Status write_whole_file(std::string_view path, std::string_view text) {
    const std::string p(path);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(p + ": " + system_error_text(errno));
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error_number = errno;
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
