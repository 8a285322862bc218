// The calling thread's CPU time on Windows: its kernel and user times from GetThreadTimes,
// kept by the system in 100 ns units and advanced a clock tick at a time. Wine answers it
// for the current thread from the kernel's account of that thread (/proc's per-thread
// figures, in 10 ms ticks). QueryThreadCycleTime would count finer on Windows, but it
// counts processor cycles, not seconds, and Wine answers it with a failure.
#include <windows.h>

#include <cstdint>

#include "emulator/tidehost/thread_cpu.h"

namespace tide::tidehost {

namespace {

uint64_t HundredNanoseconds(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

double ThreadCpuSeconds() {
    FILETIME created{}, ended{}, kernel{}, user{};
    // GetCurrentThread's pseudo handle always has the access this needs.
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
    return static_cast<double>(HundredNanoseconds(kernel) + HundredNanoseconds(user)) * 1e-7;
}

}  // namespace tide::tidehost
