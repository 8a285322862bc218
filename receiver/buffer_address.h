// The reassembly buffer's number for scripts, kept in step with the buffer: delivery,
// the BufferSize member and the object's set-up and teardown call these. Host's thread
// only.
#pragma once

#include <cstdint>

#include "framework/object_view.h"

namespace tide {

// Publishes the reassembly buffer's address again when the buffer was replaced, and
// withdraws the old one; answers the number scripts get for the buffer.
uint32_t SyncBufferAddress(ObjectView& object);
// Withdraws the buffer's address (teardown).
void WithdrawBufferAddress(ObjectView& object);

}  // namespace tide
