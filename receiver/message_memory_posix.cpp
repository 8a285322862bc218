// Message memory on POSIX systems. A block of a huge page or more is mapped on its own,
// aligned to huge pages, and on Linux first marked against them (MADV_NOHUGEPAGE: where
// the system's transparent huge pages are always on, a byte written far ahead would
// otherwise bring in a whole huge page), then huge page by huge page for them
// (MADV_HUGEPAGE: the system often leaves them to such requests) as a message arrives in
// order. A smaller block, and every one in the sanitizer builds (whose checks see only
// the heap), comes from the heap.
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "receiver/message_memory.h"

namespace tide {

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMapped = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kMapped = false;
#else
constexpr bool kMapped = true;
#endif
#else
constexpr bool kMapped = true;
#endif

bool Mapped(size_t bytes) { return kMapped && bytes >= kHugePage; }

size_t MappedBytes(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

uint8_t* AllocateMessageMemory(size_t bytes) {
    if (!Mapped(bytes)) return new (std::nothrow) uint8_t[bytes];
    const size_t length = MappedBytes(bytes);
    if (length < bytes || length + kHugePage < length) return nullptr;
    // One huge page more than needed, so that an aligned run of the length lies inside;
    // the ends beyond it go back at once.
    void* mapped =
        mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
#ifdef MADV_NOHUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), length, MADV_NOHUGEPAGE);
#endif
    return reinterpret_cast<uint8_t*>(aligned);
}

size_t MarkForLargePages(uint8_t* memory, size_t bytes, size_t from, size_t to) {
#ifdef MADV_HUGEPAGE
    if (!memory || !Mapped(bytes)) return bytes;
    const size_t first = from / kHugePage * kHugePage;
    const size_t end = std::min(MappedBytes(bytes), (to + kHugePage - 1) / kHugePage * kHugePage);
    if (end <= first) return std::max(from, to);
    madvise(memory + first, end - first, MADV_HUGEPAGE);
    return std::min(bytes, end);
#else
    (void)memory, (void)from, (void)to;
    return bytes;
#endif
}

void FreeMessageMemory(uint8_t* memory, size_t bytes) {
    if (!memory) return;
    if (!Mapped(bytes)) {
        delete[] memory;
        return;
    }
    munmap(memory, MappedBytes(bytes));
}

}  // namespace tide
