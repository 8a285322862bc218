// HostMemory of the emulated host.
#include "emulator/host_memory.h"

#include <cstdio>
#include <cstdlib>

#include "host/ids.h"

namespace tide::emulator {

HostMemoryObject::HostMemoryObject(Ledger& ledger, host::Unknown* callback)
    : CountedInterface(ledger, "HostMemory", &host::kIidHostMemory, callback) {}

HostMemoryObject::~HostMemoryObject() {
    for (auto& block : blocks_) std::free(const_cast<void*>(block.first));
}

void* HostMemoryObject::Allocate(uint32_t bytes) {
    if (!ledger_.OnHostThread("HostMemory::Allocate")) return nullptr;
    if (failAll_ || failNext_ > 0 || (refuse_ && refuse_(bytes))) {
        if (failNext_ > 0) --failNext_;
        ++ledger_.counters().refusedAllocations;
        return nullptr;
    }
    // A block of 0 bytes is still a block of its own, to be freed like any other.
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (!block) {
        ++ledger_.counters().refusedAllocations;
        return nullptr;
    }
    blocks_.emplace(block, Block{bytes, nextSerial_++});
    ++ledger_.counters().allocations;
    return block;
}

void HostMemoryObject::Free(void* block) {
    if (!ledger_.OnHostThread("HostMemory::Free")) return;
    if (!block) return;
    auto found = blocks_.find(block);
    if (found == blocks_.end()) {
        char text[96];
        std::snprintf(text, sizeof text, "Free of %p, a block this host did not give or freed already",
                      block);
        Misuse(text);
        return;
    }
    blocks_.erase(found);
    std::free(block);
}

uint64_t HostMemoryObject::BlockSerial(const void* block) const {
    auto found = blocks_.find(block);
    return found == blocks_.end() ? 0 : found->second.serial;
}

std::vector<std::string> HostMemoryObject::DescribeLive() const {
    std::vector<std::string> lines;
    for (const auto& block : blocks_) {
        char text[64];
        std::snprintf(text, sizeof text, "block of %u bytes at %p", static_cast<unsigned>(block.second.bytes),
                      block.first);
        lines.push_back(text);
    }
    return lines;
}

}  // namespace tide::emulator
