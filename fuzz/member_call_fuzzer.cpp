// libFuzzer target: arbitrary member calls and property reads and writes, with values of
// every type in any number, on a Tidelisten and a Tidespeak object of the loaded modules,
// through CallMember, ReadProperty and WriteProperty, index values included. Whatever the
// calls, the modules must answer with a status their entries may give, never crash, and
// leave nothing of the host's alive once the objects are gone. Runs in a private network
// namespace of its own: whatever the calls send stays in it.
//
// An input is a list of calls. A call's first byte chooses the entry (bits 0-1: 0 member,
// 1 read, 2 write, 3 the host's own steps), the object (bit 2: Tidespeak), and whether the
// name's letter case is turned (bit 3). A host step notifies, or with bit 3 releases the
// object and makes a new one of its class (with bit 4 both objects, the listener first),
// so that teardown and creation in any order, all objects gone in between, are within
// reach; it reads nothing more. For the other entries, the next byte chooses the name from kNames (past
// the list: a name made of the input's bytes up to a zero byte); the next, the number of
// values (0 to 7). Each value is a type byte and what that type needs: 1 integer (4
// bytes), 2 symbol (a name choice), 3 string (a length byte and the bytes), 4 float (8
// bytes), 5 one of the objects (a byte), 6 a property list of two integers, 0 void.
// A read takes its values as index values; a write, all but the last, which it writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/module_loading.h"
#include "emulator/script_calls.h"
#include "fuzz/fuzz_support.h"
#include "host/ids.h"
#include "tests/support/plugin_directory.h"
#include "tests/support/recording_script.h"

namespace {

namespace emulator = tide::emulator;

// Every name either module compares, names neither has, and names of the same letters.
const char* const kNames[] = {
    "Interface",     "GetDirectorCode", "SetDirectorCode",
    "GetAt",         "SetAt",           "IID",
    "IID_ptr",       "Pointer",         "Ppointer",
    "DirectorCode",  "BufferSize",      "ScriptObject",
    "OnTextData",    "OnBinaryData",    "SetScriptObject",
    "GetBufferSize", "SetBufferSize",   "Open",
    "Close",         "Start",           "Stop",
    "SendText",      "SendBinary",      "SendBuffer",
    "Text",          "Binary",          "delete",
    "append",        "OnData",          "",
    "239.255.67.1",  "127.0.0.1",       "/dev/zero",
    "UTF-16LE",      "ISO-2022-JP",     "no such set",
};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr uint16_t kPorts[] = {45101, 0, 65535};
constexpr int32_t kLargestSpeakerInteger = 16;

// Reads the input front to back; past its end every read gives zeros.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}
    bool done() const { return at_ >= end_; }
    uint8_t Byte() { return at_ < end_ ? *at_++ : 0; }
    std::string Bytes(size_t count) {
        std::string bytes;
        while (count-- > 0 && at_ < end_) bytes += static_cast<char>(*at_++);
        return bytes;
    }
    std::string Name() {
        const uint8_t choice = Byte();
        if (choice < kNameCount) return kNames[choice];
        std::string name;
        while (at_ < end_ && *at_ != 0) name += static_cast<char>(*at_++);
        if (at_ < end_) ++at_;
        return name;
    }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

std::string TurnedCase(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

// A script object that answers every handler, so that deliveries to it succeed, and
// keeps nothing of them.
std::shared_ptr<tide::testing::RecordingScript> AnsweringScript() {
    auto script = std::make_shared<tide::testing::RecordingScript>();
    script->keep = false;
    script->copyBytes = false;
    script->otherStatus = host::kOk;
    return script;
}

class MemberCallTarget {
public:
    bool Setup(std::string* error) {
        const std::string directory = tide::testing::PluginDirectory();
        listen = emulator::Module::Load(host, emulator::ModuleFile(directory, "Tidelisten"), error);
        if (!listen) return false;
        speak = emulator::Module::Load(host, emulator::ModuleFile(directory, "Tidespeak"), error);
        return speak != nullptr;
    }

    void Teardown() {
        TIDE_FUZZ_CHECK(host.alive().none(), host.AliveReport().c_str());
        listen.reset();
        speak.reset();
    }

    void Run(const uint8_t* data, size_t size) {
        objects[0] = listen->New();
        objects[1] = speak->New();
        objects[2] = host.MakeScriptObject(AnsweringScript());
        Reader input(data, size);
        while (!input.done()) OneCall(input);
        ReleaseListener();
        host.Release(objects[1]);
        host.Release(objects[2]);
        if (!host.errors().empty()) {
            std::fprintf(stderr, "host misuse: %s\n", host.errors().front().c_str());
            std::abort();
        }
        TIDE_FUZZ_CHECK(host.alive().none(), "the calls left something of the host's alive");
    }

private:
    // `forSpeaker`: integers stay small but for the ports, since any of them may be a
    // repeat count, and a script that asks for two billion copies gets them.
    host::HostValue MakeValue(Reader& input, bool forSpeaker) {
        switch (input.Byte() % 7) {
            case 1: {
                const std::string bytes = input.Bytes(4) + std::string(4, '\0');
                int32_t n = 0;
                std::memcpy(&n, bytes.data(), 4);
                if (n >= 0 && n < 3) {
                    n = kPorts[n];
                } else if (forSpeaker && (n < -kLargestSpeakerInteger || n > kLargestSpeakerInteger)) {
                    n %= kLargestSpeakerInteger;
                }
                return host.MakeInteger(n);
            }
            case 2:
                return host.MakeSymbolValue(input.Name());
            case 3:
                return host.MakeString(input.Bytes(input.Byte()));
            case 4: {
                const std::string bytes = input.Bytes(8) + std::string(8, '\0');
                double number = 0;
                std::memcpy(&number, bytes.data(), 8);
                return host.MakeFloat(number);
            }
            case 5: {
                const host::HostValue& object = objects[input.Byte() % 3];
                host.AddRef(object);
                return object;
            }
            case 6: {
                host::HostValue list = host.MakePropList();
                host::HostValue key = host.MakeSymbolValue(input.Name());
                host::HostValue item = host.MakeInteger(input.Byte());
                host.AddProp(list, key, item);
                host.Release(key);
                host.Release(item);
                return list;
            }
            default:
                return host::HostValue{};
        }
    }

    void OneCall(Reader& input) {
        const uint8_t control = input.Byte();
        const int entry = control & 3;
        if (entry == 3) {
            const bool renew = (control & 8) != 0;
            const bool both = (control & 16) != 0;
            const bool speaker = ((control >> 2) & 1) != 0;
            if (!renew) {
                host.Notify();
            } else {
                Renew(both || !speaker, both || speaker);
            }
            return;
        }
        const host::HostValue& object = objects[(control >> 2) & 1];
        std::string name = input.Name();
        if (control & 8) name = TurnedCase(name);
        const int count = input.Byte() % 8;
        std::vector<host::HostValue> values;
        const bool forSpeaker = (control >> 2) & 1;
        for (int i = 0; i < count; ++i) values.push_back(MakeValue(input, forSpeaker));

        host::IMoaMmXValue* value = calls.ValueInterface(object);
        TIDE_FUZZ_CHECK(value != nullptr, "both objects are made");
        const host::HostSymbol symbol = host.Symbol(name);
        host::Status status = host::kOk;
        if (entry == 0) {
            emulator::CallOutcome outcome =
                calls.Call(object, name, values.data(), static_cast<int32_t>(values.size()));
            status = outcome.status;
            host.Release(outcome.result);
            TIDE_FUZZ_CHECK(
                status == host::kOk || status == host::kNoSuchMember || status == host::kNoSuchProperty,
                "a member call answers 0, NoSuchMember or (GetAt, SetAt) NoSuchProperty");
        } else if (entry == 1) {
            host::HostValue result{};
            status = value->ReadProperty(&object, symbol, count, values.data(), &result);
            host.Release(result);
            TIDE_FUZZ_CHECK(status == host::kOk || status == host::kNoSuchProperty,
                            "a read answers 0 or NoSuchProperty");
        } else {
            const host::HostValue written = values.empty() ? host::HostValue{} : values.back();
            const int32_t indexes = values.empty() ? 0 : count - 1;
            status = value->WriteProperty(symbol, indexes, values.data(), &written);
            TIDE_FUZZ_CHECK(
                status == host::kOk || status == host::kNoSuchProperty || status == host::kNoSuchMember,
                "a write answers 0, NoSuchProperty or what its handler's dispatch answers");
        }
        for (const host::HostValue& made : values) host.Release(made);
    }

    // A script may have given the listener itself, or a list holding it, as its script
    // object: the listener lets go of it first, as a script would, so that it can go.
    void ReleaseListener() {
        host::HostValue none{};
        host.Release(calls.Call(objects[0], "SetScriptObject", {none}).result);
        host.Release(objects[0]);
    }

    // Releases the chosen objects and makes new ones.
    void Renew(bool listener, bool speaker) {
        if (listener) ReleaseListener();
        if (speaker) host.Release(objects[1]);
        if (listener) objects[0] = listen->New();
        if (speaker) objects[1] = speak->New();
    }

    emulator::Host host;
    emulator::ScriptCalls calls{host};
    std::unique_ptr<emulator::Module> listen;
    std::unique_ptr<emulator::Module> speak;
    host::HostValue objects[3] = {};
};

}  // namespace

// As in fuzz_delivery: a host short of memory past 64 MiB (BufferSize may ask for more).
extern "C" const char* __asan_default_options() { return TIDE_FUZZ_SHORT_OF_MEMORY; }

TIDE_FUZZ_ENTRIES(MemberCallTarget, "fuzz_member_calls")
