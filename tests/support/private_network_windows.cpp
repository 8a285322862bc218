// Private network for tests on Windows, which runs under Wine: a Windows process cannot
// make a network namespace, so it only checks that it was started inside one that this
// project made (./tide runs Wine there), and that an outside address is unreachable.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>

#include "tests/support/private_network.h"

namespace tide::testing {

namespace {

// Connecting a datagram socket only looks up the route: nothing is sent. Winsock stays
// started for the tests' own sockets.
bool OutsideIsUnreachable() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    SOCKET probe = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    bool unreachable = false;
    if (probe != INVALID_SOCKET) {
        sockaddr_in outside{};
        outside.sin_family = AF_INET;
        outside.sin_port = htons(9);
        inet_pton(AF_INET, "192.0.2.1", &outside.sin_addr);
        unreachable = connect(probe, reinterpret_cast<sockaddr*>(&outside), sizeof outside) != 0;
        closesocket(probe);
    }
    return unreachable;
}

}  // namespace

bool EnterPrivateNetwork(std::string* error) {
    const char* marker = std::getenv(kPrivateNetworkVariable);
    if (!marker || !*marker) {
        *error =
            "not inside a private network namespace: run it with ./tide wine inside one (./tide test does)";
        return false;
    }
    if (!OutsideIsUnreachable()) {
        *error = "an outside address is reachable from here";
        return false;
    }
    return true;
}

}  // namespace tide::testing
