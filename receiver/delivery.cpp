// Delivery: on each host notification one datagram comes off the listener's queue. A
// text datagram goes at once to the text handler with a property list of its header
// fields; binary datagrams are put back together and the binary handler gets the
// buffer's number and the message's length once the message is complete. The queue's
// lock is not held here: the block is ours once taken, so a handler may stop, start or
// close its own receiver. Host's thread only.
#include "receiver/delivery.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "framework/text_converter.h"
#include "receiver/buffer_address.h"
#include "receiver/datagram.h"
#include "receiver/property_list.h"
#include "receiver/receiver_state.h"

namespace tide {

namespace {

wchar_t* AppendDecimal(wchar_t* at, unsigned value) {
    wchar_t digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *at++ = digits[--count];
    return at;
}

// The sender as dotted address, colon and port (never a looked-up name): at most
// "255.255.255.255:65535", which fits with its terminator. Made for every datagram.
void FormatSender(const ACE_INET_Addr& sender, wchar_t (&text)[kSenderTextUnits]) {
    const uint32_t address = sender.get_ip_address();
    wchar_t* at = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        at = AppendDecimal(at, (address >> shift) & 0xFF);
        *at++ = shift > 0 ? L'.' : L':';
    }
    at = AppendDecimal(at, sender.get_port_number());
    *at = L'\0';
}

bool CanCall(const ReceiverState& receiver, host::HostSymbol handler) {
    const host::HostValue& target = receiver.scriptObject;
    return handler != 0 && (target.words[0] != 0 || target.words[1] != 0);
}

// The text of a text datagram: 16-bit units from the payload's start up to the first
// zero unit. The scan never leaves the bytes that arrived; a text whose zero unit did not
// arrive is ended in the block (ours now) where the received bytes end.
void TerminatePayloadText(ReceiveBlock& block) {
    const int32_t end = std::min(block.length, kDatagramBytes - kTerminatorBytes) & ~1;
    int32_t at = kPayloadOffset;
    while (at < end && (block.datagram[at] | block.datagram[at + 1]) != 0) at += 2;
    block.datagram[at] = 0;
    block.datagram[at + 1] = 0;
}

// The receiver's two converters, made on first use and opened again only when the host's
// set has changed since the last delivery; null when there is no memory for them.
DeliveryConverters* ConvertersFor(ReceiverState& receiver, const char* hostSet) {
    if (!receiver.converters) {
        receiver.converters.reset(new (std::nothrow) DeliveryConverters);
        if (!receiver.converters) return nullptr;
    } else if (std::strcmp(receiver.converters->text.toName(), hostSet) == 0) {
        return receiver.converters.get();
    }
    receiver.converters->text.Open(kDatagramTextSet, hostSet);
    receiver.converters->sender.Open(kWideSet, hostSet);
    return receiver.converters.get();
}

// Each delivery answers whether it did anything: called a handler, or took a fragment.
bool DeliverText(ObjectView& object, ReceiveBlock& block, const DatagramHeader& header) {
    ReceiverState& receiver = Receiver(object);
    if (!CanCall(receiver, receiver.textHandler)) return false;
    MoaUtils& utils = object.utils();

    TerminatePayloadText(block);
    DeliveryConverters* converters = ConvertersFor(receiver, object.directorCode());
    if (!converters) return false;
    TextConverter& data = converters->text;
    TextConverter& remoteHost = converters->sender;
    const uint8_t* text = block.datagram + kPayloadOffset;
    data.Convert(Utf16TextBytes(text), text);
    remoteHost.Convert(WideTextBytes(receiver.senderText), receiver.senderText);

    host::HostValue argv[2] = {receiver.scriptObject, {}};
    utils.NewPropList(&argv[1]);
    AppendString(utils, &argv[1], "data", data.output());
    AppendString(utils, &argv[1], "remote_host", remoteHost.output());
    AppendInteger(utils, &argv[1], "data_tsize", header.data_tsize);
    AppendInteger(utils, &argv[1], "data_offset", header.data_offset);
    AppendInteger(utils, &argv[1], "data_size", header.data_size);
    AppendInteger(utils, &argv[1], "data_type", header.data_type);
    AppendInteger(utils, &argv[1], "index", header.index);
    AppendInteger(utils, &argv[1], "tcount", header.tcount);
    AppendInteger(utils, &argv[1], "tindex", header.tindex);

    host::HostValue result{};
    utils.InvokeHandler(receiver.textHandler, 2, argv, &result);
    utils.ReleaseValue(&result);
    utils.ReleaseValue(&argv[1]);
    data.FreeOutput();
    remoteHost.FreeOutput();
    return true;
}

bool DeliverBinary(ObjectView& object, const ReceiveBlock& block, const DatagramHeader& header) {
    ReceiverState& receiver = Receiver(object);
    const int32_t payloadBytes = block.length - kPayloadOffset;
    if (!WellformedFragment(header, payloadBytes)) return false;

    const bool newSender = std::wcscmp(receiver.senderText, receiver.lastSenderText) != 0;
    if (newSender) std::wmemcpy(receiver.lastSenderText, receiver.senderText, kSenderTextUnits);
    Reassembly::Outcome outcome =
        receiver.reassembly.Take(header, block.datagram + kPayloadOffset, payloadBytes, newSender);
    const uint32_t bufferNumber = SyncBufferAddress(object);
    if (outcome == Reassembly::Outcome::kDropped || outcome == Reassembly::Outcome::kRepeated) return false;
    if (outcome != Reassembly::Outcome::kComplete || !CanCall(receiver, receiver.binaryHandler)) return true;

    MoaUtils& utils = object.utils();
    host::HostValue argv[3] = {receiver.scriptObject, {}, {}};
    utils.MakeIntegerValue(static_cast<int32_t>(bufferNumber), &argv[1]);
    utils.MakeIntegerValue(receiver.reassembly.total(), &argv[2]);
    host::HostValue result{};
    utils.InvokeHandler(receiver.binaryHandler, 3, argv, &result);
    utils.ReleaseValue(&result);
    utils.ReleaseValue(&argv[1]);
    utils.ReleaseValue(&argv[2]);
    return true;
}

}  // namespace

// A delivery's hold on its object and its block. A handler may let go of the last
// reference to this very object, which must not be torn down before the delivery is
// over (its listener, which the block goes back to, least of all); and however the
// delivery ends, the block goes back and the reference is let go, or the object could
// never be torn down.
class DeliveryHold {
public:
    DeliveryHold(host::Unknown* self, BlockPtr block) : self_(self), block_(std::move(block)) {
        self_->AddRef();
    }
    ~DeliveryHold() {
        block_.reset();
        self_->Release();
    }
    DeliveryHold(const DeliveryHold&) = delete;
    DeliveryHold& operator=(const DeliveryHold&) = delete;
    ReceiveBlock& block() { return *block_; }

private:
    host::Unknown* self_;
    BlockPtr block_;
};

// Takes one datagram off the queue and delivers it; false when the queue was empty.
// `delivered` says whether the delivery did anything.
bool TakeAndDeliver(ObjectView& object, GroupListener& listener, bool& delivered) {
    BlockPtr taken = listener.TakeFront();
    if (!taken) return false;
    DeliveryHold hold(object.state().valueInterface, std::move(taken));
    ReceiveBlock& block = hold.block();

    ReceiverState& receiver = Receiver(object);
    FormatSender(block.sender, receiver.senderText);
    delivered = false;
    // A datagram too short for its header carries nothing that can be read.
    if (block.length >= kHeaderBytes) {
        const DatagramHeader header = ReadHeader(block.datagram);
        if (header.data_type == kTypeText) {
            delivered = DeliverText(object, block, header);
        } else if (header.data_type == kTypeBinary) {
            delivered = DeliverBinary(object, block, header);
        }
    }
    return true;
}

void DeliverOne(ObjectView& object) {
    // Datagrams that nobody sees (repeated copies of a fragment taken already, those
    // reassembly drops, texts with no handler to take them) do not take a notification
    // each: this one goes past them to the next that does something, up to a bound that
    // keeps the host's thread its own.
    for (int passed = 0; passed < kMostPassedPerNotification; ++passed) {
        // A handler may close the object's listener: it is looked up for every datagram.
        GroupListener* listener = Listener(object);
        bool delivered = false;
        if (!listener || !TakeAndDeliver(object, *listener, delivered) || delivered) return;
    }
}

}  // namespace tide
