// BlockPool on its own: which slab a block comes from, which slabs Trim gives back, and a
// long random run of takes, hand-backs and trims checked against a plain count, with
// blocks handed back on another thread as deliveries do.
#include "receiver/block_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace tide {
namespace {

constexpr size_t kPerSlab = BlockPool::kBlocksPerSlab;

std::vector<BlockPtr> Take(BlockPool& pool, size_t count) {
    std::vector<BlockPtr> blocks;
    for (size_t i = 0; i < count; ++i) {
        blocks.push_back(pool.TakeFresh());
        EXPECT_TRUE(blocks.back());
    }
    return blocks;
}

TEST(BlockPool, BlocksComeFromTheOldestSlabWithRoomSoThatTheNewerOnesEmpty) {
    BlockPool pool;
    EXPECT_FALSE(pool.TakeKept()) << "no slab before the first block";
    std::vector<BlockPtr> first = Take(pool, kPerSlab);
    std::vector<BlockPtr> second = Take(pool, kPerSlab);
    std::vector<BlockPtr> third = Take(pool, kPerSlab);
    EXPECT_EQ(pool.Slabs(), 3u);
    EXPECT_EQ(pool.KeptBlocks(), 0u);
    EXPECT_FALSE(pool.TakeKept());

    // Half of the first slab and all of the third come back; the next blocks taken fill
    // the first slab again before the third is touched.
    std::set<const ReceiveBlock*> firstHalf;
    const ReceiveBlock* lastHandedBack = nullptr;
    for (size_t i = 0; i < (kPerSlab + 1) / 2; ++i) {
        lastHandedBack = first.back().get();
        firstHalf.insert(lastHandedBack);
        first.pop_back();
    }
    third.clear();
    EXPECT_EQ(pool.KeptBlocks(), firstHalf.size() + kPerSlab);
    std::vector<BlockPtr> again = Take(pool, firstHalf.size());
    for (const BlockPtr& block : again) EXPECT_EQ(firstHalf.count(block.get()), 1u);
    // The block handed back last is the first taken again: still in the cache.
    EXPECT_EQ(again.front().get(), lastHandedBack);

    // Only the empty third slab can go; with a reserve of three, nothing goes.
    pool.Trim(3);
    EXPECT_EQ(pool.Slabs(), 3u);
    pool.Trim(0);
    EXPECT_EQ(pool.Slabs(), 2u);
    EXPECT_EQ(pool.KeptBlocks(), 0u);
    // The slabs still there keep their order: a block handed back in the second is taken
    // before a new slab is made.
    const ReceiveBlock* handedBack = second.front().get();
    second.front().reset();
    EXPECT_EQ(pool.TakeKept().get(), handedBack);
}

TEST(BlockPool, AGivingBackPoolFreesASlabWhenItsLastBlockComesBack) {
    BlockPool pool;
    std::vector<BlockPtr> blocks = Take(pool, kPerSlab + 1);
    pool.GiveBackEmptied(true);
    EXPECT_EQ(pool.Slabs(), 2u);
    blocks.pop_back();  // the second slab's only block
    EXPECT_EQ(pool.Slabs(), 1u);
    blocks.clear();
    EXPECT_EQ(pool.Slabs(), 0u);
    pool.GiveBackEmptied(false);
    blocks = Take(pool, 1);
    blocks.clear();
    EXPECT_EQ(pool.Slabs(), 1u) << "kept again once the pool is not giving back";
}

TEST(BlockPool, ALoneBlockIsFreedNotHandedToAPool) {
    BlockPtr lone = MakeLoneBlock();
    ASSERT_TRUE(lone);
    std::memset(lone->datagram, 0x5A, sizeof lone->datagram);
    lone.reset();  // the leak checker and the address checker see it freed once
}

// Random takes, hand-backs (on this thread and on another) and trims: no block is ever
// handed out twice, every block's bytes stay its own, and the pool's counts agree with
// what is out.
TEST(BlockPool, ALongRandomRunKeepsEveryBlockItsOwnAndTheCountsRight) {
    BlockPool pool;
    std::mt19937 random(27);
    std::map<const ReceiveBlock*, uint8_t> marks;
    std::vector<BlockPtr> out;
    uint8_t mark = 0;
    for (int step = 0; step < 4000; ++step) {
        const unsigned action = random() % 10;
        if (action < 5 || out.empty()) {
            BlockPtr block = random() % 4 == 0 ? pool.TakeKept() : pool.TakeFresh();
            if (!block) continue;
            ASSERT_EQ(marks.count(block.get()), 0u) << "a block handed out twice, step " << step;
            block->datagram[0] = block->datagram[kDatagramBytes - 1] = ++mark;
            marks[block.get()] = mark;
            out.push_back(std::move(block));
        } else if (action < 8) {
            const size_t at = random() % out.size();
            ASSERT_EQ(out[at]->datagram[0], marks[out[at].get()]);
            ASSERT_EQ(out[at]->datagram[kDatagramBytes - 1], marks[out[at].get()]);
            marks.erase(out[at].get());
            std::swap(out[at], out.back());
            if (random() % 2) {
                std::thread([block = std::move(out.back())]() mutable { block.reset(); }).join();
            }
            out.pop_back();
        } else if (action == 8) {
            pool.Trim(random() % 3);
        } else {
            pool.GiveBackEmptied(random() % 2 == 0);
        }
        ASSERT_EQ(pool.KeptBlocks() + out.size(), pool.Slabs() * kPerSlab) << "step " << step;
    }
    out.clear();
    pool.Trim(0);
    EXPECT_EQ(pool.Slabs(), 0u);
}

}  // namespace
}  // namespace tide
