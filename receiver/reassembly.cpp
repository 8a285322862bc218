// Reassembly of binary messages.
#include "receiver/reassembly.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "receiver/message_memory.h"

namespace tide {

bool Reassembly::Init(int32_t bytes) {
    reassemblyBuffer = nullptr;
    bufferBytes = 0;
    if (bytes <= 0) return false;
    reassemblyBuffer = AllocateMessageMemory(static_cast<size_t>(bytes));
    if (!reassemblyBuffer) return false;
    bufferBytes = bytes;
    ++generation;
    return true;
}

void Reassembly::Free() {
    StartMessage();
    FreeMessageMemory(reassemblyBuffer, static_cast<size_t>(bufferBytes));
    reassemblyBuffer = nullptr;
    bufferBytes = 0;
    ++generation;
}

bool Reassembly::Grow(int64_t bytes) {
    if (bytes <= 0 || bytes > INT32_MAX) return false;
    uint8_t* replacement = AllocateMessageMemory(static_cast<size_t>(bytes));
    if (!replacement) return false;
    // The message being put together keeps the bytes it has taken when they fit the new
    // buffer and starts over when they do not: a message is handed over only with every
    // byte of it in the buffer it is handed over in, never with what that memory held.
    if (takenEnd > 0 && takenEnd <= bytes) {
        std::memcpy(replacement, reassemblyBuffer, static_cast<size_t>(takenEnd));
    } else if (takenEnd > 0) {
        StartMessage();
    }
    FreeMessageMemory(reassemblyBuffer, static_cast<size_t>(bufferBytes));
    reassemblyBuffer = replacement;
    bufferBytes = static_cast<int32_t>(bytes);
    ++generation;
    return true;
}

bool Reassembly::Resize(int32_t bytes) {
    if (bytes <= 0 || bytes == bufferBytes) return false;
    return Grow(bytes);
}

void Reassembly::StartMessage() {
    fragmentsTaken = 0;
    takenEnd = 0;
    trackedCount = 0;
    taken.clear();
}

bool Reassembly::Wellformed(const DatagramHeader& header, int32_t payloadBytes) {
    return header.data_tsize >= 0 && header.data_offset >= 0 && header.data_size >= 0 &&
           header.data_size <= kFragmentBytes && header.data_size <= payloadBytes && header.tcount >= 1 &&
           header.tcount <= kMostFragments && header.tindex >= 1 && header.tindex <= header.tcount;
}

Reassembly::Outcome Reassembly::Take(const DatagramHeader& header, const uint8_t* payload,
                                     int32_t payloadBytes, bool newSender) {
    // What no sender of this format writes is dropped before it can disturb anything.
    if (!Wellformed(header, payloadBytes)) return Outcome::kDropped;

    if (header.data_tsize != assemblingTotal) {
        assemblingTotal = header.data_tsize;
        StartMessage();
        // A buffer too small for the message grows; when it cannot, the old one stays and
        // the fragments that do not fit it are dropped below.
        if (header.data_tsize >= bufferBytes) Grow(int64_t{header.data_tsize} + kBufferSlackBytes);
    } else if (!reassemblyBuffer || assemblingTotal > bufferBytes) {
        // The same length as before, but the buffer no longer holds it: a script shrank
        // it, or growing failed. Waiting for a new length would leave every message of
        // this one unheard. The fragments already taken move into the grown buffer.
        Grow(int64_t{assemblingTotal} + kBufferSlackBytes);
    }
    if (header.index != assemblingIndex) {
        assemblingIndex = header.index;
        StartMessage();
    }
    if (newSender) StartMessage();

    // A message the buffer cannot hold is never handed over as complete: its fragments
    // are dropped, so that no handler is told of bytes the buffer does not have.
    if (!reassemblyBuffer || assemblingTotal > bufferBytes ||
        int64_t{header.data_offset} + header.data_size > bufferBytes)
        return Outcome::kDropped;

    if (trackedCount != header.tcount) {
        // The first fragment of the message, or one that disagrees on the fragment count:
        // counting starts over for this count.
        StartMessage();
        try {
            taken.assign((static_cast<size_t>(header.tcount) + 63) / 64, 0);
        } catch (const std::bad_alloc&) {
            // Nowhere to note its fragments: the message cannot be counted, so it starts
            // over with its next fragment.
            return Outcome::kDropped;
        }
        trackedCount = header.tcount;
    }
    const int32_t bit = header.tindex - 1;
    uint64_t& word = taken[static_cast<size_t>(bit / 64)];
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if (word & mask) return Outcome::kRepeated;
    word |= mask;

    ++fragmentsTaken;
    std::memcpy(reassemblyBuffer + header.data_offset, payload, static_cast<size_t>(header.data_size));
    takenEnd = std::max(takenEnd, header.data_offset + header.data_size);
    return fragmentsTaken == header.tcount ? Outcome::kComplete : Outcome::kTaken;
}

}  // namespace tide
