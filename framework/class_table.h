// The module's fixed class table and the one routine that walks it for three exports:
// the registration class with IMoaRegister, then the script class with IMoaMmXScript,
// IMoaMmXValue and (Tidelisten) IMoaNotificationClient. Constant data; any thread.
#pragma once

#include "host/component.h"
#include "host/plugin_exports.h"

namespace tide {

using InterfaceCreateCallback = host::Status(TIDE_CALL*)(void* instance, void** out);

// Answer non-zero to end the walk.
using ClassVisitor = int (*)(const host::ClassId& classId, uint32_t modelWord, uint32_t instanceBytes,
                             host::ClassCreateCallback create, host::ClassDestroyCallback destroy,
                             void* context);
using InterfaceVisitor = int (*)(const host::ClassId& classId, uint32_t classModelWord,
                                 const host::InterfaceId& iid, uint32_t interfaceModelWord,
                                 InterfaceCreateCallback create, void* context);

// Visits each class (in table order) that passes `filter` (all classes when null), then
// each of its interfaces in order. Either visitor may be null.
void WalkClassTable(const host::ClassId* filter, ClassVisitor onClass, InterfaceVisitor onInterface,
                    void* context);

}  // namespace tide
