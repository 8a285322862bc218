// Building the property lists the receiver hands a script: entries keyed by symbols, each
// item made by the caller's kind of value. Host's thread only.
#pragma once

#include <cstdint>

#include "framework/moa_utils.h"
#include "host/values.h"

namespace tide {

// Appends `key` → `item` to `list` and releases both (the list keeps its own).
void AppendEntry(MoaUtils& utils, host::HostValue* list, const char* key, host::HostValue item);
void AppendInteger(MoaUtils& utils, host::HostValue* list, const char* key, int32_t n);
// `text` in the host's set.
void AppendString(MoaUtils& utils, host::HostValue* list, const char* key, const char* text);

}  // namespace tide
