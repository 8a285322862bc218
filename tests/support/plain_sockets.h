// The socket calls the tests' own peers use, as both systems have them: the Berkeley API,
// with Winsock's names for the few that differ. Winsock is started by the test main.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tide::testing {

#ifdef _WIN32
using SocketHandle = SOCKET;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
inline void CloseSocket(SocketHandle socket) { closesocket(socket); }
#else
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
inline void CloseSocket(SocketHandle socket) { close(socket); }
#endif

// True when `socket` has a datagram waiting within `milliseconds`.
inline bool WaitReadable(SocketHandle socket, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(static_cast<int>(socket) + 1, &readable, nullptr, nullptr, &timeout) == 1;
}

inline bool SetOption(SocketHandle socket, int level, int name, const void* value, int length) {
    return setsockopt(socket, level, name, static_cast<const char*>(value), length) == 0;
}

// A datagram socket bound to `address` and `port` (0: any), a port other sockets may
// bind too; `*bound` tells whether the bind worked.
inline SocketHandle BoundSocket(in_addr address, uint16_t port, bool* bound) {
    const SocketHandle fd = socket(AF_INET, SOCK_DGRAM, 0);
    int one = 1;
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr = address;
    *bound = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    return fd;
}

}  // namespace tide::testing
