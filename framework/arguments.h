// Reading a member call's arguments the one way every member does: argument k is
// argv[k] (argv[0] is the object itself) and is present when argc > k; an argument of
// another kind counts as absent. Host's thread only.
#pragma once

#include <cstdint>

#include "framework/object_view.h"
#include "framework/text_converter.h"
#include "host/script.h"

namespace tide {

// The type code of argument k, or 0 (void) when it is absent.
int32_t ArgumentType(ObjectView& object, const host::HostCallRecord& record, int32_t k);

// True and `*out` set when argument k is present and an integer.
bool ReadIntegerArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k, int32_t* out);

// Converts a string value's bytes (its length + 1, the NUL included) from set `from` to
// set `to` with `converter`: the length, lock, conversion, unlock sequence. The result is
// in converter.output(). Returns false (and converts nothing) when `value` is no string.
bool ConvertStringValue(ObjectView& object, const host::HostValue& value, const char* from, const char* to,
                        TextConverter& converter);

// The same for argument k, from the object's set to `to`.
bool ConvertStringArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k, const char* to,
                           TextConverter& converter);

// Writes an integer result into the record.
void ResultInteger(ObjectView& object, host::HostCallRecord& record, int32_t n);

}  // namespace tide
