// The component model every host interface and every plug-in interface is built on:
// 128-bit interface ids, 32-bit statuses, the calling convention, and the three entries
// (query, add-reference, release) that open every interface table.
// Interface tables are abstract classes whose pure virtual entries stand in their fixed
// order; none has a virtual destructor, since that would add entries to the table.
#pragma once

#include <cstdint>
#include <cstring>

// The host's calling convention. Empty where the platform has only one.
#if defined(_WIN32) && !defined(_WIN64)
#define TIDE_CALL __stdcall
#else
#define TIDE_CALL
#endif

namespace host {

// A 32-bit signed status; 0 is success.
using Status = int32_t;

// Result codes the plug-ins hand to the host.
constexpr Status kOk = 0;
constexpr Status kNoMemory = static_cast<Status>(0x80040002u);
constexpr Status kStillInUse = static_cast<Status>(0x80040003u);
constexpr Status kNoSuchInterface = static_cast<Status>(0x80040004u);
constexpr Status kNoSuchClass = static_cast<Status>(0x80040005u);
constexpr Status kNoSuchProperty = static_cast<Status>(0x800407D5u);
constexpr Status kNoSuchMember = static_cast<Status>(0x800407DFu);
constexpr Status kNotSupported = static_cast<Status>(0x800407F1u);

// A 128-bit id in its usual in-memory form: a 32-bit field, two 16-bit fields, 8 bytes.
// On a little-endian machine this struct's bytes are exactly the wire form the class-info
// records use; WriteIdBytes writes that form on any machine.
struct Id {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(Id) == 16, "ids are 16 bytes");

using InterfaceId = Id;
using ClassId = Id;

// Compared as two 64-bit words: ids are compared on every interface query.
inline bool operator==(const Id& a, const Id& b) {
    uint64_t aWords[2];
    uint64_t bWords[2];
    std::memcpy(aWords, &a, sizeof aWords);
    std::memcpy(bWords, &b, sizeof bWords);
    return aWords[0] == bWords[0] && aWords[1] == bWords[1];
}
inline bool operator!=(const Id& a, const Id& b) { return !(a == b); }

// Writes the 16-byte form of `id` (integer fields little-endian) to `out`.
inline void WriteIdBytes(const Id& id, uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(id.data1 >> (8 * i));
    out[4] = static_cast<uint8_t>(id.data2);
    out[5] = static_cast<uint8_t>(id.data2 >> 8);
    out[6] = static_cast<uint8_t>(id.data3);
    out[7] = static_cast<uint8_t>(id.data3 >> 8);
    std::memcpy(out + 8, id.data4, 8);
}

// Entries 0-2 of every interface.
class Unknown {
public:
    // Entry 0. Asks for another interface of the same object. On success `out` holds a
    // new reference that the caller releases; on failure `out` is set to null and the
    // status is kNoSuchInterface.
    virtual Status TIDE_CALL QueryInterface(const InterfaceId* iid, void** out) = 0;
    // Entry 1. One more reference; returns the new count.
    virtual uint32_t TIDE_CALL AddRef() = 0;
    // Entry 2. One reference less; returns the new count. The object may be gone after it.
    virtual uint32_t TIDE_CALL Release() = 0;

protected:
    ~Unknown() = default;
};

}  // namespace host
