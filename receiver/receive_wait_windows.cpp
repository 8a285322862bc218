// The receive thread's wait on Windows: the socket signals an event of its own when a
// datagram waits (WSAEventSelect, which also makes the socket non-blocking), and the
// thread waits on that event and the wake-up event together.
#include <windows.h>
#include <winsock2.h>

#include <chrono>

#include "receiver/receive_wait.h"

namespace tide {

namespace {

HANDLE AsHandle(intptr_t event) { return reinterpret_cast<HANDLE>(event); }

// The socket's event is set for as long as the socket has a datagram waiting, re-armed by
// every receive; a socket not yet watched is made to signal it.
void Watch(ACE_HANDLE socket, intptr_t socketEvent, ACE_HANDLE* watched) {
    if (socket == *watched || socketEvent == -1) return;
    if (WSAEventSelect(reinterpret_cast<SOCKET>(socket), AsHandle(socketEvent), FD_READ) == 0)
        *watched = socket;
}

// Whether a datagram waits on `socket` within `slice`, the socket itself asked.
bool Readable(ACE_HANDLE socket, std::chrono::milliseconds slice) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(reinterpret_cast<SOCKET>(socket), &readable);
    timeval bound{0, static_cast<long>(std::chrono::microseconds(slice).count())};
    return select(0, &readable, nullptr, nullptr, &bound) == 1;
}

}  // namespace

ReceiveWait::ReceiveWait() {
    // Auto-reset: one wake-up ends one wait. The socket's event is reset by the thread.
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE socketEvent = WSACreateEvent();
    if (wake && socketEvent != WSA_INVALID_EVENT) {
        wakeEvent_ = reinterpret_cast<intptr_t>(wake);
        socketEvent_ = reinterpret_cast<intptr_t>(socketEvent);
        return;
    }
    if (wake) CloseHandle(wake);
    if (socketEvent != WSA_INVALID_EVENT) WSACloseEvent(socketEvent);
}

ReceiveWait::~ReceiveWait() {
    if (wakeEvent_ == -1) return;
    CloseHandle(AsHandle(wakeEvent_));
    WSACloseEvent(AsHandle(socketEvent_));
}

void ReceiveWait::Wake() {
    if (wakeEvent_ != -1) SetEvent(AsHandle(wakeEvent_));
}

bool ReceiveWait::Wait(ACE_HANDLE socket, std::chrono::milliseconds timeout) {
    const bool forDatagram = socket != ACE_INVALID_HANDLE;
    if (wakeEvent_ == -1) {
        // Without events the socket stays blocking; a short wait keeps the flags in view.
        if (forDatagram) return Readable(socket, kWaitWithoutEvent);
        Sleep(static_cast<DWORD>(kWaitWithoutEvent.count()));
        return false;
    }
    if (forDatagram) Watch(socket, socketEvent_, &watchedSocket_);
    if (forDatagram && socket != watchedSocket_) {
        // A socket that signals no event is asked itself, a short slice at a time, with
        // the wake-up event looked at between slices.
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            if (WaitForSingleObject(AsHandle(wakeEvent_), 0) == WAIT_OBJECT_0) return false;
            if (Readable(socket, kWaitWithoutEvent)) return true;
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    const HANDLE events[2] = {AsHandle(wakeEvent_), AsHandle(socketEvent_)};
    const DWORD woke = WSAWaitForMultipleEvents(forDatagram ? 2 : 1, events, FALSE,
                                                static_cast<DWORD>(timeout.count()), FALSE);
    if (woke != WSA_WAIT_EVENT_0 + 1) return false;
    WSANETWORKEVENTS happened{};
    WSAEnumNetworkEvents(reinterpret_cast<SOCKET>(socket), AsHandle(socketEvent_), &happened);
    return true;
}

ptrdiff_t ReceiveWait::ReceiveNow(ACE_SOCK_Dgram& socket, void* buffer, size_t bytes, ACE_INET_Addr& sender) {
    Watch(socket.get_handle(), socketEvent_, &watchedSocket_);
    ssize_t received = -1;
    // An error left by an earlier call must not pass for this receive's: a bounded
    // receive that times out sets none of its own.
    WSASetLastError(0);
    if (socket.get_handle() == watchedSocket_) {
        received = socket.recv(buffer, bytes, sender, 0);
    } else {
        // A socket that signals no event still blocks: a bounded receive instead.
        const ACE_Time_Value brief(0, static_cast<suseconds_t>(kWaitWithoutEvent.count() * 1000));
        received = socket.recv(buffer, bytes, sender, 0, &brief);
    }
    // Windows fills the buffer with the start of a longer datagram, and fails the receive.
    if (received < 0 && WSAGetLastError() == WSAEMSGSIZE) return static_cast<ptrdiff_t>(bytes);
    return received;
}

// Windows tells a datagram socket's next datagram, not how full its buffer is.
bool ReceiveWait::HasRoom(ACE_HANDLE, size_t) { return false; }

}  // namespace tide
