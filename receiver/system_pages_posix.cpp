// System pages on POSIX systems: anonymous private mappings, aligned to huge pages, and on
// Linux marked for them (MADV_HUGEPAGE: the system often leaves them to such requests) or
// against them (MADV_NOHUGEPAGE: where the system's transparent huge pages are always on,
// a byte written far ahead would otherwise bring in a whole huge page).
#include <sys/mman.h>

#include "receiver/system_pages.h"

namespace tide {

namespace {

bool Advise(uint8_t* at, size_t bytes, bool large) {
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
    madvise(at, bytes, large ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    return true;
#else
    (void)at, (void)bytes, (void)large;
    return false;
#endif
}

}  // namespace

uint8_t* MapPages(size_t bytes, bool largeNow) {
    if (bytes == 0 || bytes + kLargePageBytes < bytes) return nullptr;
    // One large page more than needed, so that an aligned run of `bytes` lies inside; the
    // ends beyond it go back at once.
    void* mapped =
        mmap(nullptr, bytes + kLargePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + bytes + kLargePageBytes;
    if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
    auto* memory = reinterpret_cast<uint8_t*>(aligned);
    Advise(memory, bytes, largeNow);
    return memory;
}

bool AskLargePages(uint8_t* at, size_t bytes) { return at && bytes > 0 && Advise(at, bytes, true); }

void UnmapPages(uint8_t* memory, size_t bytes) {
    if (memory) munmap(memory, bytes);
}

}  // namespace tide
