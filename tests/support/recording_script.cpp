// The recording script object and the listener whose handlers it has.
#include "tests/support/recording_script.h"

#include "emulator/symbol_table.h"
#include "host/address_table.h"

namespace tide::testing {

std::vector<std::string> ReceivedText::Keys() const {
    std::vector<std::string> keys;
    for (const ReceivedEntry& entry : entries) keys.push_back(entry.key);
    return keys;
}

std::string ReceivedText::Text(std::string_view key) const {
    for (const ReceivedEntry& entry : entries) {
        if (entry.key != key) continue;
        if (entry.text) return *entry.text;
        if (entry.integer) return std::to_string(*entry.integer);
        break;
    }
    return "<none>";
}

int32_t ReceivedText::Integer(std::string_view key) const {
    for (const ReceivedEntry& entry : entries) {
        if (entry.key == key) return entry.integer.value_or(kNoInteger);
    }
    return kNoInteger;
}

host::Status RecordingScript::Invoke(emulator::Host& host, host::HostSymbol handler, int32_t argc,
                                     const host::HostValue* argv, host::HostValue*) {
    const std::string& name = host.SymbolName(handler);
    const bool text = emulator::SymbolTable::SameName(name, "onText");
    const bool binary = emulator::SymbolTable::SameName(name, "onBinary");
    if (!text && !binary) return otherStatus;
    if (argc != (text ? 2 : 3)) {
        ++malformedCalls;
        return otherStatus;
    }
    return text ? OnText(host, argv[1]) : OnBinary(host, argv[1], argv[2]);
}

host::Status RecordingScript::OnText(emulator::Host& host, const host::HostValue& list) {
    ReceivedText text;
    for (const emulator::PropEntry& entry :
         host.PropListOf(list).value_or(std::vector<emulator::PropEntry>{})) {
        ReceivedEntry received;
        received.key = host.SymbolNameOf(entry.key).value_or("?");
        received.text = host.StringOf(entry.item);
        if (!received.text) received.integer = host.IntegerOf(entry.item);
        text.entries.push_back(std::move(received));
    }
    ++textCount;
    if (keep) texts.push_back(text);
    if (onText) onText(text);
    return textStatus;
}

host::Status RecordingScript::OnBinary(emulator::Host& host, const host::HostValue& number,
                                       const host::HostValue& length) {
    ReceivedBinary binary;
    binary.number = host.IntegerOf(number).value_or(0);
    binary.length = host.IntegerOf(length).value_or(-1);
    void* base = nullptr;
    binary.readable = binary.length >= 0 &&
                      host.addressTable()->Resolve(static_cast<uint32_t>(binary.number),
                                                   static_cast<uint32_t>(binary.length), &base) == host::kOk;
    if (binary.readable) binary.region = static_cast<const uint8_t*>(base);
    if (copyBytes && binary.region) binary.bytes.assign(binary.region, binary.region + binary.length);
    ++binaryCount;
    if (keep) {
        binaries.push_back(binary);
        binaries.back().region = nullptr;
    }
    if (onBinary) onBinary(binary);
    return host::kOk;
}

ScriptedListener::ScriptedListener(emulator::Host& host, emulator::Module& module,
                                   const host::HostValue& script)
    : host_(host), calls_(host), object_(module.New()) {
    Call("SetScriptObject", {script});
    host::HostValue onText = host_.MakeSymbolValue("onText");
    host::HostValue onBinary = host_.MakeSymbolValue("onBinary");
    Call("OnTextData", {onText});
    Call("OnBinaryData", {onBinary});
    host_.Release(onText);
    host_.Release(onBinary);
}

ScriptedListener::~ScriptedListener() { host_.Release(object_); }

int32_t ScriptedListener::Open(uint16_t port, const std::string& group) {
    host::HostValue portValue = host_.MakeInteger(port);
    host::HostValue groupValue = host_.MakeString(group);
    const int32_t result = Call("Open", {portValue, groupValue});
    host_.Release(portValue);
    host_.Release(groupValue);
    return result;
}

void ScriptedListener::SetDirectorCode(const std::string& name) {
    host::HostValue value = host_.MakeString(name);
    calls_.Set(object_, "DirectorCode", value);
    host_.Release(value);
}

int32_t ScriptedListener::BufferSize() {
    emulator::CallOutcome outcome = calls_.Get(object_, "BufferSize");
    const int32_t size = host_.IntegerOf(outcome.result).value_or(-1);
    host_.Release(outcome.result);
    return size;
}

void* ScriptedListener::Worker(size_t bytes) {
    emulator::CallOutcome pointer = calls_.Get(object_, "Pointer");
    const auto number = static_cast<uint32_t>(host_.IntegerOf(pointer.result).value_or(0));
    host_.Release(pointer.result);
    void* worker = nullptr;
    if (host_.addressTable()->Resolve(number, static_cast<uint32_t>(bytes), &worker) != host::kOk)
        return nullptr;
    return worker;
}

int32_t ScriptedListener::Call(std::string_view member, std::initializer_list<host::HostValue> arguments) {
    emulator::CallOutcome outcome = calls_.Call(object_, member, arguments);
    lastStatus_ = outcome.status;
    const int32_t result = host_.IntegerOf(outcome.result).value_or(INT32_MIN);
    host_.Release(outcome.result);
    return result;
}

}  // namespace tide::testing
