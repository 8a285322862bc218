// The address table: where addresses do not fit the 32-bit integers scripts hold, the
// host hands out 32-bit handles for memory regions instead. Reached through the host
// callback by kIidAddressTable. Host's thread only.
#pragma once

#include "host/component.h"

namespace host {

class AddressTable : public Unknown {
public:
    // Entry 3. Publishes `length` bytes at `base` and writes a handle for them to
    // `*handle`. Handles are never 0 and are not reused soon after withdrawal.
    virtual Status TIDE_CALL Publish(const void* base, uint32_t length, uint32_t* handle) = 0;
    // Entry 4. Withdraws a handle; later lookups of it find nothing. Unknown handles are
    // ignored (status kNoSuchInterface).
    virtual Status TIDE_CALL Withdraw(uint32_t handle) = 0;
    // Entry 5. The start of the region of `handle` when it holds at least `length` bytes;
    // null (and a failure status) for an unknown or withdrawn handle or a shorter region.
    virtual Status TIDE_CALL Resolve(uint32_t handle, uint32_t length, void** base) = 0;
    // Entry 6. The start and length of the region of `handle`; null and 0 when unknown.
    virtual Status TIDE_CALL Lookup(uint32_t handle, void** base, uint32_t* length) = 0;

protected:
    ~AddressTable() = default;
};

}  // namespace host
