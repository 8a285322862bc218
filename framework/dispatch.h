// Dispatch of property reads, property writes and member calls by name: the common
// members first, then the module's own. Names are compared as symbols made afresh, in a
// fixed order; the first match wins. Host's thread only.
#pragma once

#include "framework/object_view.h"
#include "host/script.h"

namespace tide {

host::Status ReadObjectProperty(ObjectView& object, const host::HostValue* self, host::HostSymbol property,
                                int32_t indexCount, const host::HostValue* indexValues,
                                host::HostValue* result);
host::Status WriteObjectProperty(ObjectView& object, host::HostSymbol property, int32_t indexCount,
                                 const host::HostValue* indexValues, const host::HostValue* newValue);
host::Status CallObjectMember(ObjectView& object, host::HostCallRecord* record);

// Withdraws every address the object handed to scripts (at teardown).
void WithdrawPublishedAddresses(ObjectView& object);

// A forwarded write carries at most this many index values.
constexpr int32_t kMaxForwardedIndexValues = 2;

}  // namespace tide
