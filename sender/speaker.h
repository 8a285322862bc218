// The pieces of the Tidespeak module: its members. Host's thread only.
#pragma once

#include "framework/object_state.h"
#include "host/script.h"
#include "sender/datagram_sender.h"

namespace tide {

inline DatagramSender* Sender(ScriptObject& object) { return static_cast<DatagramSender*>(object.state().worker); }

// The sender's own members: true when the selector names one of them.
bool CallSenderMember(ScriptObject& object, host::HostCallRecord* record);

}  // namespace tide
