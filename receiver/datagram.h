// The one wire format both modules speak: a datagram of exactly 20512 bytes, a header of
// seven signed 32-bit little-endian fields and a payload of at most 20480 bytes. Pure
// functions on byte arrays, safe on any thread; the sender writes, delivery reads.
#pragma once

#include <cstdint>

namespace tide {

// Every datagram on the wire has this length, whatever its fragment holds.
constexpr int32_t kDatagramBytes = 20512;
constexpr int32_t kHeaderBytes = 28;
// The largest fragment of a message: an even number, so a 16-bit unit is never cut.
constexpr int32_t kFragmentBytes = 20480;
constexpr int32_t kPayloadOffset = kHeaderBytes;
// A 16-bit zero that ends a full text fragment; no fragment reaches it.
constexpr int32_t kTerminatorOffset = kPayloadOffset + kFragmentBytes;
constexpr int32_t kTerminatorBytes = 2;

// Header field offsets, in bytes from the start of the datagram.
constexpr int32_t kDataTypeOffset = 0;
constexpr int32_t kIndexOffset = 4;
constexpr int32_t kDataTsizeOffset = 8;
constexpr int32_t kDataOffsetOffset = 12;
constexpr int32_t kDataSizeOffset = 16;
constexpr int32_t kTcountOffset = 20;
constexpr int32_t kTindexOffset = 24;

// `data_type` values; any other value is not ours and is dropped by the receiver.
constexpr int32_t kTypeBinary = 0;
constexpr int32_t kTypeText = 1;

static_assert(kTerminatorOffset + kTerminatorBytes <= kDatagramBytes, "the terminator fits");
static_assert(kFragmentBytes % 2 == 0, "a fragment holds whole 16-bit units");

struct DatagramHeader {
    int32_t data_type = 0;
    int32_t index = 0;
    int32_t data_tsize = 0;
    int32_t data_offset = 0;
    int32_t data_size = 0;
    int32_t tcount = 0;
    int32_t tindex = 0;
};

// One signed 32-bit field at `offset`, little-endian whatever the machine's byte order.
// The caller guarantees offset + 4 bytes lie inside the array.
int32_t ReadField(const uint8_t* datagram, int32_t offset);
void WriteField(uint8_t* datagram, int32_t offset, int32_t value);

// The seven header fields; the caller guarantees kHeaderBytes are there.
DatagramHeader ReadHeader(const uint8_t* datagram);
void WriteHeader(uint8_t* datagram, const DatagramHeader& header);

// The most fragments a message whose length fits the header can have.
constexpr int32_t kMostFragments = (INT32_MAX / kFragmentBytes) + 1;

// Whether a binary datagram could belong to a message at all: fields that no sender of
// this format writes, or a payload shorter than its `data_size`, say it cannot.
bool WellformedFragment(const DatagramHeader& header, int32_t payloadBytes);

// Whether a receiver could hand anything of a datagram of `length` bytes to a script: a
// text (whatever its other fields say), or a well-formed binary fragment. What is too
// short for a header, of another `data_type` or a malformed fragment is not.
bool Deliverable(const uint8_t* datagram, int32_t length);

// Number of fragments a message of `bytes` bytes travels in: an empty message still
// takes one, and a whole multiple of kFragmentBytes is followed by no empty fragment.
int32_t FragmentCount(int32_t bytes);

}  // namespace tide
