// The class registry of the emulated host: records what a plug-in's registration
// stores (class id, interface id, and every item of the entry's dictionary), so tests
// and tidehost can look at it. Host's thread only, inside PublishScriptClass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/registry.h"

namespace tide::emulator {

// One StoreItem call.
struct StoredItem {
    int32_t type = 0;
    int32_t size = 0;
    std::string key;
    // A copy of the data: the text (without its NUL) for a text item of size 0,
    // otherwise `size` bytes.
    std::string bytes;
};

// One AddClassEntry call and what was stored in its dictionary.
struct RegisteredClass {
    const void* dictionary = nullptr;
    host::ClassId classId{};
    host::InterfaceId iid{};
    std::vector<StoredItem> items;

    // The last item stored under `key` (exact spelling); null when there is none.
    const StoredItem* Find(const std::string& key) const;
};

class RegistryObject;

class EntryDictionaryObject final : public CountedInterface<host::EntryDictionary> {
public:
    EntryDictionaryObject(Ledger& ledger, RegistryObject& registry, size_t entry);

    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL Unused4() override;
    host::Status TIDE_CALL Unused5() override;
    host::Status TIDE_CALL StoreItem(int32_t type, const void* data, int32_t size, const char* key) override;

private:
    RegistryObject& registry_;
    size_t entry_;
};

class RegistryObject final : public CountedInterface<host::HostRegistry> {
public:
    explicit RegistryObject(Ledger& ledger);

    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL Unused4() override;
    host::Status TIDE_CALL Unused5() override;
    host::Status TIDE_CALL Unused6() override;
    host::Status TIDE_CALL AddClassEntry(void* dictionary, const host::ClassId* classId,
                                         const host::InterfaceId* iid,
                                         host::EntryDictionary** entry) override;

    // AddClassEntry answers `status` (and hands out no dictionary) while it is not 0.
    void FailAddClassEntry(host::Status status) { failure_ = status; }

    const std::vector<RegisteredClass>& classes() const { return classes_; }
    RegisteredClass& entry(size_t index) { return classes_[index]; }

private:
    std::vector<RegisteredClass> classes_;
    std::vector<std::unique_ptr<EntryDictionaryObject>> dictionaries_;
    host::Status failure_ = host::kOk;
};

}  // namespace tide::emulator
