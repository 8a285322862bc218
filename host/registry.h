// What registration reaches of the host: its registry of classes and the dictionary of
// one class entry. Called on the host's thread, inside PublishScriptClass.
#pragma once

#include "host/component.h"

namespace host {

class EntryDictionary;

// Type code of a NUL-terminated text item in an entry dictionary.
constexpr int32_t kItemTypeText = 9;

// HostRegistry: handed to IMoaRegister::PublishScriptClass.
class HostRegistry : public Unknown {
public:
    // Entries 3-6. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    virtual Status TIDE_CALL Unused4() = 0;
    virtual Status TIDE_CALL Unused5() = 0;
    virtual Status TIDE_CALL Unused6() = 0;
    // Entry 7. Records that `classId` offers `iid` and hands out, in `*entry`, the
    // dictionary of that entry (owned by the registry: not released by the caller).
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
    // Entry 6. Stores an item under `key`. For type kItemTypeText with size 0, `data` is a
    // NUL-terminated text and the dictionary keeps a copy of it.
    virtual Status TIDE_CALL StoreItem(int32_t type, const void* data, int32_t size, const char* key) = 0;

protected:
    ~EntryDictionary() = default;
};

}  // namespace host
