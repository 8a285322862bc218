// Putting binary messages back together: one message at a time per receiver, in one
// buffer that grows to fit the largest message seen. A new message starts whenever the
// total length, the message number or the sender changes. Each fragment number counts
// once per message, so repeated copies never complete a message early, and a message is
// complete only when its fragments' bytes cover it from its first byte to its last. A
// fragment that does not fit the buffer is dropped. A buffer that no longer holds the current
// length (a script shrank it, or growing failed) grows again at the next fragment of it.
// Host's thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "receiver/byte_coverage.h"
#include "receiver/datagram.h"

namespace tide {

class Reassembly {
public:
    enum class Outcome {
        kDropped,   // malformed, does not fit, or no buffer for it: nothing changed but resets
        kRepeated,  // a fragment of the current message that was already taken
        kTaken,     // copied into place; the message is not complete yet
        kComplete,  // copied into place; every fragment and every byte of the message is in the buffer
    };

    // With a buffer of `bytes` bytes (false when it cannot be allocated: no buffer then).
    bool Init(int32_t bytes);
    // Frees the buffer.
    void Free();

    // Replaces the buffer by one of `bytes` bytes, unless `bytes` is what it has. Sizes
    // of 0 or less, and sizes that cannot be allocated, change nothing (false). The
    // message being assembled keeps the bytes it has taken, copied into the new buffer,
    // when they fit it; otherwise it starts over.
    bool Resize(int32_t bytes);

    // Takes one binary datagram: its header, the payload bytes that arrived, and whether
    // its sender differs from the sender of the message being assembled.
    Outcome Take(const DatagramHeader& header, const uint8_t* payload, int32_t payloadBytes, bool newSender);

    uint8_t* buffer() const { return reassemblyBuffer; }
    int32_t bufferSize() const { return bufferBytes; }
    int32_t total() const { return assemblingTotal; }
    // The message being put together, or the one just completed: its number, its count of
    // fragments (0 before any fragment was taken), how many of them are in, and whether
    // all of them and all its bytes are.
    int32_t index() const { return assemblingIndex; }
    int32_t fragmentCount() const { return trackedCount; }
    int32_t fragmentsIn() const { return fragmentsTaken; }
    bool complete() const {
        return trackedCount > 0 && fragmentsTaken == trackedCount && coverage.Covers(assemblingTotal);
    }
    // Changes whenever the buffer is replaced, so that its published address can follow.
    uint32_t bufferGeneration() const { return generation; }

private:
    void StartMessage();
    bool Grow(int64_t bytes);

    uint8_t* reassemblyBuffer = nullptr;
    int32_t bufferBytes = 0;
    int32_t assemblingTotal = 0;
    int32_t assemblingIndex = 0;
    int32_t fragmentsTaken = 0;
    ByteCoverage coverage;  // the bytes of the current message taken (all lie in the buffer)
    // How far from the buffer's start its pages are marked for large pages.
    int32_t largePagesEnd = 0;
    uint32_t generation = 0;
    // One bit per fragment number of the current message (bit tindex - 1).
    int32_t trackedCount = 0;
    std::vector<uint64_t> taken;
};

// Grown buffers get this much room beyond the message.
constexpr int32_t kBufferSlackBytes = 1024;
// The largest message a datagram can make the buffer grow for. With 32-bit addresses a
// host process has 2 GiB to share with the host itself and everything it loads; a length
// that one datagram names must not take a large share of them, so growth stops at an
// eighth: 256 MiB, a message far beyond what such a host can hold twice (as a file or a
// string it makes of it). A script's own SetBufferSize may go beyond it. Elsewhere only
// the header's own limit applies.
constexpr int32_t kMostBytesAPeerGrows = sizeof(void*) == 4 ? 256 * 1024 * 1024 : INT32_MAX;

}  // namespace tide
