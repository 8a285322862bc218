// The calling thread's CPU time on POSIX systems: its own CPU clock.
#include <time.h>

#include "emulator/tidehost/thread_cpu.h"

namespace tide::tidehost {

double ThreadCpuSeconds() {
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

}  // namespace tide::tidehost
