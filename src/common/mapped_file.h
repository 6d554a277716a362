#pragma once
// The whole text of a file for one pass of a reader from its start to its end. A large regular
// file is mapped, so that the reader can give back the pages behind it and the text never needs
// to be resident whole; any other file is read as read_text_file reads it.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld {

class MappedFile {
public:
    // Regular files from this size on are mapped.
    static constexpr std::size_t map_threshold = 1024 * 1024;

    // The failures are those of read_text_file: "{path}: {system text}" and
    // "{path}: stream did not contain valid UTF-8".
    static Result<MappedFile> open(std::string_view path);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::string_view text() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(read_); }
    bool mapped() const { return mapped_ != nullptr; }

    // Tells that the text before the offset will not be read again soon: the memory of its
    // pages may be given back. The text stays readable: a page read again comes back from the
    // file.
    void release_before(std::size_t offset) const;

    // Fails with "{path}: Input/output error ..." when the file shrank while it was mapped. The
    // text then reads as zero bytes past the new end instead of stopping the process, so that
    // the reader finishes, but what it read is not the file.
    Status status() const;

private:
    MappedFile() = default;

    std::string path_;
    std::string read_;
    const char* mapped_ = nullptr;
    std::size_t size_ = 0;
    int guard_ = -1;                    // the slot of the mapping in the bus-error guard
    mutable std::size_t released_ = 0;  // the text before this offset was given back
};

}  // namespace qeld
