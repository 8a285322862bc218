// The emulated host's books: errors the plug-ins made (readable messages), counters of
// what was called, and the reference counts of every host interface object. Kept on the
// host's thread; only the error list may be written from another thread (a call from the
// wrong thread is itself an error worth recording).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/component.h"

namespace tide::emulator {

// How often things were called since the host was made.
struct Counters {
    uint64_t interfaceQueries = 0;    // host interface references handed out by a query
    uint64_t interfaceAddRefs = 0;    // add-reference calls on host interfaces
    uint64_t interfaceReleases = 0;   // release calls on host interfaces
    uint64_t handlerCalls = 0;        // InvokeHandler calls that reached a script object
    uint64_t failedHandlerCalls = 0;  // InvokeHandler calls answered with a failure
    uint64_t notifications = 0;       // HandleNotification calls the pump made
    uint64_t allocations = 0;         // blocks HostMemory handed out
    uint64_t refusedAllocations = 0;  // Allocate calls answered with null
    uint64_t hostObjectsMade = 0;     // objects NewHostObject made
};

// The count of references handed out on one host interface object.
struct InterfaceRefs {
    std::string name;
    uint32_t refs = 0;
};

class Ledger {
public:
    // The constructing thread becomes the host's thread.
    Ledger();

    // True on the host's thread, recording nothing.
    bool IsHostThread() const { return ThreadMarker() == hostThread_; }
    // True on the host's thread; otherwise records an error naming `entry`.
    bool OnHostThread(const char* entry) {
        // Asked on every entry of every host interface: a thread-local address is the
        // cheapest way to tell the threads apart.
        return ThreadMarker() == hostThread_ || OffHostThread(entry);
    }

    // Records a misuse. Any thread.
    void Error(std::string message);
    std::vector<std::string> errors() const;
    void ClearErrors();

    Counters& counters() { return counters_; }
    const Counters& counters() const { return counters_; }

    // Queries answered, by interface id. An interface object takes its id's counter once
    // and counts each query it answers there (QueryCounted), without a search.
    uint64_t* QueryCounter(const host::InterfaceId& iid);
    void QueryCounted(uint64_t* counter) {
        ++counters_.interfaceQueries;
        ++*counter;
    }
    uint64_t QueriesFor(const host::InterfaceId& iid) const;

    // Every host interface object registers its count here for the books.
    void Track(const InterfaceRefs* refs);
    void Untrack(const InterfaceRefs* refs);
    size_t OutstandingRefs() const;
    // "ValueServices: 2" for each object with references still out.
    std::vector<std::string> DescribeOutstandingRefs() const;

    // Objects the host made for a caller (NewHostObject, recording objects): they live by
    // their references and leave the books when the last one is released. `kind` names
    // them in reports and tells them apart; `destroy` frees a leftover when the host goes.
    void AddHostObject(const void* object, std::string kind, std::function<void()> destroy);
    void RemoveHostObject(const void* object);
    // The kind an object was added with; null when it is not a live host object.
    const std::string* HostObjectKind(const void* object) const;
    size_t liveHostObjects() const { return hostObjects_.size(); }
    std::vector<std::string> DescribeHostObjects() const;
    // Frees every host object still alive, without telling anyone.
    void DestroyHostObjects();

private:
    struct HostObject {
        std::string kind;
        std::function<void()> destroy;
    };

    static const void* ThreadMarker() {
        // The emulator is linked into programs, never into a module loaded later, so its
        // marker can live in the program's own thread block: reached without a call,
        // which also spares every host entry saving registers around one.
#if defined(__ELF__)
        [[gnu::tls_model("initial-exec")]]
#endif
        static thread_local const char marker = 0;
        return &marker;
    }
    // Records the call from another thread; false.
    bool OffHostThread(const char* entry);

    const void* hostThread_;
    mutable std::mutex errorsLock_;
    std::vector<std::string> errors_;
    Counters counters_;
    // One counter an id; a deque, so that the counters stay where they are as it grows.
    std::deque<std::pair<host::InterfaceId, uint64_t>> queriesById_;
    std::vector<const InterfaceRefs*> tracked_;
    std::map<const void*, HostObject> hostObjects_;
};

// Text of an id in its usual braced form.
std::string IdText(const host::Id& id);

}  // namespace tide::emulator
