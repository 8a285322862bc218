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
#include "tests/support/wire.h"

namespace {

using tide::testing::Bytes;
namespace emulator = tide::emulator;

constexpr const char* kGroup = "239.255.66.1";
constexpr uint16_t kPort = 45001;
// Room for datagrams longer than the receiver takes, so that cutting them is exercised.
constexpr size_t kLongestSentBytes = tide::kDatagramBytes + 64;

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
            script->senderTexts.insert(std::string(from.address) + ":" +
                                       std::to_string(senders.back()->sourcePort));
        }
        sentinelSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
        resetSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
        script->senderTexts.insert("127.0.0.1:" + std::to_string(sentinelSender->sourcePort));
        return true;
    }

    void Attach() override {
        host::HostValue port = host.MakeInteger(kPort);
        host::HostValue group = host.MakeString(kGroup);
        emulator::CallOutcome opened = calls.Call(listener, "Open", {port, group});
        TIDE_FUZZ_CHECK(host.IntegerOf(opened.result) == 0, "the receiver joins its group");
        host.Release(opened.result);
        host.Release(calls.Call(listener, "Start").result);
        host.Release(port);
        host.Release(group);
    }

    void Send(size_t sender, const uint8_t* bytes, size_t length, bool twice) override {
        const Bytes datagram(bytes, bytes + std::min(length, kLongestSentBytes));
        senders[sender]->Send(datagram);
        if (twice) senders[sender]->Send(datagram);
    }

    void SendReset(const Bytes& datagram) override { resetSender->Send(datagram); }

    // Sends the sentinel and notifies until it has been delivered: every datagram sent
    // before it has been delivered by then.
    void DeliverEverything() override {
        script->sentinelSeen = false;
        ++script->sentinelIndex;
        Bytes sentinel(tide::kHeaderBytes + 2, 0);
        tide::WriteHeader(sentinel.data(), {tide::kTypeText, script->sentinelIndex,
                                            tide::fuzzing::ReadingScript::kSentinelTotal, 0, 2, 1, 1});
        sentinelSender->Send(sentinel);
        tide::fuzzing::PumpUntil(
            host, [&] { return script->sentinelSeen; },
            "the receiver stopped delivering: a sentinel never came");
    }

    std::vector<std::unique_ptr<tide::testing::RawSender>> senders;
    std::unique_ptr<tide::testing::RawSender> sentinelSender;
    std::unique_ptr<tide::testing::RawSender> resetSender;
};

SocketTarget* gTarget = nullptr;

}  // namespace

// Allocations past 64 MiB fail here, as they would in a host short of memory: messages
// and BufferSize values larger than that take the path of a buffer that cannot be had,
// and an input does not spend its time on AddressSanitizer's bookkeeping of gigabytes.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gTarget = &tide::fuzzing::StartTarget<SocketTarget>("fuzz_delivery");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gTarget->Run(data, size);
    return 0;
}
