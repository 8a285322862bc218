// ObjectView: name matching and the addresses handed to scripts.
#include "framework/object_view.h"

#include <cstdint>

#include "framework/host_ref.h"
#include "host/address_table.h"
#include "host/ids.h"

namespace tide {

namespace {

// The host's address table for the duration of one operation, or empty where it has none.
using AddressTableRef = HostRef<host::AddressTable>;

constexpr bool kPointersFitScripts = sizeof(void*) <= sizeof(uint32_t);

}  // namespace

bool ObjectView::Is(host::HostSymbol symbol, const char* name) const {
    host::HostSymbol made = 0;
    utils().MakeSymbol(name, &made);
    return made != 0 && made == symbol;
}

uint32_t ObjectView::PublishAddress(const void* address, uint32_t bytes) const {
    AddressTableRef table(utils(), host::kIidAddressTable);
    if (!table) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
    uint32_t handle = 0;
    table->Publish(address, bytes, &handle);
    return handle;
}

void ObjectView::WithdrawAddress(uint32_t handle) const {
    AddressTableRef table(utils(), host::kIidAddressTable);
    if (table) table->Withdraw(handle);
}

uint32_t ObjectView::AddressForScript(const void* address, uint32_t bytes, uint32_t* handle) const {
    if (*handle == 0) {
        AddressTableRef table(utils(), host::kIidAddressTable);
        if (!table) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
        table->Publish(address, bytes, handle);
    }
    return *handle;
}

void* ObjectView::AddressFromScript(uint32_t number, uint32_t bytes) const {
    AddressTableRef table(utils(), host::kIidAddressTable);
    if (!table) {
        // Without a table a script's number is an address only where addresses fit in it,
        // and a region that would run past the end of the address space is none.
        if (!kPointersFitScripts || uint64_t{number} + bytes > uint64_t{UINTPTR_MAX} + 1) return nullptr;
        return reinterpret_cast<void*>(static_cast<uintptr_t>(number));
    }
    void* base = nullptr;
    if (table->Resolve(number, bytes, &base) != host::kOk) return nullptr;
    return base;
}

}  // namespace tide
