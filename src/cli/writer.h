#pragma once
// Byte sinks for standard output and standard error. Each write is one formatted text; a
// failed write is reported to the caller, which ignores it.

#include <string>
#include <string_view>

namespace qeld::cli {

class Writer {
public:
    virtual ~Writer() = default;
    // Writes the whole text; false when the stream refused it.
    virtual bool write(std::string_view text) = 0;
};

// Writes straight to a file descriptor: one system call per text where the kernel allows.
class FdWriter final : public Writer {
public:
    explicit FdWriter(int fd) : fd_(fd) {}
    bool write(std::string_view text) override;

private:
    int fd_;
};

// Collects the texts, for tests and fuzzing.
class StringWriter final : public Writer {
public:
    bool write(std::string_view text) override {
        text_.append(text);
        return true;
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace qeld::cli
