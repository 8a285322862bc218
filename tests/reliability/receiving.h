// Receiving as a script does, for the reliability tests: a script object that keeps (or
// only counts) what the text and binary handlers are given, a Tidelisten object worked
// through its members, and notifying until a delivery has come. Host's thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/script_calls.h"
#include "emulator/script_object.h"
#include "host/address_table.h"
#include "tests/support/wire.h"

namespace tide::testing {

// Long enough for anything sent on this machine to be delivered; reached only when a
// delivery is missing.
constexpr auto kDeliveryWait = std::chrono::seconds(30);

struct ReceivedText {
    std::string data;
    std::string remoteHost;
    int32_t index = 0;
    int32_t tindex = 0;
};

// The bytes a binary handler was given, read through the host's address table.
struct ReceivedBinary {
    int32_t length = 0;
    bool readable = false;  // the number and length named a region the host knows
    Bytes bytes;
};

class RecordingScript : public emulator::ScriptObject {
public:
    host::Status Invoke(emulator::Host& host, host::HostSymbol handler, int32_t argc,
                        const host::HostValue* argv, host::HostValue*) override {
        const std::string& name = host.SymbolName(handler);
        if (name == "onText" && argc == 2) {
            auto item = [&](const char* key) {
                return host.PropOf(argv[1], key).value_or(host::HostValue{});
            };
            ReceivedText text;
            text.data = host.StringOf(item("data")).value_or("<none>");
            text.remoteHost = host.StringOf(item("remote_host")).value_or("<none>");
            text.index = host.IntegerOf(item("index")).value_or(-1);
            text.tindex = host.IntegerOf(item("tindex")).value_or(-1);
            ++textCount;
            if (keep) texts.push_back(text);
            if (onText) onText(text);
            return host::kOk;
        }
        if (name == "onBinary" && argc == 3) {
            ReceivedBinary binary;
            const int32_t number = host.IntegerOf(argv[1]).value_or(0);
            binary.length = host.IntegerOf(argv[2]).value_or(-1);
            void* base = nullptr;
            binary.readable =
                binary.length >= 0 &&
                host.addressTable()->Resolve(static_cast<uint32_t>(number),
                                             static_cast<uint32_t>(binary.length), &base) == host::kOk;
            if (binary.readable && base) {
                const auto* bytes = static_cast<const uint8_t*>(base);
                binary.bytes.assign(bytes, bytes + binary.length);
            }
            ++binaryCount;
            if (keep) binaries.push_back(binary);
            if (onBinary) onBinary(binary);
            return host::kOk;
        }
        return host::kNoSuchMember;
    }

    // False: only count deliveries (long runs, where a growing record would look like a leak).
    bool keep = true;
    size_t textCount = 0;
    size_t binaryCount = 0;
    std::vector<ReceivedText> texts;
    std::vector<ReceivedBinary> binaries;
    std::function<void(const ReceivedText&)> onText;
    std::function<void(const ReceivedBinary&)> onBinary;
};

// A Tidelisten object whose handlers are `script`'s onText and onBinary. Released (last
// reference: torn down) with this object, whatever state it is in.
class ScriptedListener {
public:
    ScriptedListener(emulator::Host& host, emulator::Module& module, const host::HostValue& script)
        : host_(host), calls_(host), object_(module.New()) {
        Call("SetScriptObject", {script});
        host::HostValue onText = host_.MakeSymbolValue("onText");
        host::HostValue onBinary = host_.MakeSymbolValue("onBinary");
        Call("OnTextData", {onText});
        Call("OnBinaryData", {onBinary});
        host_.Release(onText);
        host_.Release(onBinary);
    }
    ~ScriptedListener() { host_.Release(object_); }
    ScriptedListener(const ScriptedListener&) = delete;
    ScriptedListener& operator=(const ScriptedListener&) = delete;

    int32_t Open(uint16_t port, const std::string& group) {
        host::HostValue portValue = host_.MakeInteger(port);
        host::HostValue groupValue = host_.MakeString(group);
        const int32_t result = Call("Open", {portValue, groupValue});
        host_.Release(portValue);
        host_.Release(groupValue);
        return result;
    }
    void Start() { Call("Start"); }
    void Stop() { Call("Stop"); }
    int32_t Close() { return Call("Close"); }
    void SetDirectorCode(const std::string& name) {
        host::HostValue value = host_.MakeString(name);
        calls_.Set(object_, "DirectorCode", value);
        host_.Release(value);
    }
    int32_t BufferSize() {
        emulator::CallOutcome outcome = calls_.Get(object_, "BufferSize");
        const int32_t size = host_.IntegerOf(outcome.result).value_or(-1);
        host_.Release(outcome.result);
        return size;
    }

    // A member call answering an integer (INT32_MIN for anything else).
    int32_t Call(std::string_view member, std::initializer_list<host::HostValue> arguments = {}) {
        emulator::CallOutcome outcome = calls_.Call(object_, member, arguments);
        lastStatus_ = outcome.status;
        const int32_t result = host_.IntegerOf(outcome.result).value_or(INT32_MIN);
        host_.Release(outcome.result);
        return result;
    }

    const host::HostValue& value() const { return object_; }
    // The status of the last member call.
    host::Status lastStatus() const { return lastStatus_; }

private:
    emulator::Host& host_;
    emulator::ScriptCalls calls_;
    host::HostValue object_;
    host::Status lastStatus_ = host::kOk;
};

// Notifies until `done`; false when it did not come within kDeliveryWait.
inline bool PumpUntil(emulator::Host& host, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryWait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (host.Notify() == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
        std::this_thread::yield();
    }
    return true;
}

}  // namespace tide::testing
