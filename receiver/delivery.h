// Delivery: one notification hands at most one queued datagram to the script, and the
// reassembly buffer's published address is kept in step with the buffer. Host's thread
// only; the receive thread only fills the queue.
#pragma once

#include <cstdint>

#include "framework/object_view.h"

namespace tide {

// One notification: at most one datagram taken off the queue and delivered.
void DeliverOne(ObjectView& object);

// Publishes the reassembly buffer's address again when the buffer was replaced, and
// withdraws the old one; answers the number scripts get for the buffer.
uint32_t SyncBufferAddress(ObjectView& object);
// Withdraws the buffer's address (teardown).
void WithdrawBufferAddress(ObjectView& object);

}  // namespace tide
