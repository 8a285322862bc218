// Statuses the emulated host answers when it refuses a call. Any non-zero status is a
// failure to the plug-ins; distinct codes only make test failures easier to read.
#pragma once

#include "host/component.h"

namespace tide::emulator {

// The value is of another kind than the entry needs (reading an integer from a string).
constexpr host::Status kWrongKind = static_cast<host::Status>(0x80040101u);
// The value was released already, or never came from this host.
constexpr host::Status kBadValue = static_cast<host::Status>(0x80040102u);
// A null pointer, an unknown symbol or another argument the entry cannot use.
constexpr host::Status kBadArgument = static_cast<host::Status>(0x80040103u);
// A test switched the host into refusing this call.
constexpr host::Status kRefused = static_cast<host::Status>(0x80040104u);
// The entry is a placeholder the host does not provide.
constexpr host::Status kNotProvided = host::kNotSupported;
// Called from a thread other than the host's.
constexpr host::Status kWrongThread = static_cast<host::Status>(0x80040105u);

}  // namespace tide::emulator
