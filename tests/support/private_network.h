// Puts the calling process into a private network namespace of its own before any socket
// is opened: loopback with multicast on, the route 224.0.0.0/4 via loopback, and a veth
// pair whose both ends stay inside. Nothing sent from there can leave the machine.
// The one place this is set up: ./tide runs commands through tide_in_private_network.
// Call it from main, before any thread starts: a namespace change affects one thread.
#pragma once

#include <string>

namespace tide::testing {

// True when the process is in a private network set up by this project: either it just
// entered one, or it inherited one from a parent that did (the environment says which).
// On failure `error` says why, and the caller must not touch the network.
bool EnterPrivateNetwork(std::string* error);

// The environment variable that names the private network a process is in (the name of
// its /proc/self/ns/net link): a process in the namespace it names is in one already.
constexpr const char* kPrivateNetworkVariable = "TIDE_PRIVATE_NETNS";

// The address of the veth end inside the namespace: a stand-in for a network card.
constexpr const char* kPrivateCardAddress = "10.199.0.1";
// An address of the machine with the longest dotted form, on loopback, for tests of the
// texts that carry a sender's address and port.
constexpr const char* kLongestLocalAddress = "100.100.100.100";

}  // namespace tide::testing
