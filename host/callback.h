// The host callback (the object that hands out host interfaces by id) and HostMemory,
// the host's allocator. Both are reached through every instance's header.
#pragma once

#include "host/component.h"

namespace host {

// HostMemory: the allocator of instances, interface objects and class-info records.
class HostMemory : public Unknown {
public:
    // Entry 3. `bytes` bytes, or null when the host refuses.
    virtual void* TIDE_CALL Allocate(uint32_t bytes) = 0;
    // Entry 4. Gives back what Allocate gave. Null is ignored.
    virtual void TIDE_CALL Free(void* block) = 0;

protected:
    ~HostMemory() = default;
};

// The host callback. Its query (entry 0) answers every host interface by id.
class HostCallback : public Unknown {
public:
    // Entry 3. Makes a new host object of class `classId` and hands out its interface
    // `iid` in `*out` (a reference the caller releases). Null and a failure status when the
    // host cannot make one.
    virtual Status TIDE_CALL NewHostObject(const ClassId* classId, const InterfaceId* iid, void** out) = 0;

protected:
    ~HostCallback() = default;
};

}  // namespace host
