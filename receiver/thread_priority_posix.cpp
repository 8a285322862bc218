// The receive thread's priority on Linux: a lower nice value for this thread alone (Linux
// keeps one per thread), which the scheduler turns into a larger share of a busy core and
// an earlier turn when a datagram wakes the thread. Lowering a nice value takes
// CAP_SYS_NICE, or an RLIMIT_NICE that allows it; otherwise the thread stays as it is.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "receiver/thread_priority.h"

namespace tide {

namespace {

// How many nice steps the receive thread is raised by: about nine times the weight of a
// thread at the same nice value as the host's.
constexpr int kNiceSteps = 10;
constexpr int kHighestNice = -20;

}  // namespace

void RaiseReceivePriority() {
    const id_t thread = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0) return;
    const int wanted = std::max(nice - kNiceSteps, kHighestNice);
    if (wanted >= nice || setpriority(PRIO_PROCESS, thread, wanted) == 0) return;
    // Without the privilege, as far as RLIMIT_NICE allows: a limit of n lets the thread
    // down to a nice value of 20 - n.
    rlimit allowance{};
    if (getrlimit(RLIMIT_NICE, &allowance) != 0 || allowance.rlim_cur == RLIM_INFINITY) return;
    const int lowest = 20 - static_cast<int>(std::min<rlim_t>(allowance.rlim_cur, 40));
    const int reachable = std::max(wanted, lowest);
    if (reachable < nice) setpriority(PRIO_PROCESS, thread, reachable);
}

}  // namespace tide
