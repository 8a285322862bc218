// Memory a script makes with host.alloc: copies of Lua strings, published in the host's
// address table so that their numbers can go to SendBuffer (without a table, where
// addresses fit in 32 bits, the number is the address itself), and freed by host.free
// or when the run ends. Host's thread only.
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
    // `table` null: the host offers no address table, and numbers are addresses.
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
    // The region made here under `address`: its start and length; false for any other.
    bool Find(uint32_t address, const char** base, uint32_t* length) const;

private:
    struct Region {
        std::unique_ptr<char[]> bytes;
        uint32_t length = 0;
    };
    host::AddressTable* table_;
    std::map<uint32_t, Region> regions_;
};

}  // namespace tide::tidehost
