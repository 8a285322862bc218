// System pages on Windows: committed reservations of VirtualAlloc, small pages only.
// Large pages there need a privilege (SeLockMemoryPrivilege) an ordinary process lacks,
// and Windows makes a fresh page present far more cheaply than the virtual machines huge
// pages are for; what a reservation of its own still buys is memory that goes back to
// the system whole when it is given back, not into a heap that keeps it.
#include <windows.h>

#include "receiver/system_pages.h"

namespace tide {

uint8_t* MapPages(size_t bytes, bool) {
    if (bytes == 0) return nullptr;
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

bool AskLargePages(uint8_t*, size_t) { return false; }

void UnmapPages(uint8_t* memory, size_t) {
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace tide
