// The common part of every interface object the emulated host hands out: entries 0-2
// with a reference count that the host's books see, so that a reference a plug-in
// forgets, or releases twice, shows. Host's thread only.
#pragma once

#include <string>
#include <utility>

#include "emulator/ledger.h"
#include "emulator/status.h"
#include "host/component.h"

namespace tide::emulator {

// What handing out a reference of a host interface object does, as data: the pointer to
// give, the object's count to raise, and the ledger's count of queries for its id. The
// object's own HandOut applies them; the host callback keeps them for its offers and
// applies them without a call into the object.
struct HandOutTerms {
    void* handed = nullptr;
    uint32_t* refs = nullptr;
    uint64_t* queries = nullptr;

    host::Status Apply(Ledger& ledger, void** out) const {
        *out = handed;
        ++*refs;
        ledger.QueryCounted(queries);
        return host::kOk;
    }
};

template <class Interface>
class CountedInterface : public Interface {
public:
    // `ownId` (if any) is what a query on this object answers with the object itself;
    // other ids go to `others` (the host callback) when given.
    CountedInterface(Ledger& ledger, std::string name, const host::InterfaceId* ownId,
                     host::Unknown* others = nullptr)
        : ledger_(ledger),
          ownId_(ownId),
          others_(others),
          queries_(ownId ? ledger.QueryCounter(*ownId) : nullptr) {
        refs_.name = std::move(name);
        ledger_.Track(&refs_);
    }
    CountedInterface(const CountedInterface&) = delete;
    CountedInterface& operator=(const CountedInterface&) = delete;

    host::Status TIDE_CALL QueryInterface(const host::InterfaceId* iid, void** out) override {
        if (!ledger_.OnHostThread("QueryInterface")) return kWrongThread;
        if (!iid || !out) {
            Misuse("QueryInterface with a null argument");
            return kBadArgument;
        }
        if (ownId_ && *iid == *ownId_) return HandOut(out);
        if (others_) return others_->QueryInterface(iid, out);
        *out = nullptr;
        return host::kNoSuchInterface;
    }

    uint32_t TIDE_CALL AddRef() override {
        if (!ledger_.OnHostThread("AddRef")) return refs_.refs;
        ++ledger_.counters().interfaceAddRefs;
        return ++refs_.refs;
    }

    uint32_t TIDE_CALL Release() override {
        // The checks' failures are answered out of line: a plug-in releases a host
        // service after every value operation.
        if (!ledger_.IsHostThread() || refs_.refs == 0) return RefuseRelease();
        ++ledger_.counters().interfaceReleases;
        uint32_t left = --refs_.refs;
        if (left == 0 && livesByReferences_) return ReleasedLast();  // may delete this
        return left;
    }

    // What a query for ownId answers, for a caller that has made the query's checks
    // itself (the host callback hands out its services by these terms).
    host::Status HandOut(void** out) { return Terms().Apply(ledger_, out); }
    HandOutTerms Terms() { return HandOutTerms{static_cast<Interface*>(this), &refs_.refs, queries_}; }

    uint32_t refs() const { return refs_.refs; }
    const std::string& name() const { return refs_.name; }

protected:
    virtual ~CountedInterface() { ledger_.Untrack(&refs_); }

    // Called when the last reference of an object that lives by its references comes back
    // (one made with TakeInitialReference): such objects delete themselves here. The
    // host's own services stay, and their references coming back call nothing.
    virtual void OnLastRelease() {}

    // Hands out one more reference (the one a creator returns to its caller): the object
    // lives by its references from now on.
    void TakeInitialReference() {
        ++refs_.refs;
        livesByReferences_ = true;
    }

    // Records a misuse by a caller of this object. Out of line, and the literal form makes
    // its text only here: the entries that check for misuse are the host's busiest code.
    [[gnu::noinline, gnu::cold]] void Misuse(const std::string& what) {
        ledger_.Error(refs_.name + ": " + what);
    }
    [[gnu::noinline, gnu::cold]] void Misuse(const char* what) { Misuse(std::string(what)); }
    // What every entry the emulated host leaves out answers: a misuse naming the entry.
    [[gnu::noinline, gnu::cold]] host::Status NotProvided(int entry) {
        Misuse("entry " + std::to_string(entry) + " is not provided");
        return kNotProvided;
    }

    Ledger& ledger_;

private:
    [[gnu::noinline, gnu::cold]] uint32_t RefuseRelease() {
        if (!ledger_.OnHostThread("Release")) return refs_.refs;
        ledger_.Error(refs_.name + " was released more often than it was handed out");
        return 0;
    }
    [[gnu::noinline]] uint32_t ReleasedLast() {
        OnLastRelease();
        return 0;
    }

    InterfaceRefs refs_;
    const host::InterfaceId* ownId_;
    host::Unknown* others_;
    uint64_t* queries_;  // the ledger's count of queries for ownId_
    bool livesByReferences_ = false;
};

}  // namespace tide::emulator
