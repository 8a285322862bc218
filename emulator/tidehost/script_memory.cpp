// Regions made by host.alloc.
#include "emulator/tidehost/script_memory.h"

#include <cstring>
#include <new>

#include "host/address_table.h"

namespace tide::tidehost {

uint32_t ScriptMemory::Allocate(const char* bytes, size_t length) {
    if (length > UINT32_MAX) return 0;
    // An empty region still needs an address of its own.
    std::unique_ptr<char[]> block(new (std::nothrow) char[length == 0 ? 1 : length]);
    if (!block) return 0;
    std::memcpy(block.get(), bytes, length);
    uint32_t address = 0;
    if (!table_) {
        const auto where = reinterpret_cast<uintptr_t>(block.get());
        if (where > UINT32_MAX) return 0;
        address = static_cast<uint32_t>(where);
    } else if (table_->Publish(block.get(), static_cast<uint32_t>(length), &address) != host::kOk ||
               address == 0) {
        return 0;
    }
    regions_[address] = Region{std::move(block), static_cast<uint32_t>(length)};
    return address;
}

bool ScriptMemory::Free(uint32_t address) {
    auto found = regions_.find(address);
    if (found == regions_.end()) return false;
    if (table_) table_->Withdraw(address);
    regions_.erase(found);
    return true;
}

void ScriptMemory::FreeAll() {
    if (table_) {
        for (const auto& region : regions_) table_->Withdraw(region.first);
    }
    regions_.clear();
}

bool ScriptMemory::Find(uint32_t address, const char** base, uint32_t* length) const {
    auto found = regions_.find(address);
    if (found == regions_.end()) return false;
    *base = found->second.bytes.get();
    *length = found->second.length;
    return true;
}

}  // namespace tide::tidehost
