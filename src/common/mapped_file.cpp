#include "common/mapped_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/file.h"
#include "common/system_error.h"
#include "common/utf8.h"

namespace qeld {

namespace {

// Reading a mapped page that lies past the end of a file that shrank raises SIGBUS. The guard
// turns that into zero bytes: its handler maps zero pages over the rest of the text and marks
// the mapping, whose owner then reports an input/output error. Faults outside every guarded
// mapping go to the handler that was there before.
struct GuardSlot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> shrank{false};
};

constexpr int guard_slots = 8;
GuardSlot guard_table[guard_slots];
struct sigaction previous_bus_action;

void on_bus_error(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : guard_table) {
        const std::uintptr_t begin = slot.begin.load();
        const std::size_t size = slot.size.load();
        if (begin == 0 || at < begin || at >= begin + size) continue;
        const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const std::uintptr_t from = at & ~(page - 1);
        ::mmap(reinterpret_cast<void*>(from), begin + size - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
               -1, 0);
        slot.shrank.store(true);
        return;
    }
    if (previous_bus_action.sa_flags & SA_SIGINFO) {
        previous_bus_action.sa_sigaction(signal, info, context);
    } else if (previous_bus_action.sa_handler != SIG_IGN && previous_bus_action.sa_handler != SIG_DFL) {
        previous_bus_action.sa_handler(signal);
    } else {
        // Returning runs the faulting access again, which now ends the process as it would have.
        ::signal(signal, SIG_DFL);
    }
}

bool install_guard() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = on_bus_error;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &previous_bus_action) == 0;
    }();
    return installed;
}

// A free slot of the guard for the mapping, or -1.
int guard(const char* begin, std::size_t size) {
    if (!install_guard()) return -1;
    for (int i = 0; i < guard_slots; ++i) {
        std::uintptr_t expected = 0;
        GuardSlot& slot = guard_table[i];
        if (slot.begin.load() != 0) continue;
        slot.size.store(size);
        slot.shrank.store(false);
        if (slot.begin.compare_exchange_strong(expected, reinterpret_cast<std::uintptr_t>(begin))) return i;
    }
    return -1;
}

void unguard(int slot) {
    if (slot >= 0) guard_table[slot].begin.store(0);
}

}  // namespace

Result<MappedFile> MappedFile::open(std::string_view path) {
    MappedFile file;
    file.path_ = std::string(path);
    struct stat info {};
    const bool large_regular =
        ::stat(file.path_.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) >= map_threshold;
    if (large_regular) {
        const int fd = ::open(file.path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(file.path_ + ": " + system_error_text(errno));
        // The size is taken again from the file opened, which may not be the one looked at.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) >= map_threshold) {
            const auto size = static_cast<std::size_t>(info.st_size);
            void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                file.guard_ = guard(static_cast<const char*>(p), size);
                if (file.guard_ < 0) {
                    ::munmap(p, size);
                } else {
                    file.mapped_ = static_cast<const char*>(p);
                    file.size_ = size;
                }
            }
        }
        ::close(fd);
    }
    if (file.mapped_ == nullptr) {
        auto text = read_text_file(path);
        if (!text) return fail(text.take_error());
        file.read_ = std::move(text).value();
        return file;
    }
    const bool valid = is_valid_utf8(file.text());
    QELD_TRY(file.status());
    if (!valid) return fail(file.path_ + ": stream did not contain valid UTF-8");
    // The check read every page; the reader brings back the ones it reads.
    file.release_before(file.size_);
    file.released_ = 0;
    return file;
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : path_(std::move(other.path_)),
      read_(std::move(other.read_)),
      mapped_(other.mapped_),
      size_(other.size_),
      guard_(other.guard_),
      released_(other.released_) {
    other.mapped_ = nullptr;
    other.size_ = 0;
    other.guard_ = -1;
}

MappedFile::~MappedFile() {
    if (mapped_ == nullptr) return;
    unguard(guard_);
    ::munmap(const_cast<char*>(mapped_), size_);
}

void MappedFile::release_before(std::size_t offset) const {
    if (mapped_ == nullptr) return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = offset >= size_ ? size_ : offset & ~(page - 1);
    if (end <= released_) return;
    ::madvise(const_cast<char*>(mapped_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

Status MappedFile::status() const {
    if (guard_ >= 0 && guard_table[guard_].shrank.load()) return fail(path_ + ": " + system_error_text(EIO));
    return {};
}

}  // namespace qeld
