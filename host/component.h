// The component model every host interface and every plug-in interface is built on:
// 128-bit interface ids, 32-bit statuses, the calling convention, and the three entries
// (query, add-reference, release) that open every interface table.
// Interface tables are abstract classes whose pure virtual entries stand in their fixed
// order; none has a virtual destructor, since that would add entries to the table.
//
// Threads: every entry of every interface in host/, the host's and the plug-ins' alike,
// is called on the host's thread: the one that loads the modules and makes their script
// calls and notifications. Only some of the exports may be called from elsewhere
// (plugin_exports.h). A Tidelisten receive thread calls nothing declared here.
// The emulated host takes the thread that made it for the host's thread; its services
// record a call from any other thread as an error and refuse it without effect.
//
// An entry marked Unused only keeps the later ones at their numbers: the plug-ins never
// call it, and the emulated host answers it with kNotSupported and records a misuse.
#pragma once

#include <cstdint>
#include <cstring>

// The host's calling convention: the callee pops its arguments on 32-bit x86, on Windows
// and in the 32-bit Linux build alike, so that a table entry or export declared without it
// fails there. Empty where the platform has only one.
#if defined(_WIN32) && !defined(_WIN64)
#define TIDE_CALL __stdcall
#elif defined(__i386__)
#define TIDE_CALL __attribute__((stdcall))
#else
#define TIDE_CALL
#endif

namespace host {

// A 32-bit signed status; 0 is success.
using Status = int32_t;

// Result codes the plug-ins hand to the host. Any other non-zero status is the host's.
constexpr Status kOk = 0;
// An allocation failed: in a creation callback, in DllGetClassInfo, or inside an entry
// before it finished.
constexpr Status kNoMemory = static_cast<Status>(0x80040002u);
// DllCanUnloadNow: an interface object of the module is still alive.
constexpr Status kStillInUse = static_cast<Status>(0x80040003u);
// A query, or DllGetInterface, for an interface the object or class does not have; also
// what a plug-in answers when the host did not hand out an interface it needed.
constexpr Status kNoSuchInterface = static_cast<Status>(0x80040004u);
// DllGetClassForm for a class the module does not have; DllGetClassObject always.
constexpr Status kNoSuchClass = static_cast<Status>(0x80040005u);
// ReadProperty or WriteProperty of a property the object does not have.
constexpr Status kNoSuchProperty = static_cast<Status>(0x800407D5u);
// CallMember of a member the object does not have.
constexpr Status kNoSuchMember = static_cast<Status>(0x800407DFu);
// A stub entry of the value interface; a placeholder entry of the emulated host.
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

// Entries 0-2 of every interface. Whoever obtains a reference (from a query, a creation
// or an out parameter documented as handing one out) releases it exactly once.
class Unknown {
public:
    // Entry 0. Asks the object for its interface `iid`. 0 with a new reference in `*out`,
    // which the caller releases. On failure `*out` is null: kNoSuchInterface when the
    // object has no such interface; an instance answers the failing creation callback's
    // status instead (kNoMemory). The interfaces of a plug-in's instance all answer as the
    // instance itself does (instance.h).
    virtual Status TIDE_CALL QueryInterface(const InterfaceId* iid, void** out) = 0;
    // Entry 1. One more reference; returns the new count. A plug-in's interface object
    // also adds one to its instance.
    virtual uint32_t TIDE_CALL AddRef() = 0;
    // Entry 2. One reference less; returns the new count. At 0 the object is gone: touch
    // nothing of it after the call. A plug-in's interface object also drops one of its
    // instance, and its last release frees it (and, for the value interface, the object
    // state).
    virtual uint32_t TIDE_CALL Release() = 0;

protected:
    ~Unknown() = default;
};

}  // namespace host
