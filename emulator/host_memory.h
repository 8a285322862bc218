// HostMemory of the emulated host: the allocator plug-ins make their instances and
// interface objects with. Counts live blocks, refuses blocks on request, and records a
// free of a block it never gave. Host's thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/callback.h"

namespace tide::emulator {

class HostMemoryObject final : public CountedInterface<host::HostMemory> {
public:
    HostMemoryObject(Ledger& ledger, host::Unknown* callback);
    // Frees the blocks still out: the plug-ins that held them are gone by then.
    ~HostMemoryObject() override;

    void* TIDE_CALL Allocate(uint32_t bytes) override;
    void TIDE_CALL Free(void* block) override;

    // The next `count` Allocate calls give null.
    void FailNextAllocations(size_t count) { failNext_ = count; }
    // Every Allocate call gives null until switched off.
    void FailAllAllocations(bool fail) { failAll_ = fail; }
    // Asks `refuse` about every Allocate call (with its size) while set; true gives null.
    void RefuseWhen(std::function<bool(uint32_t bytes)> refuse) { refuse_ = std::move(refuse); }

    size_t liveBlocks() const { return blocks_.size(); }
    // The serial number of the live block that starts at `block` (every block gets a new
    // one, never 0), so a block freed and given again at the same address is told
    // apart; 0 when no live block starts there.
    uint64_t BlockSerial(const void* block) const;
    std::vector<std::string> DescribeLive() const;

private:
    struct Block {
        uint32_t bytes;
        uint64_t serial;
    };

    std::unordered_map<const void*, Block> blocks_;
    uint64_t nextSerial_ = 1;
    size_t failNext_ = 0;
    bool failAll_ = false;
    std::function<bool(uint32_t)> refuse_;
};

}  // namespace tide::emulator
