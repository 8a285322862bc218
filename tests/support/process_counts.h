// What this process holds of the system, for tests that check nothing is left behind: its
// open descriptors (handles on Windows) and its threads.
#pragma once

#include <chrono>
#include <cstddef>

#include "tests/support/waiting.h"

namespace tide::testing {

size_t OpenDescriptors();
size_t RunningThreads();

// The thread count once it is `expected`, or as it stands when `bound` has passed: a
// joined thread can linger in the system's books for a moment after the join returned.
inline size_t ThreadsSettledAt(size_t expected, std::chrono::steady_clock::duration bound = kDeliveryWait) {
    WaitUntil([&] { return RunningThreads() == expected; }, bound);
    return RunningThreads();
}

}  // namespace tide::testing
