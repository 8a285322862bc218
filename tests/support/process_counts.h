// What this process holds of the system, for tests that check nothing is left behind: its
// open descriptors (handles on Windows) and its threads.
#pragma once

#include <cstddef>

namespace tide::testing {

size_t OpenDescriptors();
size_t RunningThreads();

}  // namespace tide::testing
