// DatagramSender: cuts a text or a block of bytes into fragments and sends each, in one
// reused 20512-byte datagram, a chosen number of times to a group and port. One per
// sending script object, called on the host's thread only; it has no thread and no lock.
// A fragment's bytes are not copied into the datagram area: each datagram goes out
// gathered from the area's header, the fragment where it lies in the message, and the
// area's zero payload tail with its terminator, so the wire carries the same 20512 bytes
// with one copy fewer.
#pragma once

#include <ace/INET_Addr.h>
#include <ace/SOCK_Dgram.h>

#include <cstdint>

#include "receiver/datagram.h"

namespace tide {

class DatagramSender {
public:
    // Opens the socket on any local address and a port the system picks. Never throws; a
    // socket that cannot be opened makes every later send fail without a report.
    DatagramSender();
    ~DatagramSender();
    DatagramSender(const DatagramSender&) = delete;
    DatagramSender& operator=(const DatagramSender&) = delete;

    // Where later messages go: the low 16 bits of `port`, and `host` as a dotted IPv4
    // address or a name resolved to IPv4. A host that does not resolve (or null) leaves
    // the empty destination, to which sends fail harmlessly. Always answers 0.
    int32_t SetDestination(int32_t port, const wchar_t* host);

    // Sends a text of 16-bit little-endian units up to its first zero unit, that zero unit
    // included. Takes the next message number even when `repeat` <= 0 sends nothing.
    // The text must stay unchanged during the call. Always answers 0.
    int32_t SendTextMessage(const void* utf16le, int32_t repeat);

    // Sends `size` bytes. A negative size sends nothing and takes no message number.
    // Otherwise as SendTextMessage. Always answers 0.
    int32_t SendByteMessage(const void* bytes, int32_t size, int32_t repeat);

    // The local interface later datagrams leave by, by its address in host byte order (0:
    // the one the system's routes choose, as at first). False, with nothing changed, when
    // the socket refuses it.
    bool SetInterface(uint32_t address);
    uint32_t interfaceAddress() const { return localInterface; }

    // The multicast TTL of later datagrams: how many routers they may cross, 1 (none, as
    // at first) to 255. False, with nothing changed, for any other value or when the
    // socket refuses it.
    bool SetTtl(int32_t ttl);
    int32_t ttl() const { return multicastTtl; }

private:
    void BeginMessage(int32_t dataType, int32_t bytes);
    void SendFragments(const uint8_t* message, int32_t bytes, int32_t repeat);

    ACE_INET_Addr destination;
    ACE_INET_Addr localAddress;
    ACE_SOCK_Dgram sendSocket;
    int32_t multicastTtl = 1;
    uint32_t localInterface = 0;
    // Every datagram is built here; its `index` field is the message counter itself. The
    // payload is never written and stays zero, so no datagram carries an earlier one's bytes.
    uint8_t area[kDatagramBytes] = {};
};

}  // namespace tide
