// The host callback (the object that hands out host interfaces by id) and HostMemory,
// the host's allocator. Both are reached through every instance's header (words 3 and 4)
// and borrowed from it: keep one past the current call by adding a reference. Host's
// thread only.
#pragma once

#include "host/component.h"

namespace host {

// HostMemory: the allocator the plug-ins make their interface objects and class-info
// records with (instance header word 4; the argument of DllGetClassInfo). The host makes
// the instances themselves. Also answers kIidHostMemory from the emulated host's callback.
class HostMemory : public Unknown {
public:
    // Entry 3. A block of `bytes` bytes, owned by the caller until Free; null when the
    // host refuses. The emulated host gives a block of its own even for 0 bytes.
    virtual void* TIDE_CALL Allocate(uint32_t bytes) = 0;
    // Entry 4. Gives back a block that Allocate of this HostMemory gave; the block is gone
    // afterwards. Null is ignored. A block it did not give is a misuse (recorded by the
    // emulated host, which frees nothing then).
    virtual void TIDE_CALL Free(void* block) = 0;

protected:
    ~HostMemory() = default;
};

// The host callback (instance header word 3). Its query (entry 0) answers every host
// interface by id with a new reference, which the caller releases; an id the host does
// not offer gets kNoSuchInterface and a null `*out` (a host without the address table
// answers so for kIidAddressTable).
class HostCallback : public Unknown {
public:
    // Entry 3. Makes a new host object of class `classId` and hands out its interface
    // `iid` in `*out`, with one reference, which the caller releases (the object goes with
    // its last reference). The plug-ins ask only for kClsidGuidValue with kIidMoaMmXValue.
    // On failure `*out` is null and the status non-zero: the emulated host answers
    // kNoSuchClass for another class, kNoSuchInterface for another interface.
    virtual Status TIDE_CALL NewHostObject(const ClassId* classId, const InterfaceId* iid, void** out) = 0;

protected:
    ~HostCallback() = default;
};

}  // namespace host
