// The receiver's own members and its readable property, which dispatch reaches after the
// common ones, and the listener every Tidelisten object works through. Host's thread only.
#pragma once

#include "framework/object_view.h"
#include "host/script.h"
#include "receiver/group_listener.h"

namespace tide {

// The object's listener; null when it could not be made.
inline GroupListener* Listener(ObjectView& object) {
    return static_cast<GroupListener*>(object.state().worker);
}

// The receiver's own readable property ("BufferSize"): true when `property` names it, and
// then `*result` holds its value.
bool ReadReceiverProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result);
// The receiver's own members: true when the selector names one of them (the member has
// run and written its result, if it has one).
bool CallReceiverMember(ObjectView& object, host::HostCallRecord* record);

}  // namespace tide
