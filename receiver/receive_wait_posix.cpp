// The receive thread's wait on POSIX systems: ppoll on the socket and an eventfd; how
// full the socket's buffer is, from Linux's SO_MEMINFO.
#ifdef __linux__
#include <linux/sock_diag.h>
#endif
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "receiver/receive_wait.h"

namespace tide {

ReceiveWait::ReceiveWait() : wakeEvent_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ReceiveWait::~ReceiveWait() {
    if (wakeEvent_ >= 0) close(static_cast<int>(wakeEvent_));
}

void ReceiveWait::Wake() {
    if (wakeEvent_ < 0) return;
    const uint64_t one = 1;
    ssize_t written = write(static_cast<int>(wakeEvent_), &one, sizeof one);
    (void)written;  // a counter already set wakes the thread just as well
}

bool ReceiveWait::Wait(ACE_HANDLE socket, std::chrono::milliseconds timeout) {
    const int event = static_cast<int>(wakeEvent_);
    pollfd ready[2] = {{event, POLLIN, 0}, {socket, POLLIN, 0}};
    const bool forDatagram = socket != ACE_INVALID_HANDLE;
    if (event < 0) {
        const timespec brief{0, static_cast<long>(std::chrono::nanoseconds(kWaitWithoutEvent).count())};
        return ppoll(ready + 1, forDatagram ? 1 : 0, &brief, nullptr) == 1;
    }
    const timespec bound{
        static_cast<time_t>(timeout.count() / 1000),
        static_cast<long>(std::chrono::nanoseconds(timeout % std::chrono::seconds(1)).count())};
    if (ppoll(ready, forDatagram ? 2 : 1, &bound, nullptr) <= 0) return false;
    if (ready[0].revents & POLLIN) {
        uint64_t count = 0;
        ssize_t drained = read(event, &count, sizeof count);
        (void)drained;
    }
    return forDatagram && (ready[1].revents & POLLIN);
}

ptrdiff_t ReceiveWait::ReceiveNow(ACE_SOCK_Dgram& socket, void* buffer, size_t bytes, ACE_INET_Addr& sender) {
    // Linux cuts a longer datagram to the buffer and answers the length it kept.
    return socket.recv(buffer, bytes, sender, MSG_DONTWAIT);
}

bool ReceiveWait::HasRoom(ACE_HANDLE socket, size_t bytes) {
#if defined(__linux__) && defined(SO_MEMINFO)
    uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t told = sizeof memory;
    if (getsockopt(socket, SOL_SOCKET, SO_MEMINFO, memory, &told) != 0 ||
        told < sizeof(uint32_t) * (SK_MEMINFO_RCVBUF + 1))
        return false;
    const uint32_t taken = memory[SK_MEMINFO_RMEM_ALLOC];
    const uint32_t size = memory[SK_MEMINFO_RCVBUF];
    return taken < size / 2 && size - taken >= bytes;
#else
    (void)socket;
    (void)bytes;
    return false;
#endif
}

}  // namespace tide
