// ObjectView: the plug-in's view of one of its script objects (its instance, its state,
// its MoaUtils), which members and deliveries work through. Made on the stack for one
// entry; it owns nothing. Host's thread only.
#pragma once

#include <cstdint>

#include "framework/moa_utils.h"
#include "framework/object_state.h"
#include "host/instance.h"
#include "host/values.h"

namespace tide {

class ObjectView {
public:
    explicit ObjectView(host::InstanceHeader* instance) : instance_(instance) {}

    host::InstanceHeader* instance() const { return instance_; }
    ObjectState& state() const { return *static_cast<ObjectState*>(host::InstanceVariables(instance_)); }
    MoaUtils& utils() const { return *state().utils; }
    const char* directorCode() const { return state().directorCode; }
    // The module's whole instance-variable record (it begins with ObjectState).
    template <class Variables>
    Variables& variables() const {
        return *static_cast<Variables*>(host::InstanceVariables(instance_));
    }

    // True when `symbol` is the symbol of `name` (made afresh: nothing is cached).
    bool Is(host::HostSymbol symbol, const char* name) const;

    // A 32-bit number standing for `address` (`bytes` long) that scripts can hand back:
    // a handle from the host's address table, kept in `*handle` until the object goes,
    // or the address itself where the host has no table.
    uint32_t AddressForScript(const void* address, uint32_t bytes, uint32_t* handle) const;
    // What a script's number stands for: the start of at least `bytes` bytes, or null.
    void* AddressFromScript(uint32_t number, uint32_t bytes) const;
    // Publishes a region the object will withdraw itself (WithdrawAddress).
    uint32_t PublishAddress(const void* address, uint32_t bytes) const;
    void WithdrawAddress(uint32_t handle) const;

private:
    host::InstanceHeader* instance_;
};

}  // namespace tide
