// The host callback of the emulated host.
#include "emulator/callback_object.h"

#include <algorithm>

#include "emulator/guid_value.h"
#include "emulator/host.h"
#include "host/ids.h"

namespace tide::emulator {

HostCallbackObject::HostCallbackObject(Host& host)
    : CountedInterface(host.ledger(), "HostCallback", nullptr), host_(host) {}

void HostCallbackObject::Offer(const host::InterfaceId& iid, host::Unknown* target) {
    offered_.emplace_back(iid, target);
}

void HostCallbackObject::Refuse(const host::InterfaceId& iid, bool refuse) {
    refused_.erase(std::remove(refused_.begin(), refused_.end(), iid), refused_.end());
    if (refuse) refused_.push_back(iid);
}

host::Status HostCallbackObject::QueryInterface(const host::InterfaceId* iid, void** out) {
    if (!ledger_.OnHostThread("HostCallback::QueryInterface")) return kWrongThread;
    if (!iid || !out) {
        Misuse("QueryInterface with a null argument");
        return kBadArgument;
    }
    *out = nullptr;
    if (std::find(refused_.begin(), refused_.end(), *iid) != refused_.end()) return host::kNoSuchInterface;
    for (const auto& offer : offered_) {
        if (offer.first == *iid) return offer.second->QueryInterface(iid, out);
    }
    return host::kNoSuchInterface;
}

host::Status HostCallbackObject::NewHostObject(const host::ClassId* classId, const host::InterfaceId* iid,
                                               void** out) {
    if (!ledger_.OnHostThread("HostCallback::NewHostObject")) return kWrongThread;
    if (!classId || !iid || !out) {
        Misuse("NewHostObject with a null argument");
        return kBadArgument;
    }
    *out = nullptr;
    if (refuseNewHostObject_) return kRefused;
    if (!(*classId == host::kClsidGuidValue)) return host::kNoSuchClass;
    if (!(*iid == host::kIidMoaMmXValue)) return host::kNoSuchInterface;
    *out = static_cast<host::IMoaMmXValue*>(GuidValueObject::Make(host_));
    return host::kOk;
}

}  // namespace tide::emulator
