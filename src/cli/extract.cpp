#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

#include "cli/commands.h"
#include "common/system_error.h"
#include "document/parse.h"
#include "extract/extract.h"
#include "schema/source.h"

namespace qeld::cli {

namespace {


// Creates or truncates the file and writes the whole text; the message names the path.
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

// True when both paths name one existing regular file (the same device and inode).
bool same_regular_file(std::string_view a, std::string_view b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(std::string(a).c_str(), &sa) != 0 || ::stat(std::string(b).c_str(), &sb) != 0) return false;
    return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

ExitStatus extract(std::string_view document_path, std::string_view schema_path, Writer& out, Writer& err) {
    auto text = schema::read_toml_source(document_path);
    if (!text) {
        err.write(text.error() + "\n");
        return 1;
    }
    auto table = doc::parse(*text);
    if (!table) {
        err.write(std::string(document_path) + ": " + table.error() + "\n");
        return 1;
    }
    // Writing the schema over the document would destroy the document it was inferred from.
    if (same_regular_file(document_path, schema_path)) {
        err.write(std::string(schema_path) + ": refusing to overwrite the document being extracted\n");
        return 2;
    }
    // Built whole before the schema path is touched.
    const std::string schema_text = extract::generate_schema(*table);
    if (auto written = write_whole_file(schema_path, schema_text); !written) {
        err.write(written.error() + "\n");
        return 2;
    }
    out.write("Extracted schema to " + std::string(schema_path) + "\n");
    return 0;
}

}  // namespace qeld::cli
