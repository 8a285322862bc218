// The datagram header, byte by byte, so the format never follows the machine's byte order.
#include "receiver/datagram.h"

namespace tide {

int32_t ReadField(const uint8_t* datagram, int32_t offset) {
    const uint8_t* at = datagram + offset;
    uint32_t bits = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                    static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
    return static_cast<int32_t>(bits);
}

void WriteField(uint8_t* datagram, int32_t offset, int32_t value) {
    uint8_t* at = datagram + offset;
    uint32_t bits = static_cast<uint32_t>(value);
    at[0] = static_cast<uint8_t>(bits);
    at[1] = static_cast<uint8_t>(bits >> 8);
    at[2] = static_cast<uint8_t>(bits >> 16);
    at[3] = static_cast<uint8_t>(bits >> 24);
}

DatagramHeader ReadHeader(const uint8_t* datagram) {
    DatagramHeader header;
    header.data_type = ReadField(datagram, kDataTypeOffset);
    header.index = ReadField(datagram, kIndexOffset);
    header.data_tsize = ReadField(datagram, kDataTsizeOffset);
    header.data_offset = ReadField(datagram, kDataOffsetOffset);
    header.data_size = ReadField(datagram, kDataSizeOffset);
    header.tcount = ReadField(datagram, kTcountOffset);
    header.tindex = ReadField(datagram, kTindexOffset);
    return header;
}

void WriteHeader(uint8_t* datagram, const DatagramHeader& header) {
    WriteField(datagram, kDataTypeOffset, header.data_type);
    WriteField(datagram, kIndexOffset, header.index);
    WriteField(datagram, kDataTsizeOffset, header.data_tsize);
    WriteField(datagram, kDataOffsetOffset, header.data_offset);
    WriteField(datagram, kDataSizeOffset, header.data_size);
    WriteField(datagram, kTcountOffset, header.tcount);
    WriteField(datagram, kTindexOffset, header.tindex);
}

bool WellformedFragment(const DatagramHeader& header, int32_t payloadBytes) {
    return header.data_tsize >= 0 && header.data_offset >= 0 && header.data_size >= 0 &&
           header.data_size <= kFragmentBytes && header.data_size <= payloadBytes && header.tcount >= 1 &&
           header.tcount <= kMostFragments && header.tindex >= 1 && header.tindex <= header.tcount;
}

bool Deliverable(const uint8_t* datagram, int32_t length) {
    if (length < kHeaderBytes) return false;
    const DatagramHeader header = ReadHeader(datagram);
    if (header.data_type == kTypeText) return true;
    return header.data_type == kTypeBinary && WellformedFragment(header, length - kPayloadOffset);
}

int32_t FragmentCount(int32_t bytes) {
    if (bytes <= 0) return 1;
    // Divides before rounding up so that lengths near 2^31 do not overflow.
    return bytes / kFragmentBytes + (bytes % kFragmentBytes != 0 ? 1 : 0);
}

}  // namespace tide
