// GroupListener: joining and leaving, the receive thread's life, and the queue it fills.
#include "receiver/group_listener.h"

#include <ace/OS_NS_string.h>

#include <exception>
#include <new>

namespace tide {

namespace {

// Settings of a freshly opened group socket.
void TuneSocket(ACE_SOCK_Dgram_Mcast& socket, int bufferBytes) {
#ifdef IP_MULTICAST_ALL
    // Only the groups this socket joined: by default Linux hands a socket bound to a port
    // the datagrams of every group any socket of the machine joined on that port.
    int everyGroup = 0;
    socket.ACE_SOCK::set_option(IPPROTO_IP, IP_MULTICAST_ALL, &everyGroup, sizeof everyGroup);
#endif
    // The receive buffer past the system's ceiling where the process is allowed to,
    // otherwise up to the ceiling.
    int bytes = bufferBytes;
#ifdef SO_RCVBUFFORCE
    if (socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
#endif
    socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

}  // namespace

GroupListener::GroupListener(int receiveBufferBytes) : receiveBufferBytes(receiveBufferBytes) {}

GroupListener::~GroupListener() {
    // The thread uses the socket and `currentBlock`: it must be gone before they are.
    EndReceiveThread();
    if (joined.exchange(false)) groupSocket.leave(groupAddress, JoinedInterface());
    groupSocket.close();
}

void GroupListener::WakeReceiveThread() { wait.Wake(); }

const char* GroupListener::JoinedInterface() const {
    return joinedInterface[0] != 0 ? joinedInterface : nullptr;
}

int32_t GroupListener::Join(uint16_t port, const wchar_t* host) {
    // The new address is kept only once the socket has joined it: `groupAddress` is the
    // group a later Leave (and destruction) leaves, and a failed join must not make the
    // listener forget a membership it still holds.
    ACE_INET_Addr address;
    if (host == nullptr || address.set(port, host, 1, AF_INET) != 0) return -1;
    char onInterface[sizeof joinedInterface] = {};
    if (joinInterface != 0)
        ACE_INET_Addr(static_cast<u_short>(0), joinInterface).get_host_addr(onInterface, sizeof onInterface);
    const int result = groupSocket.join(address, 1, joinInterface != 0 ? onInterface : nullptr);
    if (result == -1) return -1;
    groupAddress = address;
    ACE_OS::strcpy(joinedInterface, onInterface);
    // The first join opens the socket, so this is the first moment it can be tuned.
    TuneSocket(groupSocket, receiveBufferBytes);
    joined = true;
    WakeReceiveThread();
    return result;
}

int32_t GroupListener::Leave() {
    if (!joined.exchange(false)) return -1;
    WakeReceiveThread();
    return groupSocket.leave(groupAddress, JoinedInterface());
}

void GroupListener::Start() {
    EndReceiveThread();
    pool.GiveBackEmptied(false);
    stopRequested = false;
    try {
        receiveThread = std::thread(&GroupListener::ReceiveLoop, this);
    } catch (const std::exception&) {
        // Without a thread nothing is received until the next Start; the caller has no
        // way to report it either.
        stopRequested = true;
    }
}

void GroupListener::Stop() {
    EndReceiveThread();
    currentBlock.reset();
    pool.GiveBackEmptied(true);
    pool.Trim(0);
}

void GroupListener::EndReceiveThread() {
    stopRequested = true;
    WakeReceiveThread();
    // Joining, rather than waiting on a lock the loop holds, also covers a thread that has
    // not reached its loop yet: it would take the lock after the wait and run on, unstopped.
    if (receiveThread.joinable()) receiveThread.join();
}

void GroupListener::Append(BlockPtr block) {
    std::lock_guard<std::mutex> guard(queueLock);
    queue.push_back(std::move(block));
}

BlockPtr GroupListener::TakeFront() {
    std::lock_guard<std::mutex> guard(queueLock);
    if (queue.empty()) return nullptr;
    BlockPtr block = std::move(queue.front());
    queue.pop_front();
    return block;
}

size_t GroupListener::QueuedBlocks() {
    std::lock_guard<std::mutex> guard(queueLock);
    return queue.size();
}

BlockPtr GroupListener::WaitForSpare() {
    const auto deadline = std::chrono::steady_clock::now() + kSpareWait;
    for (;;) {
        // Set before looking, so that a block handed back after the look wakes the wait.
        pool.AwaitReturn();
        BlockPtr block = pool.TakeKept();
        if (block || stopRequested || !joined || std::chrono::steady_clock::now() >= deadline ||
            !wait.HasRoom(groupSocket.get_handle(), kSpareWaitRoom)) {
            pool.EndAwait();
            return block;
        }
        wait.Wait(ACE_INVALID_HANDLE, kSpareWaitSlice);
    }
}

BlockPtr GroupListener::NextBlock() {
    if (BlockPtr block = pool.TakeKept()) return block;
    // Every slab is in use. While deliveries hand blocks back behind a backlog, one of
    // them is worth a short wait.
    if (pool.Returns() != returnsAtEmptyWait && QueuedBlocks() >= kSpareWaitQueue) {
        if (BlockPtr block = WaitForSpare()) return block;
        returnsAtEmptyWait = pool.Returns();
    }
    return pool.TakeFresh();
}

void GroupListener::ReceiveLoop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastDatagram = Clock::now();
    // After a quiet spell the slabs with no block in use go back to the system, but for
    // the reserve (also those emptied later, while the queue is still being delivered).
    auto quiet = [&] {
        if (Clock::now() - lastDatagram >= kQuietTime) pool.Trim(kReserveSlabs);
    };
    while (!stopRequested) {
        if (!joined) {
            wait.Wait(ACE_INVALID_HANDLE, kReceiveTimeout);
            quiet();
            continue;
        }
        if (!currentBlock) {
            currentBlock = NextBlock();
            if (!currentBlock) {
                std::this_thread::sleep_for(kIdlePause);
                continue;
            }
        }
        if (!ReceiveInto(*currentBlock)) {
            quiet();
            continue;
        }
        // What no handler could ever be given never takes a place in the queue, nor a
        // notification of the host's: the block takes the next datagram instead. Nor does
        // it keep the memory of an earlier burst from going back after the quiet time.
        if (!Deliverable(currentBlock->datagram, currentBlock->length)) {
            quiet();
            continue;
        }
        lastDatagram = Clock::now();
        try {
            std::lock_guard<std::mutex> append(queueLock);
            queue.push_back(std::move(currentBlock));
        } catch (const std::bad_alloc&) {
            // No room to queue it: the datagram is lost as if the network had dropped it.
            std::this_thread::sleep_for(kIdlePause);
        }
        // The next block is allocated at the top of the loop, outside queueLock.
    }
}

bool GroupListener::ReceiveInto(ReceiveBlock& block) {
    // During a burst the next datagram is usually waiting already: take it without a wait.
    ptrdiff_t received = wait.ReceiveNow(groupSocket, block.datagram, kDatagramBytes, block.sender);
    if (received < 0) {
        if (!wait.Wait(groupSocket.get_handle(), kReceiveTimeout)) return false;
        received = wait.ReceiveNow(groupSocket, block.datagram, kDatagramBytes, block.sender);
    }
    if (received < 0) return false;
    block.length = static_cast<int32_t>(received);
    return true;
}

}  // namespace tide
