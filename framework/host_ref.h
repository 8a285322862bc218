// HostRef: "query a host interface, use it, release it" as one scoped object, so that no
// path through a member forgets the release. Host's thread only.
#pragma once

#include "framework/moa_utils.h"
#include "host/component.h"

namespace tide {

template <class Interface>
class HostRef {
public:
    // The interface `iid` of the host, through the object's MoaUtils; empty when the host
    // offers none.
    HostRef(MoaUtils& utils, const host::InterfaceId& iid) {
        void* raw = nullptr;
        utils.QueryHostInterface(&iid, &raw);
        interface_ = static_cast<Interface*>(raw);
    }
    // The interface `iid` of any object (the host's callback, an instance); empty when it
    // has none.
    HostRef(host::Unknown* source, const host::InterfaceId& iid) {
        void* raw = nullptr;
        if (source) source->QueryInterface(&iid, &raw);
        interface_ = static_cast<Interface*>(raw);
    }
    ~HostRef() {
        if (interface_) interface_->Release();
    }
    HostRef(const HostRef&) = delete;
    HostRef& operator=(const HostRef&) = delete;

    Interface* get() const { return interface_; }
    Interface* operator->() const { return interface_; }
    explicit operator bool() const { return interface_ != nullptr; }

private:
    Interface* interface_ = nullptr;
};

}  // namespace tide
