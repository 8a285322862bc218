// libFuzzer target: arbitrary byte strings, sent as datagrams from several senders to a
// Tidelisten object of the loaded module, and delivered through the emulated host's
// notifications to a script object's handlers: the path every received datagram takes,
// the receive thread and the socket included. Runs in a private network namespace of its
// own. The input format is that of fuzz/delivery_target.h.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/delivery_target.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/waiting.h"
#include "tests/support/wire.h"

namespace {

using tide::testing::Bytes;
namespace emulator = tide::emulator;

constexpr const char* kGroup = "239.255.66.1";
constexpr uint16_t kPort = 45001;
// Room for datagrams longer than the receiver takes, so that cutting them is exercised.
constexpr size_t kLongestSentBytes = tide::kDatagramBytes + 64;
// A delivery that has not come after this long never will: the receiver is stuck.
constexpr std::chrono::seconds kStuckAfter{20};

// Where records come from: loopback and the private card, a sender text of full length,
// and two sockets sharing an address, so that sender changes by port alone happen too.
struct SenderAddress {
    const char* address;
    uint16_t port;  // 0: any
};
constexpr SenderAddress kSenders[] = {
    {"127.0.0.1", 0},
    {"127.0.0.1", 0},
    {"127.0.0.2", 40000},
    {tide::testing::kPrivateCardAddress, 0},
    {tide::testing::kLongestLocalAddress, 65535},
    {"127.255.255.254", 1},
    {"127.0.0.3", 0},
    {"127.0.0.1", 0},
};

class SocketTarget final : public tide::fuzzing::DeliveryTarget {
    static_assert(sizeof kSenders / sizeof kSenders[0] == kSenderCount, "a sender for every choice");

    bool Prepare(std::string* error) override {
        // The full-length sender text's address is on loopback in every private network.
        for (const SenderAddress& from : kSenders) {
            senders.push_back(
                std::make_unique<tide::testing::RawSender>(kGroup, kPort, from.address, from.port));
            if (!senders.back()->bound) {
                *error = std::string("cannot bind a sender to ") + from.address;
                return false;
            }
            senderTexts.insert(std::string(from.address) + ":" + std::to_string(senders.back()->sourcePort));
        }
        sentinelSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
        resetSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
        senderTexts.insert("127.0.0.1:" + std::to_string(sentinelSender->sourcePort));
        return true;
    }

    void Attach() override {
        TIDE_FUZZ_CHECK(listener->Open(kPort, kGroup) == 0, "the receiver joins its group");
        listener->Start();
    }

    void Send(size_t sender, const uint8_t* bytes, size_t length, bool twice) override {
        const Bytes datagram(bytes, bytes + std::min(length, kLongestSentBytes));
        senders[sender]->Send(datagram);
        if (twice) senders[sender]->Send(datagram);
    }

    void SendReset(const Bytes& datagram) override { resetSender->Send(datagram); }

    // Sends the sentinel and notifies until it has been delivered: every datagram sent
    // before it has been delivered by then. A receiver that stops delivering is a fault.
    void DeliverEverything() override {
        sentinelSeen = false;
        ++sentinelIndex;
        Bytes sentinel(tide::kHeaderBytes + 2, 0);
        tide::WriteHeader(sentinel.data(), {tide::kTypeText, sentinelIndex, kSentinelTotal, 0, 2, 1, 1});
        sentinelSender->Send(sentinel);
        const bool delivered = tide::testing::PumpUntil(
            host, [&] { return sentinelSeen; }, kStuckAfter);
        TIDE_FUZZ_CHECK(delivered || host.Notify() != 0, "no receiver is registered for notifications");
        TIDE_FUZZ_CHECK(delivered, "the receiver stopped delivering: a sentinel never came");
    }

    std::vector<std::unique_ptr<tide::testing::RawSender>> senders;
    std::unique_ptr<tide::testing::RawSender> sentinelSender;
    std::unique_ptr<tide::testing::RawSender> resetSender;
};

}  // namespace

// A host short of memory past 64 MiB: messages and BufferSize values larger than that
// take the path of a buffer that cannot be had.
extern "C" const char* __asan_default_options() { return TIDE_FUZZ_SHORT_OF_MEMORY; }

TIDE_FUZZ_ENTRIES(SocketTarget, "fuzz_delivery")
