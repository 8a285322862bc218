// GroupListener: the receiving side's network half. It joins a multicast group and runs
// a receive thread of its own that only receives datagrams and appends them to a queue.
// Everything else (Join, Leave, Start, Stop, taking blocks off the queue, destruction)
// runs on the host's thread; the receive thread touches only the socket, the flags,
// `currentBlock`, `sparesReturning` and, under `queueLock`, the queue and the spare blocks.
#pragma once

#include <ace/INET_Addr.h>
#include <ace/SOCK_Dgram_Mcast.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "receiver/datagram.h"
#include "receiver/receive_wait.h"

namespace tide {

// One received datagram, byte for byte as it came, with what arrived of it.
struct ReceiveBlock {
    // Only the first `length` bytes arrived; the rest is whatever the block held before.
    uint8_t datagram[kDatagramBytes];
    // Bytes received: 0 to kDatagramBytes (a longer datagram is cut to kDatagramBytes).
    int32_t length = 0;
    // IPv4 address and UDP source port of the sender.
    ACE_INET_Addr sender;
};

// The longest the receive thread waits for a datagram, or for a join, before it looks at
// its flags again. Stop, Start, Join, Leave and destruction wake it at once, so this only
// bounds how often an idle receiver wakes up.
constexpr std::chrono::milliseconds kReceiveTimeout{100};
// How long the receive thread pauses before it tries again to allocate a block.
constexpr std::chrono::milliseconds kIdlePause{1};
// Blocks handed back after delivery are kept for the receive thread to fill again: a
// fresh block costs five page faults (about 8 us) as the allocator, returning freed blocks
// to the system, hands out new pages, and a receive thread that pays them falls behind a
// burst. Spares come only from delivered blocks, so they never outnumber what the queue
// held at its peak, memory the process had just then; at most kSpareBlocks of them
// (about 670 MB, a burst of 32768 datagrams: the socket's buffer alone holds about 3000,
// a 64 MiB message is 3277), so that a second burst finds as many warm blocks as the
// first one left. Once nothing has arrived for kSpareHoldTime, and when the thread stops,
// all but kSpareBlocksKept (about 650 KB) go back to the system.
constexpr size_t kSpareBlocks = 32768;
constexpr size_t kSpareBlocksKept = 32;
constexpr std::chrono::milliseconds kSpareHoldTime{1000};
// While deliveries hand blocks back and the socket's buffer is less than half full, the
// receive thread waits for a delivered block before it takes a fresh one: the datagrams
// wait in the socket meanwhile, in memory the system holds already, so that a host thread
// slower than the network (as while a large message first fills its reassembly buffer)
// no longer makes the receive thread fault in a fresh block for every datagram it is
// behind. The socket is looked at every kSpareWaitSlice and half its buffer is still
// free, so nothing more is dropped. A wait lasts at most kSpareWait, longer than a busy
// machine keeps the host's thread from running; one that ends empty (the host is busy
// elsewhere) takes a fresh block, and the next wait comes once a block has come back.
constexpr std::chrono::milliseconds kSpareWait{50};
constexpr std::chrono::milliseconds kSpareWaitSlice{1};
// ... and only while the socket's buffer has this much free: what loopback brings in
// several slices at full speed. A buffer the system kept small (the size asked for below
// needs privileges or a raised limit) would fill between two looks, so with one the
// receive thread never waits and takes fresh blocks as it always did.
constexpr size_t kSpareWaitRoom = 16 * 1024 * 1024;
// ... and only while the queue holds this many blocks: a backlog worth waiting for the host
// to work through. With fewer, a wait would put the receive thread in step with the host's
// notifications, one datagram each: a host that pauses between notifications it finds
// quiet (tidehost does, up to 2 ms) then takes a pause per datagram. A notification goes
// past this many datagrams that nobody sees (delivery's kMostPassedPerNotification).
constexpr size_t kSpareWaitQueue = 256;
// Asked for the socket's receive buffer, so that a burst waits in the kernel while the
// receive thread, slowed by fresh memory for every block, catches up: 5000 datagrams in a
// row arrive whole with this, about two thirds of them are dropped with the default.
// Memory is only taken while datagrams wait. Linux doubles it for its own bookkeeping.
constexpr int kReceiveBufferBytes = 64 * 1024 * 1024;

class GroupListener {
public:
    // Not joined, no thread, an empty queue. Throws std::bad_alloc only when memory is
    // short; a first block that cannot be allocated is allocated by the receive thread later.
    GroupListener();
    // Stops a running receive thread first, leaves the group if joined, frees every queued
    // block and closes the socket.
    ~GroupListener();
    GroupListener(const GroupListener&) = delete;
    GroupListener& operator=(const GroupListener&) = delete;

    // Joins the group `host` (a dotted IPv4 address or a name resolved to IPv4) on `port`,
    // allowing other sockets on the same port. Answers the socket's join result: 0 on
    // success, −1 on failure. `groupAddress` takes the new address only on success: a
    // failed join leaves the listener joined to the group it was joined to, or not joined.
    int32_t Join(uint16_t port, const wchar_t* host);

    // The local interface later joins are made on, by its address in host byte order: 0
    // (as at first) joins on every interface that has an IPv4 address. A join made before
    // keeps its interface until it is left.
    void SetInterface(uint32_t address) { joinInterface = address; }
    uint32_t interfaceAddress() const { return joinInterface; }

    // Leaves `groupAddress`: −1 when not joined, otherwise the socket's leave result.
    // Keeps the socket open and the thread running.
    int32_t Leave();

    // Ends any receive thread, then starts a new one. Never more than one thread exists.
    // When a thread cannot be created, no datagram is received until the next Start.
    void Start();

    // Ends the receive thread, if any, and waits for it; does not leave the group.
    // Datagrams that arrive afterwards wait in the socket.
    void Stop();

    // Appends a block to the queue as if the receive thread had just received it (a fuzz
    // target without sockets feeds deliveries this way). Any thread; throws
    // std::bad_alloc when the queue cannot grow (the block is freed then).
    void Append(std::unique_ptr<ReceiveBlock> block);

    // The oldest received block, now the caller's, or null when the queue is empty.
    // Delivery calls it without holding any lock of its own, and handles the block after.
    std::unique_ptr<ReceiveBlock> TakeFront();

    // Hands a delivered block back for the receive thread to use again (freed when enough
    // are kept already). Any thread; null is ignored.
    void Recycle(std::unique_ptr<ReceiveBlock> block);

    size_t QueuedBlocks();
    // Delivered blocks kept for the receive thread to fill again.
    size_t SpareBlocks();

private:
    void ReceiveLoop();
    // A spare block, or null when none is kept.
    std::unique_ptr<ReceiveBlock> TakeSpare();
    // A spare block handed back within kSpareWait while the socket has room, or null
    // (also when stopped or left).
    std::unique_ptr<ReceiveBlock> WaitForSpare();
    // The block the next receive fills: a spare, else a fresh one; null when none can be had.
    std::unique_ptr<ReceiveBlock> NextBlock();
    // Frees the spare blocks beyond kSpareBlocksKept, outside queueLock.
    void TrimSpares();
    bool ReceiveInto(ReceiveBlock& block);
    void EndReceiveThread();
    // Makes a waiting receive thread look at its flags now.
    void WakeReceiveThread();
    // The interface the group was joined on, as the socket's leave takes it.
    const char* JoinedInterface() const;

    std::atomic<bool> joined{false};
    ACE_INET_Addr groupAddress;
    // The interface for the next join, and the one `groupAddress` was joined on (its
    // dotted address; empty for every interface). Host's thread only.
    uint32_t joinInterface = 0;
    char joinedInterface[16] = {};
    // Options value 2: OPT_BINDADDR_NO | OPT_NULLIFACE_ALL. The socket is bound to the port
    // only, not to the group, and a join naming no interface joins on every multicast
    // interface of the machine (loopback excepted).
    ACE_SOCK_Dgram_Mcast groupSocket{static_cast<ACE_SOCK_Dgram_Mcast::options>(2)};
    std::atomic<bool> stopRequested{true};
    std::mutex queueLock;
    // The block the next receive fills; null only after an allocation failed.
    std::unique_ptr<ReceiveBlock> currentBlock;
    std::deque<std::unique_ptr<ReceiveBlock>> queue;
    // Delivered blocks waiting to be filled again; under queueLock.
    std::vector<std::unique_ptr<ReceiveBlock>> spareBlocks;
    // Set by a receive thread waiting for a spare: the next Recycle wakes it.
    std::atomic<bool> awaitingSpare{false};
    // Receive thread only: whether a spare was found since a wait for one last ended empty.
    bool sparesReturning = false;
    std::thread receiveThread;
    // The receive thread's waits, which the host's thread can end early.
    ReceiveWait wait;
};

}  // namespace tide
