// The receive thread's priority on Windows: one level above normal, which any process may
// give its own threads. Windows hands a processor to a ready thread of a higher level
// ahead of those below it, so the receive thread does not wait behind the host's threads
// of normal priority; one level does that, and leaves the levels above to the system's own
// work. Wine (8.0, as Debian ships it) keeps the level in its own books and does not pass
// it on to Linux's scheduler: under Wine the thread runs as at normal priority.
#include <windows.h>

#include "receiver/thread_priority.h"

namespace tide {

void RaiseReceivePriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

}  // namespace tide
