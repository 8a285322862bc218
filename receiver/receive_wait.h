// The receive thread's wait for a datagram and its early wake-up by the host's thread:
// the part of the listener that differs between systems (receive_wait_posix.cpp: an
// eventfd and ppoll; receive_wait_windows.cpp: two events and WSAWaitForMultipleEvents).
// Wake runs on any thread; Wait, ReceiveNow and HasRoom only on the receive thread.
#pragma once

#include <ace/INET_Addr.h>
#include <ace/SOCK_Dgram.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tide {

// How long a wait lasts at most when the wake-up event could not be made: short, so that
// the flags are still seen soon.
constexpr std::chrono::milliseconds kWaitWithoutEvent{1};

class ReceiveWait {
public:
    // Never fails: without an event, waits are cut to kWaitWithoutEvent.
    ReceiveWait();
    ~ReceiveWait();
    ReceiveWait(const ReceiveWait&) = delete;
    ReceiveWait& operator=(const ReceiveWait&) = delete;

    // Ends a current or the next Wait at once. Any thread.
    void Wake();

    // Waits until a datagram may be waiting on `socket` (ACE_INVALID_HANDLE: only for a
    // wake-up), a wake-up comes or `timeout` passes. True when a datagram may be waiting.
    bool Wait(ACE_HANDLE socket, std::chrono::milliseconds timeout);

    // Receives one datagram from `socket` without waiting into `buffer`, with its sender:
    // the bytes received (a longer datagram is cut to `bytes`), or −1 when none is waiting
    // or the receive failed.
    ptrdiff_t ReceiveNow(ACE_SOCK_Dgram& socket, void* buffer, size_t bytes, ACE_INET_Addr& sender);

    // Whether `socket`'s receive buffer is less than half full and has at least `bytes`
    // free, so that the datagrams waiting there can wait a little longer without any
    // being dropped. False when the system does not tell. Needs no wait of its own: the
    // benchmarks' baselines ask it of their plain sockets too.
    static bool HasRoom(ACE_HANDLE socket, size_t bytes);

private:
    // The wake-up event: an eventfd, or a Windows event handle; -1 when none was made.
    intptr_t wakeEvent_ = -1;
#ifdef _WIN32
    // The event the watched socket signals when a datagram waits.
    intptr_t socketEvent_ = -1;
    ACE_HANDLE watchedSocket_ = ACE_INVALID_HANDLE;
#endif
};

}  // namespace tide
