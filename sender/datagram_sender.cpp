// DatagramSender: fragmentation, repeats and the message counter kept in the datagram itself.
#include "sender/datagram_sender.h"

#include <new>

namespace tide {

namespace {

// IPv4 address 0, port 0. Opened on, it means any interface and a port the system picks;
// as the destination (before one is set, or when a host name does not resolve) it makes
// every send fail in the socket, which nobody hears about.
ACE_INET_Addr AnyAddress() {
    return ACE_INET_Addr(static_cast<u_short>(0), static_cast<ACE_UINT32>(INADDR_ANY));
}

// Number of 16-bit units before the first zero unit, read as byte pairs so that the
// text's alignment and the machine's byte order do not matter.
size_t CountTextUnits(const uint8_t* text) {
    size_t units = 0;
    while (text[2 * units] != 0 || text[2 * units + 1] != 0) ++units;
    return units;
}

// ACE's iovec is the system's on POSIX, and {u_long iov_len; char* iov_base} on Windows,
// where the socket gathers it with WSASendTo.
void SetPart(iovec& part, const uint8_t* bytes, int32_t length) {
    part.iov_base = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
    part.iov_len = static_cast<decltype(part.iov_len)>(length);
}

}  // namespace

DatagramSender::DatagramSender() : destination(AnyAddress()), localAddress(AnyAddress()) {
    sendSocket.open(localAddress, AF_INET, 0, 0);
    // `area` starts all zero: the terminator at kTerminatorOffset and message counter 0.
}

DatagramSender::~DatagramSender() { sendSocket.close(); }

bool DatagramSender::SetInterface(uint32_t address) {
    in_addr chosen{};
    chosen.s_addr = htonl(address);
    if (sendSocket.set_option(IPPROTO_IP, IP_MULTICAST_IF, &chosen, sizeof chosen) != 0) return false;
    localInterface = address;
    return true;
}

bool DatagramSender::SetTtl(int32_t ttl) {
    if (ttl < 1 || ttl > 255) return false;
    // An int, as both systems take it.
    int value = ttl;
    if (sendSocket.set_option(IPPROTO_IP, IP_MULTICAST_TTL, &value, sizeof value) != 0) return false;
    multicastTtl = ttl;
    return true;
}

int32_t DatagramSender::SetDestination(int32_t port, const wchar_t* host) {
    const auto portNumber = static_cast<u_short>(static_cast<uint32_t>(port) & 0xFFFFu);
    ACE_INET_Addr resolved;
    bool set = false;
    try {
        set = host != nullptr && resolved.set(portNumber, host, 1, AF_INET) == 0;
    } catch (const std::bad_alloc&) {
        // No memory for the host text: as good as a name that does not resolve.
    }
    destination = set ? resolved : AnyAddress();
    return 0;
}

int32_t DatagramSender::SendTextMessage(const void* utf16le, int32_t repeat) {
    const auto* text = static_cast<const uint8_t*>(utf16le);
    const size_t units = CountTextUnits(text);
    // The header cannot describe a text of 2^31 bytes or more; such a text is not sent.
    if (units > (static_cast<size_t>(INT32_MAX) - kTerminatorBytes) / 2) return 0;
    const auto bytes = static_cast<int32_t>(2 * units + kTerminatorBytes);
    BeginMessage(kTypeText, bytes);
    SendFragments(text, bytes, repeat);
    return 0;
}

int32_t DatagramSender::SendByteMessage(const void* bytes, int32_t size, int32_t repeat) {
    if (size < 0) return 0;
    BeginMessage(kTypeBinary, size);
    SendFragments(static_cast<const uint8_t*>(bytes), size, repeat);
    return 0;
}

void DatagramSender::BeginMessage(int32_t dataType, int32_t bytes) {
    // The counter wraps modulo 2^32, so it is advanced as an unsigned number.
    const uint32_t next = static_cast<uint32_t>(ReadField(area, kIndexOffset)) + 1u;
    WriteField(area, kIndexOffset, static_cast<int32_t>(next));
    WriteField(area, kDataTsizeOffset, bytes);
    WriteField(area, kDataTypeOffset, dataType);
    WriteField(area, kTcountOffset, FragmentCount(bytes));
}

void DatagramSender::SendFragments(const uint8_t* message, int32_t bytes, int32_t repeat) {
    if (repeat <= 0) return;
    const int32_t fragments = FragmentCount(bytes);
    // header | the fragment, read in place | zero rest of the payload, terminator, padding
    iovec parts[3];
    SetPart(parts[0], area, kPayloadOffset);
    int32_t offset = 0;
    for (int32_t tindex = 1; tindex <= fragments; ++tindex) {
        const int32_t length = bytes - offset < kFragmentBytes ? bytes - offset : kFragmentBytes;
        WriteField(area, kDataOffsetOffset, offset);
        WriteField(area, kTindexOffset, tindex);
        WriteField(area, kDataSizeOffset, length);
        SetPart(parts[1], message + offset, length);
        SetPart(parts[2], area + kPayloadOffset + length, kDatagramBytes - kPayloadOffset - length);
        // Send results are not looked at: a lost datagram is as lost as one the network
        // drops, and the next one goes out regardless.
        for (int32_t copy = 0; copy < repeat; ++copy) sendSocket.send(parts, 3, destination);
        offset += length;
    }
}

}  // namespace tide
