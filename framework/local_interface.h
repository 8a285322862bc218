// The local IPv4 interface a script chooses for an object: the one a Tidelisten joins its
// group on, or a Tidespeak sends from. A script names it by its dotted address; the empty
// text (and "0.0.0.0") leaves the choice to the system, as when none is chosen. Host's
// thread only.
#pragma once

#include <cstdint>

#include "framework/object_view.h"
#include "host/script.h"

namespace tide {

// Reads argument k of a member call as an interface: true, with `*address` set (host
// byte order, 0 for the system's choice), when it is a string holding the dotted IPv4
// address of an interface of this machine, or the empty
// text or "0.0.0.0". Anything else changes nothing.
bool ReadInterfaceArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k,
                           uint32_t* address);

// The interface as a script sees it: a string value of its dotted address, "" for the
// system's choice.
void MakeInterfaceValue(ObjectView& object, uint32_t address, host::HostValue* result);

}  // namespace tide
