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

    // `target` answers queries for `iid`, which must be its own id: the callback hands
    // out its references directly.
    template <class Interface>
    void Offer(const host::InterfaceId& iid, CountedInterface<Interface>* target) {
        offered_.push_back(OfferedId{iid, target->Terms(), IsRefused(iid)});
        NoteBusiest();
    }
    void Refuse(const host::InterfaceId& iid, bool refuse);
    void RefuseNewHostObject(bool refuse) { refuseNewHostObject_ = refuse; }

private:
    // An offered id, how its object hands out a reference (CountedInterface::Terms), and
    // whether a test refuses it now: looked at on every query.
    struct OfferedId {
        host::InterfaceId iid{};
        HandOutTerms terms;  // terms.refs null: no offer (busiest_ when none is answered)
        bool refused = false;
    };
    bool IsRefused(const host::InterfaceId& iid) const;
    // A query from another thread or with a null argument: recorded, and its answer.
    [[gnu::noinline]] host::Status RefuseQuery();
    // A query that is not for the busiest id, or that the checks refuse.
    [[gnu::noinline, gnu::cold]] host::Status QueryOffered(const host::InterfaceId* iid, void** out);
    // Copies the first offer into busiest_, empty while a test refuses it.
    void NoteBusiest();

    Host& host_;
    std::vector<OfferedId> offered_;  // in the order offered, the busiest first
    // The first offer, asked for before almost every value operation, answered from here
    // without a look at the list or a call.
    OfferedId busiest_;
    std::vector<host::InterfaceId> refused_;
    bool refuseNewHostObject_ = false;
};

}  // namespace tide::emulator
