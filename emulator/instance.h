// The host's side of one instance: a single allocation holding the six-word header and
// the class's instance variables, the instance's own query/add-reference/release (the
// table at header word 1), and the interface objects already made on it, so that a
// second query hands out the same object. Host's thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "host/instance.h"
#include "host/plugin_exports.h"

namespace tide::emulator {

class Host;

class Instance {
public:
    // A zero-filled instance of `bytes` bytes (header included) of class `classId`, with
    // one reference, the caller's.
    static Instance* Make(Host& host, const host::DllGetInterfaceFunction getInterface,
                          const host::ClassId& classId, uint32_t bytes);

    host::InstanceHeader* header() const { return header_; }
    // The instance as an interface: its query makes or finds interface objects.
    host::Unknown* self() const { return host::InstanceSelf(header_); }
    uint32_t refs() const { return refs_; }

    // The instance's own entries, reached through self(). Host's thread only: from another
    // thread each records an error and changes nothing (the query answers kWrongThread,
    // the counts the count as it is).
    host::Status Query(const host::InterfaceId* iid, void** out);
    uint32_t AddRef();
    uint32_t Release();

    // Instances alive in this process (over all hosts).
    static size_t live();

private:
    struct Made {
        host::InterfaceId iid;
        void* object;
        uint64_t block;  // the allocation that holds it, so a freed object is not handed out
    };

    Instance(Host& host, host::DllGetInterfaceFunction getInterface, const host::ClassId& classId);
    ~Instance();

    Host& host_;
    host::DllGetInterfaceFunction getInterface_;
    host::ClassId classId_;
    host::InstanceHeader* header_ = nullptr;
    uint32_t refs_ = 1;
    std::vector<Made> made_;
};

}  // namespace tide::emulator
