// The receiver's own instance variables, after those every script object has: the
// notification registration, the script object and handlers that deliveries call, and
// the state of the one binary message being put back together. Host's thread only: the
// receive thread never touches any of it.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/object_view.h"
#include "framework/text_converter.h"
#include "host/notification.h"
#include "host/values.h"
#include "receiver/group_listener.h"
#include "receiver/reassembly.h"

namespace tide {

constexpr int32_t kDefaultBufferBytes = 102400;
// "255.255.255.255:65535" and its terminator.
constexpr int kSenderTextUnits = 22;

// The two conversions of every text delivery, from the wire's UTF-16LE and from the
// sender's wide address text to the host's set. They stay open from one delivery to the
// next, for as long as the host's set stays the same: opening a conversion costs more
// than the rest of a short text's delivery. A conversion leaves its handle in the initial
// state, and from either source every set the C library lists then converts a text as a
// freshly opened handle does, byte-order marks and shift sequences included.
struct DeliveryConverters {
    TextConverter text;
    TextConverter sender;
};

struct ReceiverState {
    host::NotificationService* notificationService;  // counted; null when the host has none
    host::NotificationClient* notificationClient;    // counted; the object's own client
    host::HostSymbol textHandler;                    // 0: none named
    host::HostSymbol binaryHandler;                  // 0: none named
    host::HostValue scriptObject;                    // held with a reference; void when none
    wchar_t lastSenderText[kSenderTextUnits];        // sender of the message being assembled
    wchar_t senderText[kSenderTextUnits];            // sender of the datagram being delivered
    Reassembly reassembly;                           // buffer, size, counters
    uint32_t bufferHandle;                           // the buffer's number for scripts (0: none)
    uint32_t publishedGeneration;                    // which buffer bufferHandle stands for
    std::unique_ptr<DeliveryConverters> converters;  // made at the first text delivered
};

// A Tidelisten object's instance variables.
struct ListenerVariables {
    ObjectState common;
    ReceiverState receiver;
};

inline ReceiverState& Receiver(ObjectView& object) { return object.variables<ListenerVariables>().receiver; }

// The object's listener (its worker); null when it could not be made.
inline GroupListener* Listener(ObjectView& object) {
    return static_cast<GroupListener*>(object.state().worker);
}

}  // namespace tide
