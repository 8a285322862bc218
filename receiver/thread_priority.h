// The receive thread's place in the system's scheduling: the part of the listener that
// differs between systems (thread_priority_posix.cpp: the thread's nice value;
// thread_priority_windows.cpp: SetThreadPriority).
#pragma once

namespace tide {

// Raises the calling thread's scheduling priority above that of the process's other
// threads, as far as the system lets the process do so by itself. The receive thread
// calls it as it starts, so that a host keeping every core busy still leaves it the
// processor time to take each datagram off the socket before the socket's buffer
// overflows. Where the system refuses (on Linux, a process without the privilege or the
// RLIMIT_NICE allowance to lower a nice value), the thread keeps the priority it had and
// nothing is reported.
void RaiseReceivePriority();

}  // namespace tide
