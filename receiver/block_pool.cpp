// BlockPool: slabs made and given back, blocks carved from them, taken and handed back.
#include "receiver/block_pool.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <new>

namespace tide {

// One slab: its memory, its place among the pool's slabs, and its blocks. Blocks are
// carved in order as they are first needed, so that a slab's untouched pages stay
// untouched (where the system gives no large page, each small page is faulted only
// when a block reaches it).
class BlockSlab {
public:
    BlockSlab(uint8_t* memory, BlockPool* pool) : memory(memory), pool(pool) {}

    uint8_t* const memory;
    BlockPool* const pool;
    size_t place = 0;
    size_t inUse = 0;
    size_t carved = 0;
    // Blocks handed back, the last one first.
    ReceiveBlock* free = nullptr;
    // Links slabs taken out of the pool to be freed together.
    BlockSlab* nextFreed = nullptr;

    ReceiveBlock* Take() {
        ReceiveBlock* block = free;
        if (block) {
            free = block->nextFree_;
        } else if (carved < BlockPool::kBlocksPerSlab) {
            block = new (memory + carved * sizeof(ReceiveBlock)) ReceiveBlock;
            block->slab_ = this;
            ++carved;
        } else {
            return nullptr;
        }
        ++inUse;
        return block;
    }
};

namespace {

constexpr size_t kLeaving = std::numeric_limits<size_t>::max();

// The longest a large page may take to come before new slabs make do with small ones. A
// large page the system has at hand comes in 0.18 to 0.38 ms on the development machine;
// one it must first get back from the virtual machine's host (free memory it has reported
// to the host, 2 s after it was freed, comes back page by page at the next touch) takes 4
// to 7.5 ms, and then small pages, which the system hands out from smaller free runs it
// never reports, come faster: in 0.6 to 1 ms for the same 2 MiB.
constexpr std::chrono::microseconds kSlowLargePage{1000};

// Gives back a slab's memory, made by NewSlab.
void ReleaseSlabMemory(uint8_t* memory) {
    if (kSystemPages) {
        UnmapPages(memory, BlockPool::kSlabBytes);
    } else {
        ::operator delete(memory);
    }
}

BlockSlab* NewSlab(BlockPool* pool, bool largePages) {
    uint8_t* memory = kSystemPages
                          ? MapPages(BlockPool::kSlabBytes, largePages)
                          : static_cast<uint8_t*>(::operator new(BlockPool::kSlabBytes, std::nothrow));
    if (!memory) return nullptr;
    auto* slab = new (std::nothrow) BlockSlab(memory, pool);
    if (!slab) ReleaseSlabMemory(memory);
    return slab;
}

}  // namespace

void BlockReturn::operator()(ReceiveBlock* block) const noexcept {
    if (!block) return;
    if (!block->slab_) {
        delete block;
        return;
    }
    block->slab_->pool->Return(block);
}

BlockPtr MakeLoneBlock() { return BlockPtr(new (std::nothrow) ReceiveBlock); }

BlockPool::~BlockPool() {
    for (BlockSlab* slab : slabs_)
        if (slab->inUse == 0) Free(slab);
}

void BlockPool::Free(BlockSlab* slab) noexcept {
    for (size_t i = 0; i < slab->carved; ++i)
        reinterpret_cast<ReceiveBlock*>(slab->memory + i * sizeof(ReceiveBlock))->~ReceiveBlock();
    ReleaseSlabMemory(slab->memory);
    delete slab;
}

ReceiveBlock* BlockPool::TakeLocked() {
    for (; firstWithRoom_ < slabs_.size(); ++firstWithRoom_)
        if (ReceiveBlock* block = slabs_[firstWithRoom_]->Take()) return block;
    return nullptr;
}

BlockPtr BlockPool::TakeKept() {
    std::lock_guard<std::mutex> guard(lock_);
    return BlockPtr(TakeLocked());
}

BlockPtr BlockPool::TakeFresh() {
    bool largePages = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (ReceiveBlock* block = TakeLocked()) return BlockPtr(block);
        if (smallSlabsAhead_ > 0) {
            largePages = false;
            --smallSlabsAhead_;
        }
    }
    // Mapped, and its first block carved (the first touch, which brings in a large page
    // whole), outside the lock: blocks still come back meanwhile.
    BlockSlab* slab = NewSlab(this, largePages);
    if (!slab) return nullptr;
    const auto before = std::chrono::steady_clock::now();
    ReceiveBlock* block = slab->Take();
    const bool slow =
        kSystemPages && largePages && std::chrono::steady_clock::now() - before > kSlowLargePage;
    std::lock_guard<std::mutex> guard(lock_);
    if (largePages) {
        smallSlabsAfterSlow_ =
            slow ? std::min(2 * smallSlabsAfterSlow_, kMostSmallSlabsInARow) : kSmallSlabsAfterASlowOne / 2;
        if (slow) smallSlabsAhead_ = smallSlabsAfterSlow_;
    }
    try {
        slabs_.push_back(slab);
    } catch (const std::bad_alloc&) {
        Free(slab);
        return nullptr;
    }
    slab->place = slabs_.size() - 1;
    return BlockPtr(block);
}

void BlockPool::Return(ReceiveBlock* block) noexcept {
    BlockSlab* emptied = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        BlockSlab& slab = *block->slab_;
        block->nextFree_ = slab.free;
        slab.free = block;
        --slab.inUse;
        if (slab.place < firstWithRoom_) firstWithRoom_ = slab.place;
        if (slab.inUse == 0 && giveBackEmptied_) {
            RemoveLocked(&slab);
            emptied = &slab;
        }
    }
    returns_.fetch_add(1, std::memory_order_relaxed);
    if (emptied) Free(emptied);
    if (awaiting_.load(std::memory_order_relaxed) && awaiting_.exchange(false) && wake_) wake_->Wake();
}

void BlockPool::RemoveLocked(BlockSlab* slab) {
    slabs_.erase(slabs_.begin() + static_cast<ptrdiff_t>(slab->place));
    for (size_t i = slab->place; i < slabs_.size(); ++i) slabs_[i]->place = i;
    // Every slab before firstWithRoom_ is full, so the empty one was not among them.
}

void BlockPool::Trim(size_t reserve) {
    BlockSlab* leaving = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        size_t excess = slabs_.size() > reserve ? slabs_.size() - reserve : 0;
        for (size_t i = slabs_.size(); i-- > 0 && excess > 0;) {
            BlockSlab* slab = slabs_[i];
            if (slab->inUse != 0) continue;
            slab->place = kLeaving;
            slab->nextFreed = leaving;
            leaving = slab;
            --excess;
        }
        if (!leaving) return;
        size_t kept = 0;
        for (BlockSlab* slab : slabs_) {
            if (slab->place == kLeaving) continue;
            slab->place = kept;
            slabs_[kept++] = slab;
        }
        slabs_.resize(kept);
        firstWithRoom_ = 0;
    }
    while (leaving) {
        BlockSlab* next = leaving->nextFreed;
        Free(leaving);
        leaving = next;
    }
}

void BlockPool::GiveBackEmptied(bool giveBack) {
    std::lock_guard<std::mutex> guard(lock_);
    giveBackEmptied_ = giveBack;
}

size_t BlockPool::KeptBlocks() {
    std::lock_guard<std::mutex> guard(lock_);
    size_t kept = 0;
    for (const BlockSlab* slab : slabs_) kept += kBlocksPerSlab - slab->inUse;
    return kept;
}

size_t BlockPool::Slabs() {
    std::lock_guard<std::mutex> guard(lock_);
    return slabs_.size();
}

}  // namespace tide
