// The class registry of the emulated host.
#include "emulator/registry.h"

#include <cstring>

namespace tide::emulator {

const StoredItem* RegisteredClass::Find(const std::string& key) const {
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (it->key == key) return &*it;
    }
    return nullptr;
}

EntryDictionaryObject::EntryDictionaryObject(Ledger& ledger, RegistryObject& registry, size_t entry)
    : CountedInterface(ledger, "EntryDictionary", nullptr), registry_(registry), entry_(entry) {}

host::Status EntryDictionaryObject::Unused3() { return NotProvided(3); }
host::Status EntryDictionaryObject::Unused4() { return NotProvided(4); }
host::Status EntryDictionaryObject::Unused5() { return NotProvided(5); }

host::Status EntryDictionaryObject::StoreItem(int32_t type, const void* data, int32_t size, const char* key) {
    if (!ledger_.OnHostThread("EntryDictionary::StoreItem")) return kWrongThread;
    if (!key || size < 0 || (!data && (size > 0 || type == host::kItemTypeText))) {
        Misuse("StoreItem with a null key or data, or a negative size");
        return kBadArgument;
    }
    StoredItem item;
    item.type = type;
    item.size = size;
    item.key = key;
    if (type == host::kItemTypeText && size == 0) {
        item.bytes = static_cast<const char*>(data);
    } else if (size > 0) {
        item.bytes.assign(static_cast<const char*>(data), static_cast<size_t>(size));
    }
    registry_.entry(entry_).items.push_back(std::move(item));
    return host::kOk;
}

RegistryObject::RegistryObject(Ledger& ledger) : CountedInterface(ledger, "HostRegistry", nullptr) {}

host::Status RegistryObject::Unused3() { return NotProvided(3); }
host::Status RegistryObject::Unused4() { return NotProvided(4); }
host::Status RegistryObject::Unused5() { return NotProvided(5); }
host::Status RegistryObject::Unused6() { return NotProvided(6); }

host::Status RegistryObject::AddClassEntry(void* dictionary, const host::ClassId* classId,
                                           const host::InterfaceId* iid, host::EntryDictionary** entry) {
    if (!ledger_.OnHostThread("HostRegistry::AddClassEntry")) return kWrongThread;
    if (!classId || !iid || !entry) {
        Misuse("AddClassEntry with a null class id, interface id or out pointer");
        return kBadArgument;
    }
    if (failure_ != host::kOk) {
        *entry = nullptr;
        return failure_;
    }
    RegisteredClass registered;
    registered.dictionary = dictionary;
    registered.classId = *classId;
    registered.iid = *iid;
    classes_.push_back(std::move(registered));
    // The registry keeps the dictionary; the caller does not release it.
    dictionaries_.push_back(std::make_unique<EntryDictionaryObject>(ledger_, *this, classes_.size() - 1));
    *entry = dictionaries_.back().get();
    return host::kOk;
}

}  // namespace tide::emulator
