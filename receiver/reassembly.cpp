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
    largePagesEnd = 0;
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
    const int32_t takenEnd = coverage.End();
    if (takenEnd > 0 && takenEnd <= bytes) {
        std::memcpy(replacement, reassemblyBuffer, static_cast<size_t>(takenEnd));
    } else if (takenEnd > 0) {
        StartMessage();
    }
    largePagesEnd = 0;
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
    coverage.Clear();
    trackedCount = 0;
    taken.clear();
}

Reassembly::Outcome Reassembly::Take(const DatagramHeader& header, const uint8_t* payload,
                                     int32_t payloadBytes, bool newSender) {
    // What no sender of this format writes is dropped before it can disturb anything.
    if (!WellformedFragment(header, payloadBytes)) return Outcome::kDropped;

    if (header.data_tsize != assemblingTotal) {
        assemblingTotal = header.data_tsize;
        StartMessage();
        // A buffer too small for the message grows; when it cannot, the old one stays and
        // the fragments that do not fit it are dropped below.
        if (header.data_tsize >= bufferBytes && header.data_tsize <= kMostBytesAPeerGrows)
            Grow(int64_t{header.data_tsize} + kBufferSlackBytes);
    } else if ((!reassemblyBuffer || assemblingTotal > bufferBytes) &&
               assemblingTotal <= kMostBytesAPeerGrows) {
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

    const int32_t end = header.data_offset + header.data_size;
    const bool inOrder = header.data_offset <= coverage.PrefixEnd();
    // Nowhere to note its bytes: as if it had not come, so that a copy of it may still.
    if (!coverage.Add(header.data_offset, end)) return Outcome::kDropped;
    word |= mask;
    ++fragmentsTaken;
    // Bytes that continue what came before may go to large pages; bytes far ahead of
    // them, which a peer names at will, cost only the small pages they touch.
    if (inOrder && end > largePagesEnd) {
        largePagesEnd = MarkForLargePages(reassemblyBuffer, static_cast<size_t>(bufferBytes),
                                          static_cast<size_t>(largePagesEnd), static_cast<size_t>(end));
    }
    std::memcpy(reassemblyBuffer + header.data_offset, payload, static_cast<size_t>(header.data_size));
    // Complete when every fragment has come and their bytes leave no gap: fragments a
    // peer placed over each other or short of the end would hand over bytes that never
    // arrived, an earlier message's among them.
    return complete() ? Outcome::kComplete : Outcome::kTaken;
}

}  // namespace tide
