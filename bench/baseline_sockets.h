// The baselines: plain sockets against the socket API, as small as possible, so that they
// show what this machine can do at all. Benchmarks only, inside a private network.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "receiver/datagram.h"

namespace tide::bench {

inline sockaddr_in GroupAddress(const char* group, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, group, &address.sin_addr);
    return address;
}

// A socket bound to `port` and joined to `group`, with a receive buffer of `bufferBytes`
// (forced past the system's ceiling where allowed; 0 keeps the default).
inline int JoinedSocket(const char* group, uint16_t port, int bufferBytes) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bufferBytes > 0 && setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    ip_mreq membership{};
    inet_pton(AF_INET, group, &membership.imr_multiaddr);
    setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
    return fd;
}

// Sends `count` datagrams of kDatagramBytes as fast as sendto goes: the fragments of one
// binary message, so that a listener keeps every one (it drops what no handler could be
// given).
inline void SendBurst(const char* group, uint16_t port, long count) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = GroupAddress(group, port);
    std::vector<uint8_t> datagram(kDatagramBytes, 0x5A);
    const auto fragments = static_cast<int32_t>(count);
    for (int32_t i = 0; i < fragments; ++i) {
        WriteHeader(datagram.data(), {kTypeBinary, 1, fragments * kFragmentBytes, i * kFragmentBytes,
                                      kFragmentBytes, fragments, i + 1});
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(fd);
}

// Receives into one buffer until `idleMilliseconds` pass without a datagram; the count.
inline long DrainCount(int fd, int idleMilliseconds) {
    std::vector<uint8_t> buffer(65536);
    long count = 0;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, idleMilliseconds) != 1) return count;
        if (recv(fd, buffer.data(), buffer.size(), 0) > 0) ++count;
    }
}

}  // namespace tide::bench
