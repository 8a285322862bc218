// GroupListener on real sockets: a plain socket sends to the group, and the tests look
// at what lands in the queue, how many threads run and what the listener leaves behind.
#include "receiver/group_listener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/platform.h"
#include "tests/support/process_counts.h"
#include "tests/support/waiting.h"
#include "tests/support/wire.h"

namespace tide {
namespace {

constexpr const char* kGroup = "239.255.30.1";
constexpr const wchar_t* kWideGroup = L"239.255.30.1";
constexpr uint16_t kPort = 42001;
// Long enough for datagrams on loopback to arrive; reached only when one is missing.
const std::chrono::steady_clock::duration kArrivalWait = std::chrono::seconds(10) * testing::TimeScale();

// A text datagram of `bytes` bytes (at least a header's) whose `index` field is `mark`.
testing::Bytes Marked(size_t bytes, uint8_t mark) {
    testing::Bytes datagram(std::max(bytes, static_cast<size_t>(kHeaderBytes)), 0x5A);
    WriteHeader(datagram.data(), {kTypeText, mark, 2, 0, 2, 1, 1});
    return datagram;
}

uint8_t MarkOf(const ReceiveBlock& block) { return block.datagram[kIndexOffset]; }

bool WaitForQueued(GroupListener& listener, size_t count) {
    return testing::WaitUntil([&] { return listener.QueuedBlocks() >= count; }, kArrivalWait);
}

using testing::OpenDescriptors;
using testing::RunningThreadIds;
using testing::ThreadsStartedSinceSettledAt;

class ListenerOnTheGroup : public ::testing::Test {
protected:
    GroupListener listener;
    testing::RawSender sender{kGroup, kPort};
};

TEST_F(ListenerOnTheGroup, QueuesWhatAHandlerCouldBeGivenInArrivalOrderWithSenderAndReceivedLength) {
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    // Full, a header only, and longer than any datagram of ours: queued, in order.
    sender.Send(Marked(kDatagramBytes, 1));
    // Never queued, nor a notification spent on them: empty, shorter than a header, of
    // another data_type, and fragments no sender of this format writes.
    sender.Send({});
    sender.Send(testing::Bytes(kHeaderBytes - 1, 0));
    sender.Send(testing::MakeDatagram({7, 2, 4, 0, 4, 1, 1}, {'x', 0, 0, 0}));
    sender.Send(testing::MakeDatagram({kTypeBinary, 3, 100, 0, 10, 1, 2}));   // fragment beyond the count
    sender.Send(testing::MakeDatagram({kTypeBinary, 4, 100, -8, 10, 1, 1}));  // before the message
    testing::Bytes truncated = testing::MakeDatagram({kTypeBinary, 5, 20000, 0, 20000, 1, 1});
    truncated.resize(100);  // claims more than arrived
    sender.Send(truncated);
    sender.Send(Marked(kHeaderBytes, 2));
    sender.Send(Marked(30000, 3));
    ASSERT_TRUE(WaitForQueued(listener, 3));
    const int32_t lengths[] = {kDatagramBytes, kHeaderBytes, kDatagramBytes};
    for (uint8_t i = 0; i < 3; ++i) {
        BlockPtr block = listener.TakeFront();
        ASSERT_TRUE(block);
        EXPECT_EQ(block->length, lengths[i]) << "datagram " << int{i};
        EXPECT_EQ(MarkOf(*block), i + 1);
        EXPECT_EQ(block->sender.get_ip_address(), INADDR_LOOPBACK);
        EXPECT_EQ(block->sender.get_port_number(), sender.sourcePort);
    }
    EXPECT_FALSE(listener.TakeFront());
}

TEST_F(ListenerOnTheGroup, ABlockLetGoOfIsFilledAgainWithTheNewDatagramsLength) {
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    sender.Send(Marked(kDatagramBytes, 1));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    BlockPtr first = listener.TakeFront();
    const ReceiveBlock* handedBack = first.get();
    first.reset();
    // The receive thread holds the next block already; the one after it is the first one.
    sender.Send(Marked(100, 2));
    sender.Send(Marked(100, 3));
    ASSERT_TRUE(WaitForQueued(listener, 2));
    bool reused = false;
    for (uint8_t mark = 2; mark <= 3; ++mark) {
        BlockPtr block = listener.TakeFront();
        EXPECT_EQ(block->datagram[kIndexOffset], mark);
        EXPECT_EQ(block->length, 100);
        reused = reused || block.get() == handedBack;
    }
    EXPECT_TRUE(reused);
}

// A burst that comes soon after another is received into the first one's blocks (fresh
// memory would cost page faults, and datagrams with them); after a quiet spell the memory
// goes back to the system, but for the reserve.
TEST_F(ListenerOnTheGroup, ASecondBurstIsReceivedIntoTheFirstOnesBlocksUntilAQuietSpell) {
    // The burst and the block the thread then waits with fill three slabs exactly.
    constexpr size_t kBurst = 3 * BlockPool::kBlocksPerSlab - 1;
    constexpr size_t kBurstBytes = 3 * BlockPool::kSlabBytes;
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    for (size_t i = 0; i < kBurst; ++i) sender.Send(Marked(kDatagramBytes, 1));
    ASSERT_TRUE(WaitForQueued(listener, kBurst));
    std::set<const ReceiveBlock*> first;
    while (BlockPtr block = listener.TakeFront()) first.insert(block.get());
    EXPECT_LE(listener.BlockBytes(), kBurstBytes);

    for (size_t i = 0; i < kBurst; ++i) sender.Send(Marked(kDatagramBytes, 2));
    ASSERT_TRUE(WaitForQueued(listener, kBurst));
    size_t reused = 0;
    while (BlockPtr block = listener.TakeFront()) reused += first.count(block.get());
    // The block the thread held when the first burst ended takes the first datagram.
    EXPECT_EQ(reused, kBurst - 1);
    EXPECT_EQ(listener.BlockBytes(), kBurstBytes) << "no memory beyond the first burst's";

    EXPECT_TRUE(
        testing::WaitUntil([&] { return listener.BlockBytes() == kReserveSlabs * BlockPool::kSlabBytes; },
                           kQuietTime + kArrivalWait))
        << listener.BlockBytes() << " bytes kept after a quiet spell";
}

// Datagrams that no handler could be given are dropped as they come; a peer that keeps
// sending them does not keep an earlier burst's memory from going back.
TEST_F(ListenerOnTheGroup, DroppedDatagramsDoNotHoldAnEarlierBurstsMemoryPastTheQuietTime) {
    const size_t burst = 2 * BlockPool::kBlocksPerSlab;
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    for (size_t i = 0; i < burst; ++i) sender.Send(Marked(kDatagramBytes, 1));
    ASSERT_TRUE(WaitForQueued(listener, burst));
    while (listener.TakeFront()) {
    }
    const testing::Bytes dropped = testing::MakeDatagram({7, 2, 4, 0, 4, 1, 1}, {'x', 0, 0, 0});
    EXPECT_TRUE(testing::WaitUntil(
        [&] {
            sender.Send(dropped);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return listener.BlockBytes() == kReserveSlabs * BlockPool::kSlabBytes;
        },
        kQuietTime + kArrivalWait))
        << listener.BlockBytes() << " bytes kept while dropped datagrams kept coming";
    EXPECT_EQ(listener.QueuedBlocks(), 0u);
}

// Stopped, a listener keeps only the memory of blocks still queued, and gives that back
// as they are delivered.
TEST_F(ListenerOnTheGroup, StopGivesBackEveryBlockNotQueuedAndTheRestAsTheyAreDelivered) {
    const size_t burst = BlockPool::kBlocksPerSlab + 1;
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    for (size_t i = 0; i < 2 * burst; ++i) sender.Send(Marked(100, 1));
    ASSERT_TRUE(WaitForQueued(listener, 2 * burst));
    for (size_t i = 0; i < burst; ++i) listener.TakeFront();
    listener.Stop();
    EXPECT_EQ(listener.QueuedBlocks(), burst);
    EXPECT_LE(listener.BlockBytes(), 2 * BlockPool::kSlabBytes);
    while (listener.TakeFront()) {
    }
    EXPECT_EQ(listener.BlockBytes(), 0u);
    // Started again, it takes memory as it needs it.
    listener.Start();
    sender.Send(Marked(100, 2));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 2);
}

TEST_F(ListenerOnTheGroup, StartBeforeJoinReceivesOnceJoined) {
    listener.Start();
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    sender.Send(Marked(64, 7));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 7);
}

TEST_F(ListenerOnTheGroup, StopRightAfterStartEndsTheThreadBeforeItReceives) {
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    const auto threads = RunningThreadIds();
    listener.Start();
    listener.Stop();
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threads, 0, kArrivalWait), 0u);
    // Sent while stopped, so it waits in the socket for the next thread.
    sender.Send(Marked(64, 9));
    listener.Start();
    ASSERT_TRUE(WaitForQueued(listener, 1));
    listener.Stop();
    EXPECT_EQ(listener.QueuedBlocks(), 1u);
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 9);
}

TEST_F(ListenerOnTheGroup, StartTwiceLeavesExactlyOneReceiveThread) {
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    const auto threads = RunningThreadIds();
    listener.Start();
    listener.Start();
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threads, 1, kArrivalWait), 1u);
    for (uint8_t mark = 1; mark <= 20; ++mark) sender.Send(Marked(200, mark));
    ASSERT_TRUE(WaitForQueued(listener, 20));
    for (uint8_t mark = 1; mark <= 20; ++mark) EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], mark);
    listener.Stop();
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threads, 0, kArrivalWait), 0u);
}

TEST_F(ListenerOnTheGroup, LeaveAnswersMinusOneUnlessJoined) {
    EXPECT_EQ(listener.Leave(), -1);
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    EXPECT_EQ(listener.Leave(), 0);
    EXPECT_EQ(listener.Leave(), -1);
}

TEST_F(ListenerOnTheGroup, FailedJoinAfterAGoodOneKeepsTheFirstGroupForLeaveToLeave) {
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    EXPECT_EQ(listener.Join(kPort, L"no-such-host.invalid"), -1);
    EXPECT_EQ(listener.Join(kPort, nullptr), -1);
    listener.Start();
    sender.Send(Marked(64, 5));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 5);
    EXPECT_EQ(listener.Leave(), 0);
    EXPECT_EQ(listener.Leave(), -1);
}

TEST_F(ListenerOnTheGroup, UnresolvableFirstJoinDoesNotSpoilTheNextOne) {
    EXPECT_EQ(listener.Join(kPort + 1, L"no-such-host.invalid"), -1);
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    listener.Start();
    sender.Send(Marked(64, 6));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 6);
}

TEST_F(ListenerOnTheGroup, TwoListenersShareAPortAndBothReceive) {
    GroupListener second;
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    ASSERT_EQ(second.Join(kPort, kWideGroup), 0);
    listener.Start();
    second.Start();
    sender.Send(Marked(64, 8));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    ASSERT_TRUE(WaitForQueued(second, 1));
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 8);
    EXPECT_EQ(second.TakeFront()->datagram[kIndexOffset], 8);
}

TEST_F(ListenerOnTheGroup, AListenerGetsOnlyTheGroupsItJoinedOnItsPort) {
    if (testing::UnderWine()) GTEST_SKIP() << "Wine's sockets get every group joined on their port";
    if (testing::UnderEmulation())
        GTEST_SKIP() << "QEMU refuses IP_MULTICAST_ALL: its sockets get every group";
    GroupListener other;
    ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
    ASSERT_EQ(other.Join(kPort, L"239.255.30.2"), 0);
    listener.Start();
    other.Start();
    testing::RawSender toOther{"239.255.30.2", kPort};
    toOther.Send(Marked(64, 2));
    sender.Send(Marked(64, 1));
    ASSERT_TRUE(WaitForQueued(listener, 1));
    ASSERT_TRUE(WaitForQueued(other, 1));
    listener.Stop();
    other.Stop();
    EXPECT_EQ(listener.QueuedBlocks(), 1u);
    EXPECT_EQ(other.QueuedBlocks(), 1u);
    EXPECT_EQ(listener.TakeFront()->datagram[kIndexOffset], 1);
    EXPECT_EQ(other.TakeFront()->datagram[kIndexOffset], 2);
}

// Under the leak checker this also fails if a queued block outlives its listener.
TEST(ListenerLifetime, DestroyStopsARunningThreadFreesQueuedBlocksAndClosesTheSocket) {
    const auto threads = RunningThreadIds();
    const size_t descriptors = OpenDescriptors();
    {
        testing::RawSender sender{kGroup, kPort};
        GroupListener listener;
        ASSERT_EQ(listener.Join(kPort, kWideGroup), 0);
        listener.Start();
        for (uint8_t mark = 1; mark <= 3; ++mark) sender.Send(Marked(kDatagramBytes, mark));
        ASSERT_TRUE(WaitForQueued(listener, 3));
    }
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threads, 0, kArrivalWait), 0u);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
}  // namespace tide
