#pragma once
// The whole text of a file for one reader that goes from its start to its end. A large regular
// file is read into memory of its own, whose pages the reader gives back as it passes them, so
// that the text need not stay resident whole beside what is built from it; any other file is
// read as read_text_file reads it, and keeps all of its text.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/file.h"
#include "common/result.h"

namespace qeld {

class FileText {
public:
    // Regular files from this size on can give their pages back.
    static constexpr std::size_t release_threshold = 1024 * 1024;

    // The failures are those of read_text_file with the same policy.
    static Result<FileText> read(std::string_view path, const ReadPolicy& policy = user_named_file);

    FileText(FileText&& other) noexcept;
    FileText& operator=(FileText&&) = delete;
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    ~FileText();

    std::string_view text() const { return pages_ ? std::string_view(pages_, size_) : std::string_view(read_); }
    bool releasable() const { return pages_ != nullptr; }

    // Gives back the memory of the text before the line that holds the offset, in whole pages:
    // that part then reads as zero bytes. The reader must not need it again.
    void release_before(std::size_t offset);

    // Where the text is still whole: from a line start on, with the number of line feeds before it.
    struct Kept {
        std::size_t offset = 0;
        std::size_t lines_before = 0;
    };
    Kept kept() const { return kept_; }

private:
    FileText() = default;

    std::string read_;
    char* pages_ = nullptr;  // the text, in a mapping of pages::map(size_)
    std::size_t size_ = 0;
    std::size_t released_ = 0;  // the bytes before this offset were given back
    Kept kept_;
};

}  // namespace qeld
