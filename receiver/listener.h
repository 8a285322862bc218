// The pieces of the Tidelisten module: its members, its deliveries, and keeping the
// reassembly buffer's published address in step with the buffer. Host's thread only.
#pragma once

#include "framework/object_state.h"
#include "host/script.h"
#include "receiver/group_listener.h"

namespace tide {

inline GroupListener* Listener(ScriptObject& object) { return static_cast<GroupListener*>(object.state().worker); }

// The receiver's own readable property ("BufferSize").
bool ReadReceiverProperty(ScriptObject& object, host::HostSymbol property, host::HostValue* result);
// The receiver's own members: true when the selector names one of them.
bool CallReceiverMember(ScriptObject& object, host::HostCallRecord* record);
// One notification: at most one datagram taken off the queue and delivered.
void DeliverOne(ScriptObject& object);

// Publishes the reassembly buffer's address again when the buffer was replaced, and
// withdraws the old one; answers the number scripts get for the buffer.
uint32_t SyncBufferAddress(ScriptObject& object);
// Withdraws the buffer's address (teardown).
void WithdrawBufferAddress(ScriptObject& object);

}  // namespace tide
