// Readable memory on Windows: every page of the range committed, readable and not a guard.
#include <windows.h>

#include <cstdint>

#include "emulator/tidehost/readable_memory.h"

namespace tide::tidehost {

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

}  // namespace

bool IsReadable(const void* base, size_t length) {
    auto at = reinterpret_cast<uintptr_t>(base);
    if (at == 0 || at + length < at) return false;
    const uintptr_t end = at + length;
    while (at < end) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
        if (region.State != MEM_COMMIT || !(region.Protect & kReadable) || (region.Protect & PAGE_GUARD))
            return false;
        at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

}  // namespace tide::tidehost
