// The address table: where addresses do not fit the 32-bit integers scripts hold, the
// host hands out 32-bit handles for memory regions instead, and scripts pass those
// numbers where an address is meant ("IID_ptr", "Pointer", "Ppointer", the string form,
// the reassembly buffer given to the binary handler, SendBuffer's pointer). Reached
// through the host callback by kIidAddressTable. A host without it answers that query
// with nothing; the number is then the address itself, which fits only where pointers
// are 32-bit. Host's thread only.
#pragma once

#include "host/component.h"

namespace host {

class AddressTable : public Unknown {
public:
    // Entry 3. Publishes the `length` bytes at `base` and writes their handle to `*handle`.
    // The table keeps neither a copy nor ownership: the publisher keeps the region valid
    // until it withdraws the handle. Every call gives a new handle, even for a region
    // published already. Handles are never 0, stay positive as 32-bit signed integers and
    // are not reused soon after withdrawal. A null `base` or `handle` is refused with a
    // failure status and publishes nothing.
    virtual Status TIDE_CALL Publish(const void* base, uint32_t length, uint32_t* handle) = 0;
    // Entry 4. Withdraws `handle`; later lookups of it find nothing. 0, or kNoSuchInterface
    // for a handle that is unknown or withdrawn already, which changes nothing.
    virtual Status TIDE_CALL Withdraw(uint32_t handle) = 0;
    // Entry 5. The start of the region of `handle` in `*base` when the region holds at
    // least `length` bytes: 0. For an unknown or withdrawn handle, or a shorter region,
    // `*base` is null and the status a failure.
    virtual Status TIDE_CALL Resolve(uint32_t handle, uint32_t length, void** base) = 0;
    // Entry 6. The start and length of the region of `handle` in `*base` and `*length`: 0.
    // For an unknown or withdrawn handle, null and 0 with a failure status. The plug-ins
    // use Resolve; tidehost uses this to keep a script's reads inside the region.
    virtual Status TIDE_CALL Lookup(uint32_t handle, void** base, uint32_t* length) = 0;

protected:
    ~AddressTable() = default;
};

}  // namespace host
