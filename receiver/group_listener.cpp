// GroupListener: joining and leaving, the receive thread's life, and the queue it fills.
#include "receiver/group_listener.h"

#include <ace/OS_NS_string.h>

#include <exception>
#include <new>

namespace tide {

namespace {

// Settings of a freshly opened group socket.
void TuneSocket(ACE_SOCK_Dgram_Mcast& socket) {
#ifdef IP_MULTICAST_ALL
    // Only the groups this socket joined: by default Linux hands a socket bound to a port
    // the datagrams of every group any socket of the machine joined on that port.
    int everyGroup = 0;
    socket.ACE_SOCK::set_option(IPPROTO_IP, IP_MULTICAST_ALL, &everyGroup, sizeof everyGroup);
#endif
    // The receive buffer past the system's ceiling where the process is allowed to,
    // otherwise up to the ceiling.
    int bytes = kReceiveBufferBytes;
#ifdef SO_RCVBUFFORCE
    if (socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
#endif
    socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// Room for the spare blocks kept for good, so that handing those back never allocates.
// Made before the event is opened, so that running out of memory here leaves nothing open.
std::vector<std::unique_ptr<ReceiveBlock>> RoomForSpares() {
    std::vector<std::unique_ptr<ReceiveBlock>> spares;
    spares.reserve(kSpareBlocksKept);
    return spares;
}

}  // namespace

GroupListener::GroupListener()
    : currentBlock(new (std::nothrow) ReceiveBlock), spareBlocks(RoomForSpares()) {}

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
    TuneSocket(groupSocket);
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
    TrimSpares();
}

void GroupListener::EndReceiveThread() {
    stopRequested = true;
    WakeReceiveThread();
    // Joining, rather than waiting on a lock the loop holds, also covers a thread that has
    // not reached its loop yet: it would take the lock after the wait and run on, unstopped.
    if (receiveThread.joinable()) receiveThread.join();
}

void GroupListener::Append(std::unique_ptr<ReceiveBlock> block) {
    std::lock_guard<std::mutex> guard(queueLock);
    queue.push_back(std::move(block));
}

std::unique_ptr<ReceiveBlock> GroupListener::TakeFront() {
    std::lock_guard<std::mutex> guard(queueLock);
    if (queue.empty()) return nullptr;
    std::unique_ptr<ReceiveBlock> block = std::move(queue.front());
    queue.pop_front();
    return block;
}

void GroupListener::Recycle(std::unique_ptr<ReceiveBlock> block) {
    if (!block) return;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        if (spareBlocks.size() >= kSpareBlocks) return;
        try {
            spareBlocks.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            // No room to keep it: it is freed like one beyond the bound.
            return;
        }
    }
    if (awaitingSpare.exchange(false)) WakeReceiveThread();
}

void GroupListener::TrimSpares() {
    std::vector<std::unique_ptr<ReceiveBlock>> surplus;
    std::lock_guard<std::mutex> guard(queueLock);
    if (spareBlocks.size() <= kSpareBlocksKept) return;
    try {
        surplus.reserve(spareBlocks.size() - kSpareBlocksKept);
    } catch (const std::bad_alloc&) {
        // Freed under the lock, then.
        spareBlocks.resize(kSpareBlocksKept);
        return;
    }
    for (size_t i = kSpareBlocksKept; i < spareBlocks.size(); ++i)
        surplus.push_back(std::move(spareBlocks[i]));
    spareBlocks.resize(kSpareBlocksKept);
    spareBlocks.shrink_to_fit();
}

size_t GroupListener::QueuedBlocks() {
    std::lock_guard<std::mutex> guard(queueLock);
    return queue.size();
}

size_t GroupListener::SpareBlocks() {
    std::lock_guard<std::mutex> guard(queueLock);
    return spareBlocks.size();
}

std::unique_ptr<ReceiveBlock> GroupListener::TakeSpare() {
    std::lock_guard<std::mutex> guard(queueLock);
    if (spareBlocks.empty()) return nullptr;
    std::unique_ptr<ReceiveBlock> block = std::move(spareBlocks.back());
    spareBlocks.pop_back();
    return block;
}

std::unique_ptr<ReceiveBlock> GroupListener::WaitForSpare() {
    const auto deadline = std::chrono::steady_clock::now() + kSpareWait;
    for (;;) {
        // Set before looking, so that a block handed back after the look wakes the wait.
        awaitingSpare = true;
        std::unique_ptr<ReceiveBlock> block = TakeSpare();
        if (block || stopRequested || !joined || std::chrono::steady_clock::now() >= deadline ||
            !wait.HasRoom(groupSocket.get_handle(), kSpareWaitRoom)) {
            awaitingSpare = false;
            return block;
        }
        wait.Wait(ACE_INVALID_HANDLE, kSpareWaitSlice);
    }
}

std::unique_ptr<ReceiveBlock> GroupListener::NextBlock() {
    std::unique_ptr<ReceiveBlock> block = TakeSpare();
    if (block) {
        sparesReturning = true;
        return block;
    }
    if (sparesReturning && QueuedBlocks() >= kSpareWaitQueue) {
        block = WaitForSpare();
        if (block) return block;
        sparesReturning = false;
    }
    return std::unique_ptr<ReceiveBlock>(new (std::nothrow) ReceiveBlock);
}

void GroupListener::ReceiveLoop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastDatagram = Clock::now();
    // After a quiet spell the spares beyond those kept for good go back to the system
    // (also those handed back later, while the queue is still being delivered).
    auto quiet = [&] {
        if (Clock::now() - lastDatagram >= kSpareHoldTime) TrimSpares();
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
        // notification of the host's: the block takes the next datagram instead.
        if (!Deliverable(currentBlock->datagram, currentBlock->length)) continue;
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
