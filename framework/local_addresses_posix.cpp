// Local addresses from the system's list of interfaces.
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "framework/local_addresses.h"

namespace tide {

bool IsLocalAddress(uint32_t address) {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return false;
    bool found = false;
    for (const ifaddrs* at = interfaces; at && !found; at = at->ifa_next) {
        if (!at->ifa_addr || at->ifa_addr->sa_family != AF_INET) continue;
        found = ntohl(reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr.s_addr) == address;
    }
    freeifaddrs(interfaces);
    return found;
}

}  // namespace tide
