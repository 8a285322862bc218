// The receiver's own members and its readable property, which dispatch reaches after the
// common ones. Host's thread only.
#pragma once

#include "framework/object_view.h"
#include "host/script.h"

namespace tide {

// The receiver's own readable property ("BufferSize"): true when `property` names it, and
// then `*result` holds its value.
bool ReadReceiverProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result);
// The receiver's own members: true when the selector names one of them (the member has
// run and written its result, if it has one).
bool CallReceiverMember(ObjectView& object, host::HostCallRecord* record);

}  // namespace tide
