// What registration reaches of the host: its registry of classes and the dictionary of
// one class entry. Called on the host's thread, inside PublishScriptClass; neither is
// kept past that call.
#pragma once

#include "host/component.h"

namespace host {

class EntryDictionary;

// Type code of a NUL-terminated text item in an entry dictionary.
constexpr int32_t kItemTypeText = 9;

// HostRegistry: handed to IMoaRegister::PublishScriptClass, borrowed for that call.
class HostRegistry : public Unknown {
public:
    // Entries 3-6. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    virtual Status TIDE_CALL Unused4() = 0;
    virtual Status TIDE_CALL Unused5() = 0;
    virtual Status TIDE_CALL Unused6() = 0;
    // Entry 7. Records that class `classId` offers interface `iid` (the plug-ins register
    // their script class with IMoaMmXScript) under `dictionary`, the host's word that
    // PublishScriptClass was given, passed back as it came. Hands out, in `*entry`, the
    // dictionary of the new entry: owned by the registry, not released by the caller. 0,
    // or the host's failure status with `*entry` null (the emulated host writes nothing
    // when an argument is null).
    virtual Status TIDE_CALL AddClassEntry(void* dictionary, const ClassId* classId, const InterfaceId* iid,
                                           EntryDictionary** entry) = 0;

protected:
    ~HostRegistry() = default;
};

// EntryDictionary: the items of one class entry.
class EntryDictionary : public Unknown {
public:
    // Entries 3-5. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    virtual Status TIDE_CALL Unused4() = 0;
    virtual Status TIDE_CALL Unused5() = 0;
    // Entry 6. Stores an item of type code `type` under `key` (NUL-terminated; the plug-ins
    // store only "msgTable"). For type kItemTypeText with `size` 0, `data` is a
    // NUL-terminated text; otherwise `size` bytes at `data`. The dictionary keeps a copy:
    // the caller's data and key may go afterwards. 0, or a failure status with nothing
    // stored (the emulated host refuses a null key, a negative size, and null data where
    // bytes are due).
    virtual Status TIDE_CALL StoreItem(int32_t type, const void* data, int32_t size, const char* key) = 0;

protected:
    ~EntryDictionary() = default;
};

}  // namespace host
