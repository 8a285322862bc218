// Plain sockets for tests: what any peer on the network would see (WireProbe, joined to
// a group) and what any peer could send (RawSender, from a source address and port of
// the test's choosing). Only ever used inside the tests' private network.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "receiver/datagram.h"
#include "tests/support/plain_sockets.h"

namespace tide::testing {

using Bytes = std::vector<uint8_t>;

// Long enough for a datagram on loopback to arrive; reached only when one is missing.
constexpr int kArrivalWaitMilliseconds = 5000;
// How long to listen for a datagram that must not come.
constexpr int kSilenceMilliseconds = 200;

class WireProbe {
public:
    WireProbe(const char* group, uint16_t port) {
        in_addr any{};
        any.s_addr = htonl(INADDR_ANY);
        fd = BoundSocket(any, port, &bound);
        ip_mreq membership{};
        inet_pton(AF_INET, group, &membership.imr_multiaddr);
        membership.imr_interface.s_addr = htonl(INADDR_ANY);
        joined = SetOption(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
    }
    ~WireProbe() { CloseSocket(fd); }
    WireProbe(const WireProbe&) = delete;
    WireProbe& operator=(const WireProbe&) = delete;

    // The next datagram, as long as it really is; empty when none came.
    Bytes Next(int waitMilliseconds = kArrivalWaitMilliseconds) {
        if (!WaitReadable(fd, waitMilliseconds)) return {};
        Bytes datagram(65536);
        const auto n =
            recv(fd, reinterpret_cast<char*>(datagram.data()), static_cast<int>(datagram.size()), 0);
        datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return datagram;
    }

    // Exactly `count` datagrams, then silence.
    std::vector<Bytes> Take(size_t count) {
        std::vector<Bytes> datagrams;
        for (size_t i = 0; i < count; ++i) {
            Bytes datagram = Next();
            if (datagram.empty()) {
                ADD_FAILURE() << "datagram " << i << " of " << count << " did not come";
                return datagrams;
            }
            datagrams.push_back(std::move(datagram));
        }
        EXPECT_TRUE(Next(kSilenceMilliseconds).empty()) << "more than " << count << " datagrams";
        return datagrams;
    }

    SocketHandle fd = kNoSocket;
    bool bound = false;
    bool joined = false;
};

class RawSender {
public:
    // Sends from `source` (an address of this machine) and `sourcePort` (0: any).
    RawSender(const char* group, uint16_t port, const char* source = "127.0.0.1", uint16_t sourcePort = 0) {
        in_addr from{};
        inet_pton(AF_INET, source, &from);
        fd = BoundSocket(from, sourcePort, &bound);
        in_addr loopback{};
        inet_pton(AF_INET, "127.0.0.1", &loopback);
        SetOption(fd, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        this->sourcePort = ntohs(local.sin_port);
        destination.sin_family = AF_INET;
        destination.sin_port = htons(port);
        inet_pton(AF_INET, group, &destination.sin_addr);
    }
    ~RawSender() { CloseSocket(fd); }
    RawSender(const RawSender&) = delete;
    RawSender& operator=(const RawSender&) = delete;

    bool Send(const Bytes& datagram) {
        const long long sent =
            sendto(fd, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0,
                   reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        return sent == static_cast<long long>(datagram.size());
    }

    SocketHandle fd = kNoSocket;
    bool bound = false;
    uint16_t sourcePort = 0;
    sockaddr_in destination{};
};

// A full-length datagram with the given header and payload bytes at offset 28.
inline Bytes MakeDatagram(const DatagramHeader& header, const Bytes& payload = {}) {
    Bytes datagram(static_cast<size_t>(kDatagramBytes), 0);
    WriteHeader(datagram.data(), header);
    if (!payload.empty())
        std::memcpy(datagram.data() + kPayloadOffset, payload.data(),
                    std::min(payload.size(), static_cast<size_t>(kDatagramBytes - kPayloadOffset)));
    return datagram;
}

// Fragment `tindex` of `message`, sent as message number `index`, as any peer cuts it.
inline Bytes MessageFragment(const Bytes& message, int32_t index, int32_t tindex) {
    const int32_t total = static_cast<int32_t>(message.size());
    const int32_t offset = (tindex - 1) * kFragmentBytes;
    const int32_t size = std::min(kFragmentBytes, total - offset);
    return MakeDatagram({kTypeBinary, index, total, offset, size, FragmentCount(total), tindex},
                        Bytes(message.begin() + offset, message.begin() + offset + size));
}

inline DatagramHeader HeaderOf(const Bytes& datagram) { return ReadHeader(datagram.data()); }

// `count` bytes counting up from `first`, so that misplaced bytes show.
inline Bytes Pattern(size_t count, uint32_t first = 0) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((first + i) * 7 + (first + i) / 251);
    return bytes;
}

}  // namespace tide::testing
