// Whether an IPv4 address belongs to an interface of this machine, the part of choosing a
// local interface that differs between systems (local_addresses_posix.cpp asks
// getifaddrs, local_addresses_windows.cpp GetAdaptersAddresses). A bind to the address
// would not tell: Wine binds a datagram socket to any address it is given. Any thread.
#pragma once

#include <cstdint>

namespace tide {

// `address` in host byte order.
bool IsLocalAddress(uint32_t address);

}  // namespace tide
