// Facts about the system the tests run on that a few tests must know.
#pragma once

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TIDE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TIDE_SANITIZED 1
#endif
#endif

namespace tide::testing {

// True in the sanitizer builds, whose allocators keep what is freed for a while and whose
// checks see only the heap.
#ifdef TIDE_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// True when this Windows program runs under Wine, whose sockets are Linux's: a socket
// bound to a port gets the datagrams of every group any socket of the machine joined
// on it, which Windows itself never hands over.
inline bool UnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

// True when this program runs on an emulated processor (the 32-bit build under QEMU's
// user-mode emulation, where the machine runs no 32-bit programs itself): the build
// says so in TIDE_UNDER_EMULATION. QEMU 7.2 passes some of Linux's socket options
// through wrongly or not at all (IP_MULTICAST_ALL is refused, SO_MEMINFO answers four
// bytes), and its sense of time is not the machine's.
inline bool UnderEmulation() { return std::getenv("TIDE_UNDER_EMULATION") != nullptr; }

}  // namespace tide::testing
