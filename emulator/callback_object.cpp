// The host callback of the emulated host.
#include "emulator/callback_object.h"

#include <algorithm>

#include "emulator/guid_value.h"
#include "emulator/host.h"
#include "host/ids.h"

namespace tide::emulator {

HostCallbackObject::HostCallbackObject(Host& host)
    : CountedInterface(host.ledger(), "HostCallback", nullptr), host_(host) {}

void HostCallbackObject::Refuse(const host::InterfaceId& iid, bool refuse) {
    refused_.erase(std::remove(refused_.begin(), refused_.end(), iid), refused_.end());
    if (refuse) refused_.push_back(iid);
    for (OfferedId& offer : offered_) offer.refused = IsRefused(offer.iid);
    NoteBusiest();
}

void HostCallbackObject::NoteBusiest() {
    busiest_ = offered_.empty() || offered_.front().refused ? OfferedId{} : offered_.front();
}

bool HostCallbackObject::IsRefused(const host::InterfaceId& iid) const {
    return std::find(refused_.begin(), refused_.end(), iid) != refused_.end();
}

host::Status HostCallbackObject::RefuseQuery() {
    if (!ledger_.OnHostThread("HostCallback::QueryInterface")) return kWrongThread;
    Misuse("QueryInterface with a null argument");
    return kBadArgument;
}

host::Status HostCallbackObject::QueryInterface(const host::InterfaceId* iid, void** out) {
    // Asked before every value operation of a plug-in, nearly always for the busiest id:
    // that answer is one test and a jump, everything else is out of line.
    if (ledger_.IsHostThread() && iid && out && busiest_.terms.refs && *iid == busiest_.iid) [[likely]]
        return busiest_.terms.Apply(ledger_, out);
    return QueryOffered(iid, out);
}

host::Status HostCallbackObject::QueryOffered(const host::InterfaceId* iid, void** out) {
    if (!ledger_.IsHostThread() || !iid || !out) return RefuseQuery();
    *out = nullptr;
    // A refused id is answered as one never offered; an id offered twice, by the first.
    for (const OfferedId& offer : offered_) {
        if (offer.iid == *iid)
            return offer.refused ? host::kNoSuchInterface : offer.terms.Apply(ledger_, out);
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
