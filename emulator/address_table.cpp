// The address table of the emulated host.
#include "emulator/address_table.h"

#include <cstdio>

#include "host/ids.h"

namespace tide::emulator {

AddressTableObject::AddressTableObject(Ledger& ledger, host::Unknown* callback)
    : CountedInterface(ledger, "AddressTable", &host::kIidAddressTable, callback) {}

host::Status AddressTableObject::Publish(const void* base, uint32_t length, uint32_t* handle) {
    if (!ledger_.OnHostThread("AddressTable::Publish")) return kWrongThread;
    if (!base || !handle) {
        Misuse("Publish with a null region or handle");
        return kBadArgument;
    }
    uint32_t chosen = nextHandle_;
    while (regions_.count(chosen) != 0) chosen = chosen == kLastHandle ? 1 : chosen + 1;
    nextHandle_ = chosen == kLastHandle ? 1 : chosen + 1;
    regions_.emplace(chosen, Region{base, length});
    *handle = chosen;
    return host::kOk;
}

host::Status AddressTableObject::Withdraw(uint32_t handle) {
    if (!ledger_.OnHostThread("AddressTable::Withdraw")) return kWrongThread;
    return regions_.erase(handle) != 0 ? host::kOk : host::kNoSuchInterface;
}

host::Status AddressTableObject::Resolve(uint32_t handle, uint32_t length, void** base) {
    if (!ledger_.OnHostThread("AddressTable::Resolve")) return kWrongThread;
    if (!base) {
        Misuse("Resolve with a null out pointer");
        return kBadArgument;
    }
    auto found = regions_.find(handle);
    if (found == regions_.end() || found->second.length < length) {
        *base = nullptr;
        return kBadArgument;
    }
    *base = const_cast<void*>(found->second.base);
    return host::kOk;
}

host::Status AddressTableObject::Lookup(uint32_t handle, void** base, uint32_t* length) {
    if (!ledger_.OnHostThread("AddressTable::Lookup")) return kWrongThread;
    if (!base || !length) {
        Misuse("Lookup with a null out pointer");
        return kBadArgument;
    }
    auto found = regions_.find(handle);
    if (found == regions_.end()) {
        *base = nullptr;
        *length = 0;
        return kBadArgument;
    }
    *base = const_cast<void*>(found->second.base);
    *length = found->second.length;
    return host::kOk;
}

std::vector<std::string> AddressTableObject::DescribeLive() const {
    std::vector<std::string> lines;
    for (const auto& region : regions_) {
        char text[96];
        std::snprintf(text, sizeof text, "published region %u: %u bytes at %p",
                      static_cast<unsigned>(region.first), static_cast<unsigned>(region.second.length),
                      region.second.base);
        lines.push_back(text);
    }
    return lines;
}

}  // namespace tide::emulator
