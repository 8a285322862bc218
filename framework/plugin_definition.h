// What makes a module Tidelisten or Tidespeak: the names, ids, texts and behaviour the
// shared framework code asks of the module it is linked into. Each module defines
// ThisPlugin() once; the framework calls it on the host's thread.
#pragma once

#include <cstdint>

#include "host/component.h"
#include "host/script.h"
#include "host/values.h"

namespace tide {

class ObjectView;

// A property whose write becomes a call of a handler.
struct ForwardedWrite {
    const char* property;
    const char* handler;
};

// Filled by each module with designated initialisers, so that two entries of the same
// type cannot trade places unseen; an entry left out is null.
struct PluginDefinition {
    const char* className;     // "Tidelisten"
    const char* messageTable;  // "xtra Tidelisten\nnew object me\n"
    const char* description;   // what "Interface" answers, in the "char" encoding
    host::ClassId registrationClassId;
    host::ClassId scriptClassId;
    // Bytes of instance variables after the host header, ObjectState included.
    uint32_t instanceVariableBytes;
    // Whether the script class offers IMoaNotificationClient.
    bool notificationClient;
    // The common property names in the order they are compared: IID, IID_ptr,
    // Interface, Pointer, Ppointer, DirectorCode (as the module spells them).
    const char* commonProperties[6];
    // The module's own writable properties, in the order they are compared, each
    // forwarded to a handler; ends with {nullptr, nullptr}.
    const ForwardedWrite* forwardedWrites;

    // The worker: made at construction (null when memory is short), disposed of at teardown.
    void* (*createWorker)();
    void (*destroyWorker)(void* worker);
    uint32_t workerBytes;  // the size of the worker, for the address handed to scripts

    // Module steps of construction, after the worker is made (null: none).
    void (*construct)(ObjectView& object) = nullptr;
    // Module steps of teardown (null: none), in three phases, each needing what a later
    // step takes away:
    // - before the worker is disposed of: what could still reach it, such as the
    //   registration for notifications, whose deliveries read the worker's queue;
    // - after it, while MoaUtils still works: the host values and published addresses the
    //   module holds (a script object, a buffer's address);
    // - after the object's MoaUtils is gone: memory that needs no host call.
    void (*teardownBeforeWorker)(ObjectView& object) = nullptr;
    void (*teardownAfterWorker)(ObjectView& object) = nullptr;
    void (*teardownAfterUtils)(ObjectView& object) = nullptr;

    // The module's own readable properties: true when `property` is one of them (the
    // result is then written).
    bool (*readOwnProperty)(ObjectView& object, host::HostSymbol property, host::HostValue* result) = nullptr;
    // The module's own members: true when record->selector is one of them.
    bool (*callOwnMember)(ObjectView& object, host::HostCallRecord* record);

    // Notifications (Tidelisten only): one HandleNotification.
    void (*handleNotification)(ObjectView& object) = nullptr;
};

// Defined once in each module.
const PluginDefinition& ThisPlugin();

// The worker callbacks of a module whose worker is a `Worker`: making one lets no
// exception out (null when memory is short: the object goes on without a worker).
template <class Worker>
void* MakeWorker() noexcept {
    try {
        return new Worker();
    } catch (...) {
        return nullptr;
    }
}
template <class Worker>
void DisposeWorker(void* worker) {
    delete static_cast<Worker*>(worker);
}

}  // namespace tide
