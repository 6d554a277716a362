#include "byte_scan.h"

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace qeld::bench {

ByteClasses read_and_scan(const std::string& path) {
    ByteClasses out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    static const std::array<std::uint8_t, 256> classes = [] {
        std::array<std::uint8_t, 256> t{};
        t['\n'] = 1;
        t['"'] = t['\''] = 2;
        t['['] = t[']'] = t['{'] = t['}'] = 3;
        return t;
    }();
    std::uint64_t counts[4] = {};
    for (const char c : text) ++counts[classes[static_cast<unsigned char>(c)]];
    out.other = counts[0];
    out.newlines = counts[1];
    out.quotes = counts[2];
    out.brackets = counts[3];
    return out;
}

}  // namespace qeld::bench
