// Delivery: one notification hands at most one queued datagram to the script. Host's
// thread only; the receive thread only fills the queue.
#pragma once

#include <cstdint>

#include "framework/object_view.h"

namespace tide {

// One notification: at most one datagram taken off the queue and delivered.
void DeliverOne(ObjectView& object);

}  // namespace tide
