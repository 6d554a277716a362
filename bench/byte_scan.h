#pragma once
// The floor of any reader of a file: the file read and every byte classified by a simple loop,
// with nothing built from it.

#include <cstdint>
#include <string>

namespace qeld::bench {

struct ByteClasses {
    std::uint64_t newlines = 0;
    std::uint64_t quotes = 0;
    std::uint64_t brackets = 0;
    std::uint64_t other = 0;
};

// Reads the file and counts its bytes by class; all zero when it cannot be read.
ByteClasses read_and_scan(const std::string& path);

}  // namespace qeld::bench
