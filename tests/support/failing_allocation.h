#pragma once
// Makes the unit tests' global operator new fail on demand, to test what a copy leaves behind
// when an allocation inside it throws.

namespace qeld::testing {

// The next `count` allocations succeed and the one after throws std::bad_alloc; every later one
// succeeds again. A negative count turns the failure off.
void fail_allocation_after(long count);

// Whether the failure armed by fail_allocation_after has happened.
bool allocation_failed();

}  // namespace qeld::testing
