// The CPU time of the calling thread, which host.cpu() reports: the part that differs
// between systems (thread_cpu_posix.cpp: the thread's CPU clock; thread_cpu_windows.cpp:
// the thread's times as Windows keeps them).
#pragma once

namespace tide::tidehost {

// Seconds of CPU time, user and system together, that the calling thread has used since
// it began. On Linux it counts to the nanosecond. On Windows the system adds a thread's
// time up in whole clock ticks (about 15.6 ms; under Wine on Linux, the kernel's 10 ms),
// so a difference of two answers is good only to a tick: measure what takes many ticks.
double ThreadCpuSeconds();

}  // namespace tide::tidehost
