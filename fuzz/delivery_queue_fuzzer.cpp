// libFuzzer target: the delivery path without sockets. Each record's datagram is put
// straight into the receive queue of a Tidelisten object of the loaded module, as its
// receive thread would put it there, and delivered through the emulated host's
// notifications: HandleNotification, reassembly, conversion, the property list and the
// handler calls are the module's own code, at the speed of the code alone. Senders may be
// any address and port, those no socket could have included. The input format is that of
// fuzz/delivery_target.h. fuzz_delivery keeps the receive path itself under fuzzing.
#include <ace/INET_Addr.h>
#include <arpa/inet.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/delivery_target.h"
#include "fuzz/fuzz_support.h"
#include "receiver/group_listener.h"

namespace {

using tide::testing::Bytes;
namespace emulator = tide::emulator;

struct SenderAddress {
    const char* address;
    uint16_t port;
};
// Two ports of one address, so that sender changes by port alone happen too; the longest
// sender text, and the addresses and ports no socket sends from.
constexpr SenderAddress kSenders[] = {
    {"127.0.0.1", 50001},       {"127.0.0.1", 50002},   {"127.0.0.2", 40000}, {"10.199.0.1", 50003},
    {"100.100.100.100", 65535}, {"127.255.255.254", 1}, {"0.0.0.0", 0},       {"255.255.255.255", 65535},
};
constexpr SenderAddress kResetSender = {"127.0.0.9", 9};

class QueueTarget final : public tide::fuzzing::DeliveryTarget {
    static_assert(sizeof kSenders / sizeof kSenders[0] == kSenderCount, "a sender for every choice");

    bool Prepare(std::string* error) override {
        // The C library's allocator keeps what it was given (a sanitizer's ignores this):
        // handing large blocks back to the system after each input and faulting the pages
        // in again for the next would cost more than the deliveries.
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        for (const SenderAddress& from : kSenders) {
            if (!AddressOf(from, &addresses[&from - kSenders], error)) return false;
            senderTexts.insert(std::string(from.address) + ":" + std::to_string(from.port));
        }
        return AddressOf(kResetSender, &resetAddress, error);
    }

    // From the number itself: the library's name parsing takes 255.255.255.255 for none.
    static bool AddressOf(const SenderAddress& from, ACE_INET_Addr* address, std::string* error) {
        in_addr number{};
        if (inet_pton(AF_INET, from.address, &number) != 1) {
            *error = std::string("not an address: ") + from.address;
            return false;
        }
        address->set(from.port, ntohl(number.s_addr));
        return true;
    }

    // The object's GroupListener, found the way a script finds it: its "Pointer".
    void Attach() override {
        queue = static_cast<tide::GroupListener*>(listener->Worker(sizeof(tide::GroupListener)));
        TIDE_FUZZ_CHECK(queue != nullptr, "the receiver's Pointer names its listener");
    }

    void Append(const ACE_INET_Addr& from, const uint8_t* bytes, size_t length) {
        // Not cleared, as the receive thread's blocks are not: only `length` bytes count.
        tide::BlockPtr block = tide::MakeLoneBlock();
        TIDE_FUZZ_CHECK(block != nullptr, "a block to feed the queue with");
        const size_t received = std::min(length, static_cast<size_t>(tide::kDatagramBytes));
        std::memcpy(block->datagram, bytes, received);
        block->length = static_cast<int32_t>(received);
        block->sender = from;
        queue->Append(std::move(block));
    }

    void Send(size_t sender, const uint8_t* bytes, size_t length, bool twice) override {
        Append(addresses[sender], bytes, length);
        if (twice) Append(addresses[sender], bytes, length);
    }

    void SendReset(const Bytes& datagram) override { Append(resetAddress, datagram.data(), datagram.size()); }

    void DeliverEverything() override {
        while (queue->QueuedBlocks() > 0) {
            TIDE_FUZZ_CHECK(host.Notify() == 1, "the receiver takes its notifications");
        }
    }

    ACE_INET_Addr addresses[kSenderCount];
    ACE_INET_Addr resetAddress;
    tide::GroupListener* queue = nullptr;
};

}  // namespace

// As in fuzz_delivery: a host short of memory past 64 MiB. Freed memory is handed out
// again soon and allocations keep a short stack: without that, fresh pages for every
// block and the allocation stacks take most of an input's time.
extern "C" const char* __asan_default_options() {
    return TIDE_FUZZ_SHORT_OF_MEMORY ":quarantine_size_mb=16:malloc_context_size=2";
}

TIDE_FUZZ_ENTRIES(QueueTarget, "fuzz_delivery_queue")
