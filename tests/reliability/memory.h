// How much memory the process holds, for the reliability tests' checks that load costs
// only what is queued and that nothing stays behind. Any thread.
#pragma once

#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TIDE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TIDE_SANITIZED 1
#endif
#endif
#ifdef TIDE_SANITIZED
// The sanitizers' count of live heap bytes (their allocator_interface.h is not shipped
// with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tide::testing {

#ifdef TIDE_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

inline size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Heap bytes in use by every thread. Under a sanitizer, its own count; otherwise what
// the C library's arenas hold minus what lies free in them (malloc_info's totals).
inline size_t HeldBytes() {
#ifdef TIDE_SANITIZED
    return __sanitizer_get_current_allocated_bytes();
#else
    char* text = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&text, &length);
    malloc_info(0, stream);
    std::fclose(stream);
    const std::string info(text, length);
    std::free(text);
    auto total = [&](const std::string& tag) -> size_t {
        const size_t at = info.rfind(tag);
        if (at == std::string::npos) return 0;
        const size_t size = info.find("size=\"", at);
        return std::strtoull(info.c_str() + size + 6, nullptr, 10);
    };
    return total("<system type=\"current\"") + total("<total type=\"mmap\"") - total("<total type=\"fast\"") -
           total("<total type=\"rest\"");
#endif
}

}  // namespace tide::testing
