// GroupListener: joining and leaving, the receive thread's life, and the queue it fills.
#include "receiver/group_listener.h"

#include <ace/Time_Value.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <exception>
#include <new>

namespace tide {

namespace {

// Past the system's ceiling where the process is allowed to, otherwise up to the ceiling.
void EnlargeReceiveBuffer(ACE_SOCK_Dgram_Mcast& socket) {
    int bytes = kReceiveBufferBytes;
#ifdef SO_RCVBUFFORCE
    if (socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
#endif
    socket.ACE_SOCK::set_option(SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

}  // namespace

GroupListener::GroupListener() : currentBlock(new (std::nothrow) ReceiveBlock) {}

GroupListener::~GroupListener() {
    // The thread uses the socket and `currentBlock`: it must be gone before they are.
    EndReceiveThread();
    if (joined.exchange(false)) groupSocket.leave(groupAddress, nullptr);
    groupSocket.close();
}

int32_t GroupListener::Join(uint16_t port, const wchar_t* host) {
    ACE_INET_Addr address;
    if (host == nullptr || address.set(port, host, 1, AF_INET) != 0) {
        // A name that does not resolve never reaches the socket: a half-made address
        // could open it on the wrong port or family and spoil every later join.
        groupAddress = ACE_INET_Addr(port, static_cast<ACE_UINT32>(INADDR_ANY));
        return -1;
    }
    groupAddress = address;
    const int result = groupSocket.join(groupAddress, 1, nullptr);
    if (result == -1) return -1;
    // The first join opens the socket, so this is the first moment it can be enlarged.
    EnlargeReceiveBuffer(groupSocket);
    joined = true;
    return result;
}

int32_t GroupListener::Leave() {
    if (!joined.exchange(false)) return -1;
    return groupSocket.leave(groupAddress, nullptr);
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

void GroupListener::Stop() { EndReceiveThread(); }

void GroupListener::EndReceiveThread() {
    stopRequested = true;
    // Joining rather than waiting on threadLock also covers a thread that has not reached
    // its loop yet: it would take threadLock after the wait and run on, unstopped.
    if (receiveThread.joinable()) receiveThread.join();
}

std::unique_ptr<ReceiveBlock> GroupListener::TakeFront() {
    std::lock_guard<std::mutex> guard(queueLock);
    if (queue.empty()) return nullptr;
    std::unique_ptr<ReceiveBlock> block = std::move(queue.front());
    queue.pop_front();
    return block;
}

size_t GroupListener::QueuedBlocks() {
    std::lock_guard<std::mutex> guard(queueLock);
    return queue.size();
}

void GroupListener::ReceiveLoop() {
    std::lock_guard<std::mutex> inLoop(threadLock);
    while (!stopRequested) {
        if (!joined) {
            std::this_thread::sleep_for(kIdlePause);
            continue;
        }
        if (!currentBlock) {
            currentBlock.reset(new (std::nothrow) ReceiveBlock);
            if (!currentBlock) {
                std::this_thread::sleep_for(kIdlePause);
                continue;
            }
        }
        if (!ReceiveInto(*currentBlock)) continue;
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
    ssize_t received = -1;
#ifdef MSG_DONTWAIT
    // During a burst the next datagram is usually waiting already; asking without a wait
    // first saves a poll per datagram.
    received = groupSocket.recv(block.datagram, kDatagramBytes, block.sender, MSG_DONTWAIT);
#endif
    if (received < 0) {
        const ACE_Time_Value timeout(0, static_cast<suseconds_t>(kReceiveTimeout.count()));
        received = groupSocket.recv(block.datagram, kDatagramBytes, block.sender, 0, &timeout);
    }
    if (received < 0) return false;
    block.length = static_cast<int32_t>(received);
    return true;
}

}  // namespace tide
