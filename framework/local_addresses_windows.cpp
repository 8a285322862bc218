// Local addresses from the adapters' unicast addresses.
#include <winsock2.h>
// After winsock2.h, which they need.
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <memory>
#include <new>

#include "framework/local_addresses.h"

namespace tide {

bool IsLocalAddress(uint32_t address) {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG bytes = 16 * 1024;
    std::unique_ptr<unsigned char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list can grow between the call that sizes it and the one that fills it.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.reset(new (std::nothrow) unsigned char[bytes]);
        if (!buffer) return false;
        result = GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &bytes);
    }
    if (result != NO_ERROR) return false;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter;
         adapter = adapter->Next) {
        for (IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next) {
            const SOCKADDR* socketAddress = unicast->Address.lpSockaddr;
            if (socketAddress && socketAddress->sa_family == AF_INET &&
                ntohl(reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr.s_addr) == address)
                return true;
        }
    }
    return false;
}

}  // namespace tide
