#pragma once
// Runs a test's work on a thread with a small stack: a walk that made a call per step of its input
// would overflow it, and crash the test, at an input size the test can afford.

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <pthread.h>

namespace qeld::testing {

// Enough for every bounded walk, also under AddressSanitizer; a call per step of a 20,000-step
// input would need several times more, even at a few words per frame.
inline constexpr std::size_t small_stack_bytes = 256 * 1024;

inline void run_on_small_stack(const std::function<void()>& work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, small_stack_bytes), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

}  // namespace qeld::testing
