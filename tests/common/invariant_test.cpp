#include <gtest/gtest.h>

#include <cstddef>
#include <exception>
#include <new>
#include <stdexcept>

#include "common/invariant.h"

namespace qeld {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define QELD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELD_ASAN 1
#endif
#endif

using ::testing::ExitedWithCode;

TEST(InternalFailure, EndsWithOneLineAndStatus101) {
    EXPECT_EXIT(invariant_failure("a broken promise"), ExitedWithCode(101), "^internal error: a broken promise\n$");
}

TEST(InternalFailure, NamesTheExceptionBeingHandled) {
    const auto fail_with = [](auto thrown) {
        try {
            throw thrown;
        } catch (...) {
            fail_with_current_exception();
        }
    };
    EXPECT_EXIT(fail_with(std::length_error("basic_string::_M_create")), ExitedWithCode(101),
                "^internal error: basic_string::_M_create\n$");
    EXPECT_EXIT(fail_with(std::bad_alloc()), ExitedWithCode(101), "^internal error: out of memory\n$");
    EXPECT_EXIT(fail_with(7), ExitedWithCode(101), "^internal error: unknown exception\n$");
}

TEST(InternalFailure, ReplacesTheAbortOfTerminate) {
    const auto terminate_while_handling = [] {
        install_internal_failure_handlers();
        try {
            throw std::runtime_error("escaped");
        } catch (...) {
            std::terminate();
        }
    };
    EXPECT_EXIT(terminate_while_handling(), ExitedWithCode(101), "^internal error: escaped\n$");
    EXPECT_EXIT((install_internal_failure_handlers(), std::terminate()), ExitedWithCode(101),
                "^internal error: terminate called without an exception\n$");
}

#ifndef QELD_ASAN
// AddressSanitizer's allocator reports a failed allocation itself, before any new handler.
TEST(InternalFailure, MakesAFailedAllocationAnInternalFailure) {
    const auto allocate_too_much = [] {
        install_internal_failure_handlers();
        void* block = ::operator new(~std::size_t{0} / 2);
        ::operator delete(block);
    };
    EXPECT_EXIT(allocate_too_much(), ExitedWithCode(101), "^internal error: out of memory\n$");
}
#endif

}  // namespace
}  // namespace qeld
