#include "support/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace qeld::testing {

namespace {
long remaining = -1;
bool failed = false;
}  // namespace

void fail_allocation_after(long count) {
    remaining = count;
    failed = false;
}

bool allocation_failed() { return failed; }

}  // namespace qeld::testing

// Every replaceable form but the aligned ones, so that each pair of new and delete matches.
void* operator new(std::size_t size) {
    using namespace qeld::testing;
    if (remaining == 0) {
        remaining = -1;
        failed = true;
        throw std::bad_alloc();
    }
    if (remaining > 0) --remaining;
    // As the standard operator new does: the new handler may free memory, end the process, or
    // throw; without one the allocation fails.
    for (;;) {
        if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* operator new[](std::size_t size) { return operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
