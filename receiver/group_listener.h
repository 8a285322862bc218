// GroupListener: the receiving side's network half. It joins a multicast group and runs
// a receive thread of its own that only receives datagrams and appends them to a queue.
// Everything else (Join, Leave, Start, Stop, taking blocks off the queue, destruction)
// runs on the host's thread; the receive thread touches only the socket, the flags,
// `currentBlock`, `returnsAtEmptyWait`, the block pool and, under `queueLock`, the queue.
// Blocks come from the listener's own BlockPool and go back to it when let go of.
#pragma once

#include <ace/INET_Addr.h>
#include <ace/SOCK_Dgram_Mcast.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "receiver/block_pool.h"
#include "receiver/datagram.h"
#include "receiver/receive_wait.h"

namespace tide {

// The longest the receive thread waits for a datagram, or for a join, before it looks at
// its flags again. Stop, Start, Join, Leave and destruction wake it at once, so this only
// bounds how often an idle receiver wakes up.
constexpr std::chrono::milliseconds kReceiveTimeout{100};
// How long the receive thread pauses before it tries again to allocate a block.
constexpr std::chrono::milliseconds kIdlePause{1};
// Once nothing has arrived for kQuietTime, the slabs of receive blocks none of whose
// blocks is in use go back to the system, all but kReserveSlabs; at Stop, all of them,
// and those a delivery empties afterwards. The reserve is one slab, the one the block the
// thread receives into lives in: 2 MiB per started listener (102 blocks on 64-bit
// systems), for which a burst of up to 100 datagrams (a 2 MB message, a round of texts)
// costs no fault and no system call beyond its receives, and a longer one starts while
// the next slab is faulted in.
constexpr std::chrono::milliseconds kQuietTime{1000};
constexpr size_t kReserveSlabs = 1;
// While deliveries hand blocks back and the socket's buffer is less than half full, the
// receive thread, its slabs all in use, waits for a delivered block before it asks the
// system for a new slab: the datagrams wait in the socket meanwhile, in memory the system
// holds already, so that a host thread slower than the network (as while a large message
// first fills its reassembly buffer) does not make the listener's memory grow by every
// datagram it is behind. The socket is looked at every kSpareWaitSlice and half its
// buffer is still free, so nothing more is dropped. A wait lasts at most kSpareWait,
// longer than a busy machine keeps the host's thread from running; one that ends empty
// (the host is busy elsewhere) takes a fresh block, and the next wait comes once a block
// has come back.
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
    // Not joined, no thread, an empty queue, no block yet. The socket's receive buffer is
    // asked for `receiveBufferBytes` (the benchmarks ask for what an ordinary user is
    // granted). Throws std::bad_alloc only when memory is short.
    explicit GroupListener(int receiveBufferBytes = kReceiveBufferBytes);
    // Stops a running receive thread first, leaves the group if joined, frees every queued
    // block and closes the socket. Every block taken off the queue must have been let go of.
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
    // Datagrams that arrive afterwards wait in the socket. Gives back to the system the
    // memory of every block not queued or being delivered, and that of the others as
    // they are let go of.
    void Stop();

    // Appends a block to the queue as if the receive thread had just received it (a fuzz
    // target without sockets feeds deliveries this way, with blocks of MakeLoneBlock).
    // Any thread; throws std::bad_alloc when the queue cannot grow (the block is let go
    // of then).
    void Append(BlockPtr block);

    // The oldest received block, now the caller's, or null when the queue is empty.
    // Delivery calls it without holding any lock of its own, and handles the block after;
    // letting go of it hands it back for the receive thread to fill again.
    BlockPtr TakeFront();

    size_t QueuedBlocks();
    // Blocks the receive thread can fill without asking the system for memory.
    size_t KeptBlocks() { return pool.KeptBlocks(); }
    // The memory the listener's blocks take from the system.
    size_t BlockBytes() { return pool.SlabBytes(); }

private:
    void ReceiveLoop();
    // A block handed back within kSpareWait while the socket has room, or null (also
    // when stopped or left).
    BlockPtr WaitForSpare();
    // The block the next receive fills: a kept one, else a fresh one; null when none can
    // be had.
    BlockPtr NextBlock();
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
    const int receiveBufferBytes;
    std::atomic<bool> stopRequested{true};
    // The receive thread's waits, which the host's thread can end early, and a block
    // handed back while the thread waits for one.
    ReceiveWait wait;
    // Declared before every block, so that it outlives them all.
    BlockPool pool{&wait};
    std::mutex queueLock;
    // The block the next receive fills; null before the first and after Stop, or when no
    // memory could be had.
    BlockPtr currentBlock;
    std::deque<BlockPtr> queue;
    // Receive thread only: the pool's count of blocks handed back when a wait for one
    // last ended empty.
    uint64_t returnsAtEmptyWait = 0;
    std::thread receiveThread;
};

}  // namespace tide
