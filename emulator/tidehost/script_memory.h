// Memory a script makes with host.alloc: copies of Lua strings, published in the host's
// address table so that their numbers can go to SendBuffer, and freed by host.free or
// when the run ends. Host's thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

namespace host {
class AddressTable;
}

namespace tide::tidehost {

class ScriptMemory {
public:
    explicit ScriptMemory(host::AddressTable* table) : table_(table) {}
    ~ScriptMemory() { FreeAll(); }
    ScriptMemory(const ScriptMemory&) = delete;
    ScriptMemory& operator=(const ScriptMemory&) = delete;

    // A new region holding a copy of `length` bytes; its number, or 0 when the table or
    // the memory refused.
    uint32_t Allocate(const char* bytes, size_t length);
    // Withdraws and frees a region made here; false for any other number.
    bool Free(uint32_t address);
    void FreeAll();
    size_t regions() const { return regions_.size(); }

private:
    host::AddressTable* table_;
    std::map<uint32_t, std::unique_ptr<char[]>> regions_;
};

}  // namespace tide::tidehost
