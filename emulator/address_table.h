// The address table of the emulated host: 32-bit handles for memory regions that
// scripts refer to by number. Handles are never 0 and count upwards, so a withdrawn
// handle is not given out again for a long time and resolves to nothing. Host's thread only.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/address_table.h"

namespace tide::emulator {

class AddressTableObject final : public CountedInterface<host::AddressTable> {
public:
    AddressTableObject(Ledger& ledger, host::Unknown* callback);

    host::Status TIDE_CALL Publish(const void* base, uint32_t length, uint32_t* handle) override;
    host::Status TIDE_CALL Withdraw(uint32_t handle) override;
    host::Status TIDE_CALL Resolve(uint32_t handle, uint32_t length, void** base) override;
    host::Status TIDE_CALL Lookup(uint32_t handle, void** base, uint32_t* length) override;

    size_t published() const { return regions_.size(); }
    std::vector<std::string> DescribeLive() const;

private:
    // Handles stay positive as 32-bit signed integers, which is what scripts hold.
    static constexpr uint32_t kLastHandle = 0x7FFFFFFFu;

    struct Region {
        const void* base;
        uint32_t length;
    };

    std::unordered_map<uint32_t, Region> regions_;
    uint32_t nextHandle_ = 1;
};

}  // namespace tide::emulator
