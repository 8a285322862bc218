// The five functions every plug-in module exports, by which the host finds its classes,
// their instance sizes and interfaces, makes interfaces on instances, and asks whether
// the module may be unloaded. They run on whatever thread the host calls them from and
// touch only constant data, the caller's outs and the count of live interface objects.
#pragma once

#include "host/callback.h"
#include "host/component.h"

namespace host {

// A class's create and destroy callbacks (both do nothing in these plug-ins).
using ClassCreateCallback = Status(TIDE_CALL*)(void* instance);
using ClassDestroyCallback = void(TIDE_CALL*)(void* instance);

// Size of one class-info record, and the model word every record carries.
constexpr uint32_t kClassInfoRecordBytes = 40;
constexpr uint32_t kModelWord = 0x0B0000C0;

extern "C" {
// The class `classId` (the first class when null): writes its instance size and its two
// callbacks. 0, or kNoSuchClass with nothing written.
using DllGetClassFormFunction = Status(TIDE_CALL*)(const ClassId* classId, uint32_t* instanceBytes,
                                                   ClassCreateCallback* create,
                                                   ClassDestroyCallback* destroy);
// An array of 40-byte little-endian records, allocated from `memory` and owned by the
// caller afterwards: each class, then its interfaces, then a terminator. 0, or kNoMemory
// with `*records` null.
using DllGetClassInfoFunction = Status(TIDE_CALL*)(HostMemory* memory, uint8_t** records);
// Makes interface `iid` of class `classId` on `instance` (an instance header) into `*out`.
// The creation's status (0 or kNoMemory), or kNoSuchInterface with `*out` untouched.
using DllGetInterfaceFunction = Status(TIDE_CALL*)(void* instance, const ClassId* classId,
                                                   const InterfaceId* iid, void** out);
// Class objects are not offered: always kNoSuchClass.
using DllGetClassObjectFunction = Status(TIDE_CALL*)(const void* classId, const void* iid, void** out);
// 0 when no interface object of the module is alive, kStillInUse otherwise.
using DllCanUnloadNowFunction = Status(TIDE_CALL*)();
}

constexpr const char* kExportGetClassForm = "DllGetClassForm";
constexpr const char* kExportGetClassInfo = "DllGetClassInfo";
constexpr const char* kExportGetInterface = "DllGetInterface";
constexpr const char* kExportGetClassObject = "DllGetClassObject";
constexpr const char* kExportCanUnloadNow = "DllCanUnloadNow";

}  // namespace host
