// Replacements of the global operator new and delete (the plain and nothrow forms, single
// and array; the aligned ones stay the library's, with their own delete). Every block
// carries a small header that says whether the modules' code made it, so that delete,
// wherever it runs, keeps the count of their live blocks right.
#include "tests/support/module_allocations.h"

#include <link.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tide::testing::allocations {

namespace {

// Keeps the block behind it aligned as malloc aligns.
constexpr size_t kHeaderBytes = 16;
constexpr uint64_t kModuleBlock = 0x4d6f64756c65424bull;  // "ModuleBK"
constexpr uint64_t kOtherBlock = 0x4f74686572426c6bull;   // "OtherBlk"
constexpr int kMostRanges = 16;

std::atomic<uintptr_t> gRangeBegin[kMostRanges];
std::atomic<uintptr_t> gRangeEnd[kMostRanges];
std::atomic<int> gRanges{0};
std::atomic<int64_t> gLiveModuleBlocks{0};
std::atomic<uint64_t> gCounted{0};
std::atomic<uint64_t> gRefused{0};
std::atomic<uint64_t> gRefuseNumber{0};
std::atomic<size_t> gRefuseAtLeast{0};
thread_local bool tArmed = false;

bool FromModule(const void* caller) {
    const auto address = reinterpret_cast<uintptr_t>(caller);
    const int ranges = gRanges.load(std::memory_order_acquire);
    for (int i = 0; i < ranges; ++i) {
        if (address >= gRangeBegin[i].load(std::memory_order_relaxed) &&
            address < gRangeEnd[i].load(std::memory_order_relaxed))
            return true;
    }
    return false;
}

bool EndsWith(const char* name, const char* tail) {
    const size_t length = std::strlen(name);
    const size_t tailLength = std::strlen(tail);
    return length >= tailLength && std::strcmp(name + length - tailLength, tail) == 0;
}

int NoteModuleCode(dl_phdr_info* info, size_t, void*) {
    if (!info->dlpi_name ||
        !(EndsWith(info->dlpi_name, "/Tidelisten.so") || EndsWith(info->dlpi_name, "/Tidespeak.so")))
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X)) continue;
        const int slot = gRanges.load(std::memory_order_relaxed);
        if (slot >= kMostRanges) return 1;
        gRangeBegin[slot] = info->dlpi_addr + segment.p_vaddr;
        gRangeEnd[slot] = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
        gRanges.store(slot + 1, std::memory_order_release);
    }
    return 0;
}

// Whether this allocation is to fail; counts it when it is an armed one of the modules'.
bool Refuse(bool fromModule, size_t bytes) {
    if (!fromModule || !tArmed) return false;
    const uint64_t number = ++gCounted;
    bool refuse = number == gRefuseNumber.load();
    const size_t atLeast = gRefuseAtLeast.load();
    if (atLeast != 0 && bytes >= atLeast) {
        gRefuseAtLeast = 0;
        refuse = true;
    }
    if (refuse) ++gRefused;
    return refuse;
}

void* Allocate(size_t bytes, const void* caller) noexcept {
    const bool fromModule = FromModule(caller);
    if (Refuse(fromModule, bytes)) return nullptr;
    auto* block = static_cast<uint8_t*>(std::malloc(kHeaderBytes + bytes));
    if (!block) return nullptr;
    const uint64_t tag = fromModule ? kModuleBlock : kOtherBlock;
    std::memcpy(block, &tag, sizeof tag);
    if (fromModule) ++gLiveModuleBlocks;
    return block + kHeaderBytes;
}

void* AllocateOrThrow(size_t bytes, const void* caller) {
    void* block = Allocate(bytes, caller);
    if (!block) throw std::bad_alloc();
    return block;
}

void Free(void* pointer) noexcept {
    if (!pointer) return;
    auto* block = static_cast<uint8_t*>(pointer) - kHeaderBytes;
    uint64_t tag = 0;
    std::memcpy(&tag, block, sizeof tag);
    if (tag == kModuleBlock) --gLiveModuleBlocks;
    std::free(block);
}

}  // namespace

void WatchLoadedModules() {
    gRanges = 0;
    dl_iterate_phdr(&NoteModuleCode, nullptr);
}

void Arm() {
    gCounted = 0;
    gRefused = 0;
    gRefuseNumber = 0;
    gRefuseAtLeast = 0;
    tArmed = true;
}

void Disarm() {
    tArmed = false;
    gRefuseNumber = 0;
    gRefuseAtLeast = 0;
}

bool CountAllocation(size_t bytes) { return Refuse(true, bytes); }
void RefuseNumber(uint64_t n) { gRefuseNumber = n == 0 ? 0 : gCounted.load() + n; }
void RefuseNextOfAtLeast(size_t bytes) { gRefuseAtLeast = bytes; }
uint64_t Counted() { return gCounted.load(); }
uint64_t Refused() { return gRefused.load(); }
int64_t LiveModuleBlocks() { return gLiveModuleBlocks.load(); }

}  // namespace tide::testing::allocations

using tide::testing::allocations::Free;

// Each form looks at its own caller: the array forms are called by the modules directly.
__attribute__((noinline)) void* operator new(size_t bytes) {
    return tide::testing::allocations::AllocateOrThrow(bytes, __builtin_return_address(0));
}
__attribute__((noinline)) void* operator new[](size_t bytes) {
    return tide::testing::allocations::AllocateOrThrow(bytes, __builtin_return_address(0));
}
__attribute__((noinline)) void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    return tide::testing::allocations::Allocate(bytes, __builtin_return_address(0));
}
__attribute__((noinline)) void* operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return tide::testing::allocations::Allocate(bytes, __builtin_return_address(0));
}
void operator delete(void* pointer) noexcept { Free(pointer); }
void operator delete[](void* pointer) noexcept { Free(pointer); }
void operator delete(void* pointer, size_t) noexcept { Free(pointer); }
void operator delete[](void* pointer, size_t) noexcept { Free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Free(pointer); }
