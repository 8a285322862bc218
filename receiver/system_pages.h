// Memory in whole pages straight from the system, outside the heap, for what the listener
// keeps in bulk: message buffers and the slabs its receive blocks are carved from. The
// part that differs between systems (system_pages_posix.cpp: mmap, and huge pages where
// Linux gives them; system_pages_windows.cpp: VirtualAlloc).
//
// A small page written for the first time costs a fault (on the project's virtual
// machines up to 20 us); a huge page of 2 MiB costs one fault for 512 of them, and is
// resident whole from the first byte written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tide {

// The size of a large page, and the granule system pages are handed out in.
constexpr size_t kLargePageBytes = 2 * 1024 * 1024;

// Whether system pages are used at all. Not in the sanitizer builds: their checks see
// only the heap, so every block there comes from it, one by one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSystemPages = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSystemPages = false;
#else
constexpr bool kSystemPages = true;
#endif
#else
constexpr bool kSystemPages = true;
#endif

// `bytes` rounded up to whole large pages; 0 when that does not fit in a size_t.
constexpr size_t LargePagesFor(size_t bytes) {
    return bytes > SIZE_MAX - (kLargePageBytes - 1)
               ? 0
               : (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
}

// `bytes` bytes (a multiple of kLargePageBytes) of zeroed memory, aligned to kLargePageBytes
// where the system allows. With `largeNow`, asked to be backed by large pages at once;
// without, by small pages until AskLargePages. Null when the system has none to give.
uint8_t* MapPages(size_t bytes, bool largeNow);
// Asks for large pages behind `bytes` bytes from `at` (both multiples of kLargePageBytes
// from a MapPages block): pages about to be written whole. False where the system takes
// no such requests from an ordinary process, so that the caller need not ask again.
bool AskLargePages(uint8_t* at, size_t bytes);
// Gives back a block MapPages made with the same `bytes`; null is ignored.
void UnmapPages(uint8_t* memory, size_t bytes);

}  // namespace tide
