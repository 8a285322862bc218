// The five functions every plug-in module exports, by which the host finds its classes,
// their instance sizes and interfaces, makes interfaces on instances, and asks whether
// the module may be unloaded. All work from the module's constant class table: the
// registration class (IMoaRegister), then the script class (IMoaMmXScript, IMoaMmXValue
// and, in Tidelisten, IMoaNotificationClient). None takes a lock.
// Threads: DllGetClassForm, DllGetClassObject and DllCanUnloadNow touch only constant
// data, the caller's outs and a read of `liveInterfaces`, so any thread may call them.
// DllGetClassInfo allocates from the HostMemory it is given, so it runs wherever that
// allocator may be called (the emulated host's: on the host's thread only).
// DllGetInterface makes interface objects: host's thread only.
#pragma once

#include "host/callback.h"
#include "host/component.h"

namespace host {

// A class's create and destroy callbacks, each given one pointer. In these plug-ins both
// do nothing and create answers 0: the object state is built and torn down with the
// value interface.
using ClassCreateCallback = Status(TIDE_CALL*)(void* instance);
using ClassDestroyCallback = void(TIDE_CALL*)(void* instance);

// Size of one class-info record, and the model word every record carries (its meaning is
// the host's).
constexpr uint32_t kClassInfoRecordBytes = 40;
constexpr uint32_t kModelWord = 0x0B0000C0;

extern "C" {
// The class `classId` (the first class, the registration class, when null): writes its
// instance size in bytes (the instance header, plus the instance variables for the
// script class) to `*instanceBytes` and its two callbacks to `*create` and `*destroy`.
// 0, or kNoSuchClass with nothing written for a class the module does not have.
using DllGetClassFormFunction = Status(TIDE_CALL*)(const ClassId* classId, uint32_t* instanceBytes,
                                                   ClassCreateCallback* create,
                                                   ClassDestroyCallback* destroy);
// The module's class information: an array of 40-byte little-endian records allocated
// from `memory`, its address in `*records`. Each class record (class id, kModelWord,
// kClassInfoRecordId, 1) is followed by one record per interface (class id, kModelWord,
// interface id, kModelWord); a record of zeros ends the array: 7 records in Tidelisten,
// 6 in Tidespeak. The caller owns the array and gives it back with memory->Free. 0, or
// kNoMemory with `*records` null when `memory` refuses.
using DllGetClassInfoFunction = Status(TIDE_CALL*)(HostMemory* memory, uint8_t** records);
// Makes a new object for interface `iid` of class `classId` on `instance` (the header of
// an instance of that class, made with the size DllGetClassForm gave) and hands it out
// in `*out`, with one reference, the caller's. The object is allocated from the
// instance's HostMemory (after an installed new-handler, if any, has tried to make room)
// and holds references to the instance; the value interface's creation builds the object
// state. It does not look for an existing object: the instance's own query does
// (instance.h). 0; kNoMemory with `*out` null when memory runs out; kNoSuchInterface
// with `*out` untouched when the class, or that interface of it, is not the module's.
using DllGetInterfaceFunction = Status(TIDE_CALL*)(void* instance, const ClassId* classId,
                                                   const InterfaceId* iid, void** out);
// Class objects are not offered: always kNoSuchClass, whatever the three arguments;
// `*out` is not written.
using DllGetClassObjectFunction = Status(TIDE_CALL*)(const void* classId, const void* iid, void** out);
// 0 when no interface object of the module is alive (its count, `liveInterfaces`, is 0),
// kStillInUse otherwise. Instances without interface objects do not keep the module. The
// count changes on the host's thread and is read atomically: an answer given to another
// thread is sound but can be out of date.
using DllCanUnloadNowFunction = Status(TIDE_CALL*)();
}

// The exports' names, undecorated on every platform.
constexpr const char* kExportGetClassForm = "DllGetClassForm";
constexpr const char* kExportGetClassInfo = "DllGetClassInfo";
constexpr const char* kExportGetInterface = "DllGetInterface";
constexpr const char* kExportGetClassObject = "DllGetClassObject";
constexpr const char* kExportCanUnloadNow = "DllCanUnloadNow";

}  // namespace host
