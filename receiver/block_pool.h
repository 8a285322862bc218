// The receive blocks of one listener and the memory they live in.
//
// A datagram is received into a block of its own, which waits in the listener's queue
// until the host's thread delivers it. Blocks are carved from slabs of system pages
// (receiver/system_pages.h): a slab is one large page, kBlocksPerSlab blocks, so a burst
// that needs fresh blocks costs one fault per slab instead of five per block from the
// heap. Where a large page comes slowly (on a virtual machine whose host took the memory
// back), the next few slabs have small pages. A block handed back stays in its slab,
// ready for the next datagram, so a burst that meets the blocks an earlier one left costs
// no fault at all. Blocks are taken from the oldest slab that has one free (within a
// slab, the one handed back last, still in the processor's cache), which keeps the blocks
// in use together and leaves the newer slabs empty once a burst is delivered; Trim gives
// those back to the system.
//
// In the sanitizer builds a slab is one block from the heap, so that each block is
// checked on its own, as before slabs.
//
// Every member may be called on any thread. A block goes back to its pool when the
// BlockPtr that holds it lets go of it, on whatever thread that happens.
#pragma once

#include <ace/INET_Addr.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "receiver/datagram.h"
#include "receiver/receive_wait.h"
#include "receiver/system_pages.h"

namespace tide {

class BlockSlab;

// One received datagram, byte for byte as it came, with what arrived of it.
struct ReceiveBlock {
    // Only the first `length` bytes arrived; the rest is whatever the block held before.
    uint8_t datagram[kDatagramBytes];
    // Bytes received: 0 to kDatagramBytes (a longer datagram is cut to kDatagramBytes).
    int32_t length = 0;
    // IPv4 address and UDP source port of the sender.
    ACE_INET_Addr sender;

private:
    friend class BlockPool;
    friend class BlockSlab;
    friend struct BlockReturn;
    // The slab the block was carved from; null for a block made on its own.
    BlockSlab* slab_ = nullptr;
    // The next free block of the same slab, while this one is free.
    ReceiveBlock* nextFree_ = nullptr;
};

// Hands a block back: to its slab when it was carved from one, to the heap when it was
// made on its own. Never throws.
struct BlockReturn {
    void operator()(ReceiveBlock* block) const noexcept;
};

// A block in use. Letting go of it hands it back.
using BlockPtr = std::unique_ptr<ReceiveBlock, BlockReturn>;

// A block of its own from the heap, for code that fills blocks without a pool (a fuzz
// target that feeds deliveries); freed when let go of. Null when memory is short.
BlockPtr MakeLoneBlock();

class BlockPool {
public:
    // The bytes of one slab: a large page (one block's in the sanitizer builds).
    static constexpr size_t kSlabBytes = kSystemPages ? kLargePageBytes : sizeof(ReceiveBlock);
    // Blocks in a slab: as many as fit (102 in a large page on 64-bit systems).
    static constexpr size_t kBlocksPerSlab = kSlabBytes / sizeof(ReceiveBlock);

    // An empty pool: no slab until the first block is taken. `wake`, when given, is woken
    // when a block comes back while AwaitReturn is set.
    explicit BlockPool(ReceiveWait* wake = nullptr) : wake_(wake) {}
    // Gives every slab back. Every block taken must have been handed back first: a slab
    // with a block still out is left mapped, never freed under it.
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A free block of a slab already there, or null when every one is in use.
    BlockPtr TakeKept();
    // A free block, from a new slab when every one is in use; null when the system has no
    // memory for one.
    BlockPtr TakeFresh();

    // Gives back to the system the slabs none of whose blocks is in use, the newest first,
    // until `reserve` slabs are left (or none of the rest is empty).
    void Trim(size_t reserve);
    // While set, a slab whose last block in use comes back goes back to the system at
    // once: the pool of a listener that has stopped receiving.
    void GiveBackEmptied(bool giveBack);

    // Makes the next block handed back wake the pool's `wake`; ended by that block or
    // by EndAwait.
    void AwaitReturn() { awaiting_ = true; }
    void EndAwait() { awaiting_ = false; }

    // Blocks that can be taken without a new slab.
    size_t KeptBlocks();
    // Blocks handed back since the pool was made.
    uint64_t Returns() const { return returns_.load(std::memory_order_relaxed); }
    // Slabs the pool holds, and the bytes they take from the system.
    size_t Slabs();
    size_t SlabBytes() { return Slabs() * kSlabBytes; }

private:
    friend struct BlockReturn;
    // Takes a free block from the oldest slab with one; null when none has. Under lock_.
    ReceiveBlock* TakeLocked();
    void Return(ReceiveBlock* block) noexcept;
    // Removes `slab` (empty) from slabs_, for the caller to free outside lock_. Under lock_.
    void RemoveLocked(BlockSlab* slab);
    static void Free(BlockSlab* slab) noexcept;

    ReceiveWait* const wake_;
    std::atomic<bool> awaiting_{false};
    std::atomic<uint64_t> returns_{0};
    std::mutex lock_;
    // Oldest first; each slab knows its place.
    std::vector<BlockSlab*> slabs_;
    // Every slab before this one has all its blocks in use.
    size_t firstWithRoom_ = 0;
    // After a large page came slowly, this many slabs have small pages before the next
    // asks for a large one again (memory the system took back and memory it has at hand
    // are not handed out in any order), twice as many after each further slow one, up to
    // the most: a burst that meets memory the host took back pays a slow page a few times,
    // not every few slabs.
    static constexpr size_t kSmallSlabsAfterASlowOne = 8;
    static constexpr size_t kMostSmallSlabsInARow = 256;
    // New slabs that have small pages before one asks for a large page again, and half of
    // what the next slow one sets ahead.
    size_t smallSlabsAhead_ = 0;
    size_t smallSlabsAfterSlow_ = kSmallSlabsAfterASlowOne / 2;
    bool giveBackEmptied_ = false;
};

}  // namespace tide
