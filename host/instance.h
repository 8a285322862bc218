// The host instance: one host allocation per script object (and per registration object),
// a header of six pointer-sized words followed by the class's instance variables. The
// host makes it with the size DllGetClassForm reports and frees it when its own count of
// references reaches 0; every interface object on it holds references to it, so it
// outlives them all. Host's thread only.
#pragma once

#include <cstddef>

#include "host/callback.h"
#include "host/component.h"

namespace host {

struct InstanceHeader {
    void* hostWord0;  // the host's own (the emulated host keeps its record of the instance here)
    // The instance's own interface table: the address of this word is the instance as an
    // Unknown. Its query answers for every interface of the instance: it hands out the
    // interface object that exists already, with one more reference, or has
    // DllGetInterface make one (the value interface's creation builds the object state);
    // the caller releases what it gets. Null in `*out` and kNoSuchInterface, or the
    // failing creation's status, otherwise. Add-reference and release count the
    // instance's references, which are the host's.
    void* selfTable;
    void* hostWord2;  // the host's own
    // Hands out host interfaces by id (callback.h). Borrowed: add a reference to keep it.
    HostCallback* callback;
    // Allocator of the instance's interface objects (callback.h). Borrowed like callback.
    HostMemory* memory;
    void* hostWord5;  // the host's own
};

constexpr uint32_t kInstanceHeaderBytes = sizeof(InstanceHeader);
static_assert(kInstanceHeaderBytes == 6 * sizeof(void*), "six pointer-sized words");

// The instance itself as an interface (its header word 1), and back.
inline Unknown* InstanceSelf(InstanceHeader* instance) {
    return reinterpret_cast<Unknown*>(&instance->selfTable);
}
inline InstanceHeader* InstanceFromSelf(Unknown* self) {
    return reinterpret_cast<InstanceHeader*>(reinterpret_cast<char*>(self) -
                                             offsetof(InstanceHeader, selfTable));
}

// The instance variables start right after the header.
inline void* InstanceVariables(InstanceHeader* instance) { return instance + 1; }

}  // namespace host
