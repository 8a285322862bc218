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

// The sender's own members: true when the selector names one of them.
bool CallSenderMember(ObjectView& object, host::HostCallRecord* record);

}  // namespace tide
