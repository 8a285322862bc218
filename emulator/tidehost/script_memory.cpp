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
    if (table_->Publish(block.get(), static_cast<uint32_t>(length), &address) != host::kOk || address == 0)
        return 0;
    regions_[address] = std::move(block);
    return address;
}

bool ScriptMemory::Free(uint32_t address) {
    auto found = regions_.find(address);
    if (found == regions_.end()) return false;
    table_->Withdraw(address);
    regions_.erase(found);
    return true;
}

void ScriptMemory::FreeAll() {
    for (const auto& region : regions_) table_->Withdraw(region.first);
    regions_.clear();
}

}  // namespace tide::tidehost
