// Delivery: one notification hands at most one queued datagram to the script. Host's
// thread only; the receive thread only fills the queue.
#pragma once

#include <cstdint>

#include "framework/object_view.h"

namespace tide {

// The most datagrams one notification goes past when none of them does anything: each
// costs a fraction of a microsecond, all of them together a small part of a millisecond.
constexpr int kMostPassedPerNotification = 256;

// One notification: at most one datagram taken off the queue and delivered, after any
// that nobody sees (kMostPassedPerNotification at most).
void DeliverOne(ObjectView& object);

}  // namespace tide
