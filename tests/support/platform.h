// Facts about the system the tests run on that a few tests must know.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace tide::testing {

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

}  // namespace tide::testing
