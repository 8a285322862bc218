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

#include "tests/support/platform.h"
#include "tests/support/process_counts.h"

#ifdef TIDE_SANITIZED
// The sanitizers' count of live heap bytes (their allocator_interface.h is not shipped
// with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tide::testing {

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
