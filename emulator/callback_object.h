// The host callback of the emulated host: the object every instance holds (header word
// 3) and MoaUtils queries for each value operation. It hands out the host's interfaces
// by id, each with a reference the caller releases, and makes host objects
// (NewHostObject). Host's thread only.
#pragma once

#include <set>
#include <utility>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/callback.h"

namespace tide::emulator {

class Host;

class HostCallbackObject final : public CountedInterface<host::HostCallback> {
public:
    explicit HostCallbackObject(Host& host);

    // Answers every id offered with Offer, unless a test made it refuse that id.
    host::Status TIDE_CALL QueryInterface(const host::InterfaceId* iid, void** out) override;
    // Makes GuidValueClass objects (interface IMoaMmXValue); refuses anything else, and
    // everything while a test says so.
    host::Status TIDE_CALL NewHostObject(const host::ClassId* classId, const host::InterfaceId* iid,
                                         void** out) override;

    // `target` answers queries for `iid` (it must own that id itself).
    void Offer(const host::InterfaceId& iid, host::Unknown* target);
    void Refuse(const host::InterfaceId& iid, bool refuse);
    void RefuseNewHostObject(bool refuse) { refuseNewHostObject_ = refuse; }

private:
    Host& host_;
    std::vector<std::pair<host::InterfaceId, host::Unknown*>> offered_;
    std::vector<host::InterfaceId> refused_;
    bool refuseNewHostObject_ = false;
};

}  // namespace tide::emulator
