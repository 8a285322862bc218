// What this process holds of the system, for tests that check nothing is left behind: its
// open descriptors (handles on Windows), its threads and its resident memory.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/waiting.h"

namespace tide::testing {

size_t OpenDescriptors();
// The bytes of memory this process has resident now (its working set on Windows).
size_t ResidentBytes();
// The ids of this process's threads, in ascending order.
std::vector<uint64_t> RunningThreadIds();

// How many of the threads running now were not among `before` (RunningThreadIds): the
// threads started since, whatever became of the ones that were running then. A count
// alone would take a thread that was on its way out at `before`, joined already but still
// in the system's books, for one that a test left running (under QEMU's user-mode
// emulation such a thread stays there for a while after its join).
inline size_t ThreadsStartedSince(const std::vector<uint64_t>& before) {
    const std::vector<uint64_t> now = RunningThreadIds();
    return static_cast<size_t>(std::count_if(now.begin(), now.end(), [&](uint64_t id) {
        return !std::binary_search(before.begin(), before.end(), id);
    }));
}

// ThreadsStartedSince(before) once it is `expected`, or as it stands when `bound` has
// passed: a joined thread can linger in the system's books for a moment after the join
// returned.
inline size_t ThreadsStartedSinceSettledAt(const std::vector<uint64_t>& before, size_t expected,
                                           std::chrono::steady_clock::duration bound = DeliveryWait()) {
    WaitUntil([&] { return ThreadsStartedSince(before) == expected; }, bound);
    return ThreadsStartedSince(before);
}

}  // namespace tide::testing
