#pragma once
// Whole-file reading and writing; every failure message names the path.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qeld {

// What one read accepts. Every read is bounded, so that a device or a pipe that never ends
// cannot grow memory without end.
struct ReadPolicy {
    // Larger files and longer streams are refused.
    std::uint64_t max_bytes;
    // Only a regular file (after following symbolic links) is opened for reading: a FIFO, a
    // socket or a device is refused without blocking on it and without reading from it.
    bool regular_file_only;
};

inline constexpr std::uint64_t mebibyte = std::uint64_t{1} << 20;
inline constexpr std::uint64_t gibibyte = std::uint64_t{1} << 30;

// A file the user named: pipes and /dev/stdin are welcome.
inline constexpr ReadPolicy user_named_file{2 * gibibyte, false};
// A file that a document names (its schema): the document's author chose it, not the user.
inline constexpr ReadPolicy document_named_file{64 * mebibyte, true};

// The whole file as strict UTF-8 text, or "{path}: {system text}",
// "{path}: stream did not contain valid UTF-8", "{path}: not a regular file ({kind})" or
// "{path}: file is larger than the read limit of {size}".
Result<std::string> read_text_file(std::string_view path, const ReadPolicy& policy = user_named_file);

// Creates or truncates the file and writes the whole text, or "{path}: {system text}". Opening
// never waits: a FIFO without a reader is refused at once (ENXIO). A write that fails leaves the
// file empty.
Status write_whole_file(std::string_view path, std::string_view text);

}  // namespace qeld
