// The host instance: one host allocation per script object (and per registration object),
// a header of six pointer-sized words followed by the class's instance variables.
#pragma once

#include <cstddef>

#include "host/callback.h"
#include "host/component.h"

namespace host {

struct InstanceHeader {
    void* hostWord0;  // the host's own
    // The instance's own interface table: the address of this word is the instance as an
    // Unknown (query, add-reference, release of the instance itself).
    void* selfTable;
    void* hostWord2;         // the host's own
    HostCallback* callback;  // hands out host interfaces by id
    HostMemory* memory;      // allocator of the instance's interface objects
    void* hostWord5;         // the host's own
};

constexpr uint32_t kInstanceHeaderBytes = sizeof(InstanceHeader);
static_assert(kInstanceHeaderBytes == 6 * sizeof(void*), "six pointer-sized words");

// The instance itself as an interface.
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
