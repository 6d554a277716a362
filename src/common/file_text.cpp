#include "common/file_text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/file.h"
#include "common/pages.h"
#include "common/system_error.h"
#include "common/utf8.h"

namespace qeld {

namespace {

// The end of the longest prefix of the bytes that ends where a UTF-8 sequence may start: the
// bytes after it may be the first part of a sequence that the next read completes. Four
// continuation bytes in a row are never valid, so at most four are stepped back over.
std::size_t sequence_boundary(const char* bytes, std::size_t size) {
    std::size_t end = size;
    for (int back = 0; back < 4 && end > 0; ++back) {
        --end;
        if ((static_cast<unsigned char>(bytes[end]) & 0xC0) != 0x80) return end;
    }
    return size;
}

// Fills the buffer from the file, checking the UTF-8 of each piece while it is still in the
// cache. Ok with none when the file holds other than `size` bytes now (it changed since it was
// looked at); otherwise whether the text is valid UTF-8.
Result<std::optional<bool>> read_exactly(int fd, char* buffer, std::size_t size, const std::string& path) {
    std::size_t filled = 0;
    std::size_t checked = 0;
    bool valid = true;
    for (;;) {
        char probe;
        const bool full = filled == size;
        const std::size_t piece = std::min<std::size_t>(size - filled, 1 << 20);
        const ssize_t n = full ? ::read(fd, &probe, 1) : ::read(fd, buffer + filled, piece);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(path + ": " + system_error_text(errno));
        }
        if (n == 0) {
            if (filled != size) return std::optional<bool>();
            return std::optional<bool>(valid && is_valid_utf8(std::string_view(buffer + checked, size - checked)));
        }
        if (full) return std::optional<bool>();
        filled += static_cast<std::size_t>(n);
        if (valid) {
            const std::size_t boundary = checked + sequence_boundary(buffer + checked, filled - checked);
            valid = is_valid_utf8(std::string_view(buffer + checked, boundary - checked));
            checked = boundary;
        }
    }
}

#if defined(__SSE2__)
// Sixteen bytes at a time: each comparison gives -1 in every byte that holds a line feed, so
// subtracting it counts per byte lane; the lanes are added up before any can pass 255.
std::size_t count_line_feeds(std::string_view text) {
    const __m128i feeds = _mm_set1_epi8('\n');
    std::size_t count = 0;
    std::size_t i = 0;
    while (i + 16 <= text.size()) {
        __m128i lanes = _mm_setzero_si128();
        const std::size_t end = std::min(text.size() & ~std::size_t{15}, i + 255 * 16);
        for (; i < end; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, feeds));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    }
    for (; i < text.size(); ++i) count += text[i] == '\n' ? 1 : 0;
    return count;
}
#else
std::size_t count_line_feeds(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}
#endif

}  // namespace

Result<FileText> FileText::read(std::string_view path, const ReadPolicy& policy) {
    FileText file;
    const std::string p(path);
    // A file past the policy's limit goes to read_text_file, which refuses it.
    auto fits = [&](const struct stat& info) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        return S_ISREG(info.st_mode) && size >= release_threshold && size <= policy.max_bytes;
    };
    struct stat info {};
    bool valid = false;
    if (::stat(p.c_str(), &info) == 0 && fits(info)) {
        const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(p + ": " + system_error_text(errno));
        // The size is taken again from the file opened, which may not be the one looked at.
        if (::fstat(fd, &info) == 0 && fits(info)) {
            const auto size = static_cast<std::size_t>(info.st_size);
            void* pages = pages::map(size);
            if (pages != nullptr) {
                file.pages_ = static_cast<char*>(pages);
                file.size_ = size;
                auto exact = read_exactly(fd, file.pages_, size, p);
                if (!exact) {
                    ::close(fd);
                    return fail(exact.take_error());
                }
                valid = *exact == std::optional<bool>(true);
                // A file that changed meanwhile is read again as a whole below.
                if (!exact->has_value()) {
                    pages::unmap(file.pages_, file.size_);
                    file.pages_ = nullptr;
                    file.size_ = 0;
                }
            }
        }
        ::close(fd);
    }
    if (file.pages_ == nullptr) {
        auto text = read_text_file(path, policy);
        if (!text) return fail(text.take_error());
        file.read_ = std::move(text).value();
        return file;
    }
    if (!valid) return fail(p + ": stream did not contain valid UTF-8");
    return file;
}

FileText::FileText(FileText&& other) noexcept
    : read_(std::move(other.read_)),
      pages_(other.pages_),
      size_(other.size_),
      released_(other.released_),
      kept_(other.kept_) {
    other.pages_ = nullptr;
    other.size_ = 0;
}

FileText::~FileText() {
    if (pages_ != nullptr) pages::unmap(pages_, size_);
}

void FileText::release_before(std::size_t offset) {
    if (pages_ == nullptr || offset <= kept_.offset) return;
    offset = std::min(offset, size_);
    // Keep the whole line that holds the offset: an error there is shown with all of it.
    const std::string_view before(pages_ + kept_.offset, offset - kept_.offset);
    const std::size_t last_feed = before.rfind('\n');
    if (last_feed == std::string_view::npos) return;
    const std::size_t line_start = kept_.offset + last_feed + 1;
    kept_.lines_before += count_line_feeds(before.substr(0, last_feed + 1));
    kept_.offset = line_start;
    const std::size_t end = pages::whole_pages_before(size_, line_start);
    if (end <= released_) return;
    pages::release(pages_, released_, end);
    released_ = end;
}

}  // namespace qeld
