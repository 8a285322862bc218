// ScriptObject: name matching and the addresses handed to scripts.
#include "framework/object_state.h"
#include "host/address_table.h"
#include "host/ids.h"

namespace tide {

namespace {

// The host's address table for the duration of one operation, or null where it has none.
class AddressTableRef {
public:
    explicit AddressTableRef(MoaUtils& utils) {
        void* raw = nullptr;
        utils.QueryHostInterface(&host::kIidAddressTable, &raw);
        table_ = static_cast<host::AddressTable*>(raw);
    }
    ~AddressTableRef() {
        if (table_) table_->Release();
    }
    AddressTableRef(const AddressTableRef&) = delete;
    AddressTableRef& operator=(const AddressTableRef&) = delete;

    host::AddressTable* operator->() const { return table_; }
    explicit operator bool() const { return table_ != nullptr; }

private:
    host::AddressTable* table_;
};

constexpr bool kPointersFitScripts = sizeof(void*) <= sizeof(uint32_t);

}  // namespace

bool ScriptObject::Is(host::HostSymbol symbol, const char* name) const {
    host::HostSymbol made = 0;
    utils().MakeSymbol(name, &made);
    return made != 0 && made == symbol;
}

uint32_t ScriptObject::PublishAddress(const void* address, uint32_t bytes) const {
    AddressTableRef table(utils());
    if (!table) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
    uint32_t handle = 0;
    table->Publish(address, bytes, &handle);
    return handle;
}

void ScriptObject::WithdrawAddress(uint32_t handle) const {
    AddressTableRef table(utils());
    if (table) table->Withdraw(handle);
}

uint32_t ScriptObject::AddressForScript(const void* address, uint32_t bytes, uint32_t* handle) const {
    if (*handle == 0) {
        AddressTableRef table(utils());
        if (!table) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
        table->Publish(address, bytes, handle);
    }
    return *handle;
}

void* ScriptObject::AddressFromScript(uint32_t number, uint32_t bytes) const {
    AddressTableRef table(utils());
    if (!table) {
        // Without a table a script's number is an address only where addresses fit in it.
        return kPointersFitScripts ? reinterpret_cast<void*>(static_cast<uintptr_t>(number)) : nullptr;
    }
    void* base = nullptr;
    if (table->Resolve(number, bytes, &base) != host::kOk) return nullptr;
    return base;
}

}  // namespace tide
