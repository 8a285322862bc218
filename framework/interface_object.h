// InterfaceObject: the small reference-counted object behind each interface the host
// obtains on an instance: its table, the owning instance, its own count. Every reference
// to an interface is also a reference to the instance, and each existing object holds one
// more, so the instance outlives its interface objects. Made and released on the host's
// thread; only the count changes atomically.
#pragma once

#include <atomic>
#include <new>

#include "host/ids.h"
#include "host/instance.h"

namespace tide {

// Interface objects alive in this module, over all classes. Changed on the host's thread;
// atomic because DllCanUnloadNow may read it from any thread.
extern std::atomic<int32_t> liveInterfaces;

// Allocates from the instance's HostMemory; when it gives nothing and a new-handler is
// installed, calls it and tries again, for as long as it takes. Null when there is none
// (or it throws).
void* AllocateForInstance(host::InstanceHeader* instance, uint32_t bytes);

// Derived supplies `static constexpr host::InterfaceId kInterfaceId` and may define
// `host::Status Construct()` / `void Destruct()` (the value interface builds and tears
// down the object state there).
template <class Derived, class Interface>
class InterfaceObject : public Interface {
public:
    explicit InterfaceObject(host::InstanceHeader* owner) : owner_(owner), count_(1) {}

    // Entry 0: the instance answers for all of its interfaces.
    host::Status TIDE_CALL QueryInterface(const host::InterfaceId* iid, void** out) override {
        return host::InstanceSelf(owner_)->QueryInterface(iid, out);
    }
    // Entry 1.
    uint32_t TIDE_CALL AddRef() override {
        host::InstanceSelf(owner_)->AddRef();
        return static_cast<uint32_t>(count_.fetch_add(1, std::memory_order_relaxed) + 1);
    }
    // Entry 2. The last release tears the object down, frees it and drops the reference it
    // held on its instance; every release also drops the reference it mirrors.
    uint32_t TIDE_CALL Release() override {
        host::InstanceHeader* owner = owner_;
        int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0) {
            Derived* self = static_cast<Derived*>(this);
            self->Destruct();
            host::HostMemory* memory = owner->memory;
            self->Derived::~Derived();  // the most derived type: no virtual call needed
            memory->Free(static_cast<void*>(self));
            --liveInterfaces;
            host::InstanceSelf(owner)->Release();
        }
        host::InstanceSelf(owner)->Release();
        return static_cast<uint32_t>(n);
    }

    host::InstanceHeader* owner() const { return owner_; }

    host::Status Construct() { return host::kOk; }
    void Destruct() {}

    // The creation callback of this class.
    static host::Status TIDE_CALL Create(void* instance, void** out) {
        auto* header = static_cast<host::InstanceHeader*>(instance);
        void* memory = AllocateForInstance(header, sizeof(Derived));
        if (!memory) {
            *out = nullptr;
            return host::kNoMemory;
        }
        auto* object = new (memory) Derived(header);
        host::InstanceSelf(header)->AddRef();  // the reference being handed out
        host::InstanceSelf(header)->AddRef();  // the one held while the object exists
        ++liveInterfaces;
        host::Status status = object->Construct();
        if (status != host::kOk) {
            object->Release();
            *out = nullptr;
            return status;
        }
        *out = static_cast<Interface*>(object);
        return host::kOk;
    }

protected:
    ~InterfaceObject() = default;

private:
    host::InstanceHeader* owner_;
    std::atomic<int32_t> count_;
};

}  // namespace tide
