// Message memory: a block of a large page or more in system pages of its own, first
// against large pages, then large page by large page for them as a message arrives in
// order; a smaller block, and every one in the sanitizer builds, from the heap.
#include "receiver/message_memory.h"

#include <algorithm>
#include <new>

#include "receiver/system_pages.h"

namespace tide {

namespace {

bool Mapped(size_t bytes) { return kSystemPages && bytes >= kLargePageBytes; }

}  // namespace

uint8_t* AllocateMessageMemory(size_t bytes) {
    if (!Mapped(bytes)) return new (std::nothrow) uint8_t[bytes];
    const size_t length = LargePagesFor(bytes);
    return length == 0 ? nullptr : MapPages(length, false);
}

size_t MarkForLargePages(uint8_t* memory, size_t bytes, size_t from, size_t to) {
    if (!memory || !Mapped(bytes)) return bytes;
    const size_t first = from / kLargePageBytes * kLargePageBytes;
    const size_t end = std::min(LargePagesFor(bytes), LargePagesFor(to));
    if (end <= first) return std::max(from, to);
    if (!AskLargePages(memory + first, end - first)) return bytes;
    return std::min(bytes, end);
}

void FreeMessageMemory(uint8_t* memory, size_t bytes) {
    if (!memory) return;
    if (!Mapped(bytes)) {
        delete[] memory;
        return;
    }
    UnmapPages(memory, LargePagesFor(bytes));
}

}  // namespace tide
