// The sender's own members, which dispatch reaches after the common ones, and the
// datagram sender every Tidespeak object works through. Host's thread only.
#pragma once

#include "framework/object_view.h"
#include "host/script.h"
#include "sender/datagram_sender.h"

namespace tide {

// The object's sender; null when it could not be made.
inline DatagramSender* Sender(ObjectView& object) {
    return static_cast<DatagramSender*>(object.state().worker);
}

// Reads the sender's own properties, TTL and LocalInterface: true when `property` names
// one of them.
bool ReadSenderProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result);

// The sender's own members: true when the selector names one of them.
bool CallSenderMember(ObjectView& object, host::HostCallRecord* record);

}  // namespace tide
