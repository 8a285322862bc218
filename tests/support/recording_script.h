// Receiving as a script does, for the tests and the fuzz targets: a script object that
// records what a Tidelisten object's deliveries hand its text and binary handlers, and a
// Tidelisten object whose handlers are that object's onText and onBinary. Called on the
// host's thread; the script object from inside the module's delivery.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/script_calls.h"
#include "emulator/script_object.h"
#include "tests/support/wire.h"

namespace tide::testing {

// One entry of the list the text handler is given: its key and its item.
struct ReceivedEntry {
    std::string key;                  // the key symbol's name; "?" when the key is no symbol
    std::optional<std::string> text;  // the item, when it is a string
    std::optional<int32_t> integer;   // the item, when it is an integer
};

// What one call of the text handler was given.
struct ReceivedText {
    static constexpr int32_t kNoInteger = INT32_MIN;

    // The keys, in the list's order.
    std::vector<std::string> Keys() const;
    // The item under `key` as text: a string as it is, an integer in decimal; "<none>"
    // when the list has no such key or the item is neither.
    std::string Text(std::string_view key) const;
    // The item under `key` when it is an integer; kNoInteger when not.
    int32_t Integer(std::string_view key) const;

    std::vector<ReceivedEntry> entries;  // the list's, in its order; none when it was no list
};

// What one call of the binary handler was given, read through the host's address table.
struct ReceivedBinary {
    int32_t number = 0;     // the buffer's number; 0 when the argument was no integer
    int32_t length = -1;    // -1 when the argument was no integer
    bool readable = false;  // the number and length named a region the host knows
    Bytes bytes;            // what the region held at the call, when the script copies it
    // The region itself, for the onBinary callback only: null in the records kept.
    const uint8_t* region = nullptr;
};

// Handles the handler names onText (the object and a list) and onBinary (the object, a
// number and a length), in any letter case; any other handler answers `otherStatus`.
class RecordingScript : public emulator::ScriptObject {
public:
    host::Status Invoke(emulator::Host& host, host::HostSymbol handler, int32_t argc,
                        const host::HostValue* argv, host::HostValue* result) override;

    // What the script does. False `keep`: only count deliveries (long runs, where a
    // growing record would look like a leak). False `copyBytes`: leave
    // ReceivedBinary::bytes empty (a caller that reads only part of each message).
    bool keep = true;
    bool copyBytes = true;
    host::Status textStatus = host::kOk;  // what the text handler answers
    // What any other handler answers, and a call of onText or onBinary with the
    // arguments of no delivery.
    host::Status otherStatus = host::kNoSuchMember;
    // Called with each delivery once it has been counted (and kept); may work the
    // receiver, its members included.
    std::function<void(const ReceivedText&)> onText;
    std::function<void(const ReceivedBinary&)> onBinary;

    // What it was given.
    size_t textCount = 0;
    size_t binaryCount = 0;
    size_t malformedCalls = 0;  // of onText or onBinary, with the arguments of no delivery
    std::vector<ReceivedText> texts;
    std::vector<ReceivedBinary> binaries;

private:
    host::Status OnText(emulator::Host& host, const host::HostValue& list);
    host::Status OnBinary(emulator::Host& host, const host::HostValue& number, const host::HostValue& length);
};

// A Tidelisten object whose handlers are `script`'s onText and onBinary, worked through
// its members. Released (last reference: torn down) with this object, whatever state it
// is in.
class ScriptedListener {
public:
    ScriptedListener(emulator::Host& host, emulator::Module& module, const host::HostValue& script);
    ~ScriptedListener();
    ScriptedListener(const ScriptedListener&) = delete;
    ScriptedListener& operator=(const ScriptedListener&) = delete;

    int32_t Open(uint16_t port, const std::string& group);
    void Start() { Call("Start"); }
    void Stop() { Call("Stop"); }
    int32_t Close() { return Call("Close"); }
    void SetDirectorCode(const std::string& name);
    int32_t BufferSize();
    // The object's worker (a Tidelisten's GroupListener), found the way a script finds
    // it: the address its "Pointer" property names, readable for `bytes` bytes; null when
    // it names none.
    void* Worker(size_t bytes);

    // A member call answering an integer (INT32_MIN for anything else).
    int32_t Call(std::string_view member, std::initializer_list<host::HostValue> arguments = {});

    const host::HostValue& value() const { return object_; }
    // The status of the last member call.
    host::Status lastStatus() const { return lastStatus_; }

private:
    emulator::Host& host_;
    emulator::ScriptCalls calls_;
    host::HostValue object_;
    host::Status lastStatus_ = host::kOk;
};

}  // namespace tide::testing
