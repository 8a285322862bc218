// libFuzzer target: arbitrary byte strings, sent as datagrams from several senders to a
// Tidelisten object of the loaded module, and delivered through the emulated host's
// notifications to a script object's handlers: the path every received datagram takes,
// reassembly included. Runs in a private network namespace of its own.
//
// An input is a list of records split at kRecordSeparator. A record's first byte chooses
// its sender (bits 0-2) and may change a setting first (bits 3-4: 2 = DirectorCode, named
// by the next byte, 3 = BufferSize, from the next four bytes); bit 5 sends the datagram
// twice. The rest of the record is the datagram, as long as it is (over-long ones are cut
// by the receiver). Every input starts from the same receiver state and ends once all its
// datagrams have been delivered, so that a crashing input crashes again on its own.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/module_loading.h"
#include "emulator/script_calls.h"
#include "emulator/script_object.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/private_network.h"
#include "tests/support/wire.h"

namespace {

using tide::testing::Bytes;
namespace emulator = tide::emulator;

constexpr char kRecordSeparator[] = "|TIDE|";
constexpr size_t kSeparatorBytes = sizeof kRecordSeparator - 1;
constexpr const char* kGroup = "239.255.66.1";
constexpr uint16_t kPort = 45001;
// Room for datagrams longer than the receiver takes, so that cutting them is exercised.
constexpr size_t kLongestSentBytes = tide::kDatagramBytes + 64;
constexpr int32_t kDefaultBufferBytes = 102400;
// Marks the text datagram that ends each input; no record of an input is after it.
constexpr int32_t kSentinelTotal = 0x53454E54;
// Puts the reassembly into the same state before every input: a message of two fragments
// of which one has come, from a sender no record uses.
constexpr int32_t kResetTotal = 7;
constexpr int32_t kResetIndex = 0x52534554;

// Where records come from: loopback and the private card, a sender text of full length,
// and two sockets sharing an address, so that sender changes by port alone happen too.
struct SenderAddress {
    const char* address;
    uint16_t port;  // 0: any
};
constexpr SenderAddress kSenders[] = {
    {"127.0.0.1", 0},           {"127.0.0.1", 0},
    {"127.0.0.2", 40000},       {tide::testing::kPrivateCardAddress, 0},
    {tide::testing::kLongestLocalAddress, 65535}, {"127.255.255.254", 1},
    {"127.0.0.3", 0},           {"127.0.0.1", 0},
};
constexpr size_t kSenderCount = sizeof kSenders / sizeof kSenders[0];

// Sets a script may name: real ones of every kind (8-bit, 16- and 32-bit, stateful,
// multibyte, with suffixes) and names that are none.
const char* const kSetNames[] = {
    "UTF-8",         "UTF-16LE",     "UTF-16",     "UTF-32BE",  "wchar_t", "char",
    "ISO-8859-1",    "WINDOWS-1252", "CP1251",     "SHIFT_JIS", "EUC-JP",  "ISO-2022-JP",
    "ISO-2022-KR",   "GB18030",      "BIG5-HKSCS", "UTF-7",     "IBM037",  "ASCII//TRANSLIT",
    "UTF-8//IGNORE", "UCS-2",        "UCS-4",      "TSCII",     "",        "no such set",
};
constexpr size_t kSetNameCount = sizeof kSetNames / sizeof kSetNames[0];

class FuzzTarget;
FuzzTarget* gTarget = nullptr;

// The script object whose handlers deliveries call. It reads everything it is given, as
// a script would: every entry of the text handler's list, and the binary handler's bytes
// through the host's address table.
class ReadingScript : public emulator::ScriptObject {
public:
    host::Status Invoke(emulator::Host& h, host::HostSymbol handler, int32_t argc,
                        const host::HostValue* argv, host::HostValue*) override;

    bool sentinelSeen = false;
    int32_t sentinelIndex = 0;
    // While the set is UTF-8: texts are valid UTF-8, remote_host one of `senderTexts`.
    bool inUtf8 = true;
    std::set<std::string> senderTexts;
    std::set<int32_t> binaryTotals;  // data_tsize of every binary datagram of this input
    uint64_t touched = 0;

private:
    host::Status OnText(emulator::Host& h, int32_t argc, const host::HostValue* argv);
    host::Status OnBinary(emulator::Host& h, int32_t argc, const host::HostValue* argv);
};

host::Status ReadingScript::Invoke(emulator::Host& h, host::HostSymbol handler, int32_t argc,
                                   const host::HostValue* argv, host::HostValue*) {
    const std::string& name = h.SymbolName(handler);
    if (name == "onText") return OnText(h, argc, argv);
    if (name == "onBinary") return OnBinary(h, argc, argv);
    return host::kNoSuchMember;
}

host::Status ReadingScript::OnText(emulator::Host& h, int32_t argc, const host::HostValue* argv) {
    static const char* const kKeys[] = {"data",      "remote_host", "data_tsize", "data_offset", "data_size",
                                        "data_type", "index",       "tcount",     "tindex"};
    TIDE_FUZZ_CHECK(argc == 2, "the text handler gets the object and one list");
    const auto entries = h.PropListOf(argv[1]);
    TIDE_FUZZ_CHECK(entries && entries->size() == 9, "a text comes with nine entries");
    std::string texts[2];
    int32_t numbers[7] = {};
    for (size_t i = 0; i < 9; ++i) {
        const emulator::PropEntry& entry = (*entries)[i];
        TIDE_FUZZ_CHECK(h.SymbolNameOf(entry.key) == std::string(kKeys[i]), "entries in their order");
        if (i < 2) {
            auto text = h.StringOf(entry.item);
            TIDE_FUZZ_CHECK(text.has_value(), "data and remote_host are strings");
            texts[i] = *text;
            for (unsigned char c : texts[i]) touched += c;
        } else {
            auto number = h.IntegerOf(entry.item);
            TIDE_FUZZ_CHECK(number.has_value(), "header fields are integers");
            numbers[i - 2] = *number;
        }
    }
    TIDE_FUZZ_CHECK(numbers[3] == 1, "only text datagrams reach the text handler");
    if (inUtf8) {
        TIDE_FUZZ_CHECK(tide::fuzzing::IsValidUtf8(texts[0].data(), texts[0].size()),
                        "a text is valid UTF-8, whatever the datagram held");
        TIDE_FUZZ_CHECK(senderTexts.count(texts[1]) == 1, "remote_host is the real sender");
    }
    if (numbers[0] == kSentinelTotal && numbers[4] == sentinelIndex) sentinelSeen = true;
    return host::kOk;
}

host::Status ReadingScript::OnBinary(emulator::Host& h, int32_t argc, const host::HostValue* argv) {
    TIDE_FUZZ_CHECK(argc == 3, "the binary handler gets the object, a number and a length");
    auto number = h.IntegerOf(argv[1]);
    auto length = h.IntegerOf(argv[2]);
    TIDE_FUZZ_CHECK(number && length && *length >= 0, "the buffer's number and a length");
    TIDE_FUZZ_CHECK(binaryTotals.count(*length) == 1, "the length is a message's data_tsize");
    void* base = nullptr;
    const host::Status found =
        h.addressTable()->Resolve(static_cast<uint32_t>(*number), static_cast<uint32_t>(*length), &base);
    TIDE_FUZZ_CHECK(found == host::kOk && (base || *length == 0), "the buffer holds the whole message");
    // Both ends of the message: reading them proves the region is really there.
    const auto* bytes = static_cast<const uint8_t*>(base);
    const size_t total = static_cast<size_t>(*length);
    const size_t edge = std::min<size_t>(total, 4096);
    for (size_t i = 0; i < edge; ++i) touched += bytes[i] + bytes[total - 1 - i];
    return host::kOk;
}

class FuzzTarget {
public:
    bool Setup(std::string* error);
    void Run(const uint8_t* data, size_t size);
    void Teardown();

private:
    void MakeListener();
    void ReleaseListener();
    void Send(size_t sender, const uint8_t* bytes, size_t length, bool twice);
    void ApplySetting(uint8_t control, const uint8_t*& bytes, size_t& length);
    void SetBufferSize(int32_t bytes);
    void SetDirectorCode(const std::string& name);
    // Sends the sentinel and notifies until it has been delivered: every datagram sent
    // before it has been delivered by then.
    void DeliverEverything();
    void Check();

    emulator::Host host;
    emulator::ScriptCalls calls{host};
    std::unique_ptr<emulator::Module> module;
    std::shared_ptr<ReadingScript> script = std::make_shared<ReadingScript>();
    host::HostValue scriptValue{};
    host::HostValue listener{};
    std::vector<std::unique_ptr<tide::testing::RawSender>> senders;
    std::unique_ptr<tide::testing::RawSender> sentinelSender;
    std::unique_ptr<tide::testing::RawSender> resetSender;
    bool settingsChanged = false;
    emulator::Alive atRest;
};

bool FuzzTarget::Setup(std::string* error) {
    // The full-length sender text's address is on loopback in every private network.
    module = emulator::Module::Load(host, emulator::ModuleFile(tide::fuzzing::PluginDirectory(), "Tidelisten"), error);
    if (!module) return false;
    for (const SenderAddress& from : kSenders) {
        senders.push_back(std::make_unique<tide::testing::RawSender>(kGroup, kPort, from.address, from.port));
        if (!senders.back()->bound) {
            *error = std::string("cannot bind a sender to ") + from.address;
            return false;
        }
        script->senderTexts.insert(std::string(from.address) + ":" +
                                   std::to_string(senders.back()->sourcePort));
    }
    sentinelSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
    resetSender = std::make_unique<tide::testing::RawSender>(kGroup, kPort);
    script->senderTexts.insert("127.0.0.1:" + std::to_string(sentinelSender->sourcePort));
    scriptValue = host.MakeScriptObject(script);
    MakeListener();
    DeliverEverything();
    atRest = host.alive();
    return true;
}

void FuzzTarget::MakeListener() {
    listener = module->New();
    host::HostValue port = host.MakeInteger(kPort);
    host::HostValue group = host.MakeString(kGroup);
    host::HostValue onText = host.MakeSymbolValue("onText");
    host::HostValue onBinary = host.MakeSymbolValue("onBinary");
    emulator::CallOutcome outcomes[] = {
        calls.Call(listener, "SetScriptObject", {scriptValue}),
        calls.Call(listener, "OnTextData", {onText}),
        calls.Call(listener, "OnBinaryData", {onBinary}),
        calls.Call(listener, "Open", {port, group}),
        calls.Call(listener, "Start"),
    };
    TIDE_FUZZ_CHECK(host.IntegerOf(outcomes[3].result) == 0, "the receiver joins its group");
    for (const emulator::CallOutcome& outcome : outcomes) host.Release(outcome.result);
    for (const host::HostValue& value : {port, group, onText, onBinary}) host.Release(value);
}

void FuzzTarget::ReleaseListener() {
    // Thrown away without Stop or Close, as a script may: the object must end its thread.
    host.Release(listener);
    listener = host::HostValue{};
}

void FuzzTarget::Teardown() {
    ReleaseListener();
    host.Release(scriptValue);
    TIDE_FUZZ_CHECK(host.alive().none(), host.AliveReport().c_str());
    module.reset();
}

void FuzzTarget::Send(size_t sender, const uint8_t* bytes, size_t length, bool twice) {
    const Bytes datagram(bytes, bytes + std::min(length, kLongestSentBytes));
    senders[sender % kSenderCount]->Send(datagram);
    if (twice) senders[sender % kSenderCount]->Send(datagram);
}

void FuzzTarget::SetBufferSize(int32_t bytes) {
    host::HostValue size = host.MakeInteger(bytes);
    host.Release(calls.Call(listener, "SetBufferSize", {size}).result);
    host.Release(size);
}

void FuzzTarget::SetDirectorCode(const std::string& name) {
    host::HostValue text = host.MakeString(name);
    calls.Set(listener, "DirectorCode", text);
    host.Release(text);
    settingsChanged = true;
    script->inUtf8 = false;
}

void FuzzTarget::ApplySetting(uint8_t control, const uint8_t*& bytes, size_t& length) {
    const int setting = (control >> 3) & 3;
    if (setting < 2) return;
    // What was sent before the change is delivered before it, as it would be by a host
    // whose script changes a setting between two notifications.
    DeliverEverything();
    if (setting == 2 && length >= 1) {
        const uint8_t choice = bytes[0];
        ++bytes;
        --length;
        if (choice < kSetNameCount) {
            SetDirectorCode(kSetNames[choice]);
        } else {
            // A name made of the record's bytes up to a zero byte.
            const size_t nameBytes = std::find(bytes, bytes + length, 0) - bytes;
            SetDirectorCode(std::string(reinterpret_cast<const char*>(bytes), nameBytes));
            const size_t used = std::min(length, nameBytes + 1);
            bytes += used;
            length -= used;
        }
    } else if (setting == 3 && length >= 4) {
        SetBufferSize(tide::ReadField(bytes, 0));
        bytes += 4;
        length -= 4;
    }
}

void FuzzTarget::DeliverEverything() {
    script->sentinelSeen = false;
    ++script->sentinelIndex;
    const uint8_t zeroUnit[2] = {0, 0};
    Bytes sentinel(tide::kHeaderBytes + 2);
    tide::WriteHeader(sentinel.data(), {tide::kTypeText, script->sentinelIndex, kSentinelTotal, 0, 2, 1, 1});
    std::memcpy(sentinel.data() + tide::kHeaderBytes, zeroUnit, 2);
    sentinelSender->Send(sentinel);
    tide::fuzzing::PumpUntil(
        host, [&] { return script->sentinelSeen; }, "the receiver stopped delivering: a sentinel never came");
}

void FuzzTarget::Check() {
    if (!host.errors().empty()) {
        std::fprintf(stderr, "host misuse: %s\n", host.errors().front().c_str());
        std::abort();
    }
    const emulator::Alive alive = host.alive();
    TIDE_FUZZ_CHECK(
        alive.values == atRest.values && alive.interfaceRefs == atRest.interfaceRefs &&
            alive.hostObjects == atRest.hostObjects && alive.lockedStrings == atRest.lockedStrings &&
            alive.memoryBlocks == atRest.memoryBlocks && alive.publishedRegions == atRest.publishedRegions,
        "a delivery left something of the host's alive");
}

void FuzzTarget::Run(const uint8_t* data, size_t size) {
    // The same state before every input: the default buffer, the default set, and a
    // message in progress that no record can continue.
    if (settingsChanged) {
        ReleaseListener();
        MakeListener();
        settingsChanged = false;
    }
    script->inUtf8 = true;
    script->binaryTotals.clear();
    SetBufferSize(kDefaultBufferBytes);
    Bytes reset =
        tide::testing::MakeDatagram({tide::kTypeBinary, kResetIndex, kResetTotal, 0, kResetTotal, 2, 1});
    reset.resize(tide::kHeaderBytes + kResetTotal);
    resetSender->Send(reset);

    const uint8_t* end = data + size;
    const uint8_t* record = data;
    while (record < end) {
        const uint8_t* next = std::search(record, end, kRecordSeparator, kRecordSeparator + kSeparatorBytes);
        if (next > record) {
            const uint8_t control = record[0];
            const uint8_t* bytes = record + 1;
            size_t length = static_cast<size_t>(next - bytes);
            ApplySetting(control, bytes, length);
            if (length >= tide::kHeaderBytes &&
                tide::ReadField(bytes, tide::kDataTypeOffset) == tide::kTypeBinary)
                script->binaryTotals.insert(tide::ReadField(bytes, tide::kDataTsizeOffset));
            Send(control & 7, bytes, length, (control & 0x20) != 0);
        }
        record = next == end ? end : next + kSeparatorBytes;
    }
    DeliverEverything();
    Check();
}

}  // namespace

// Allocations past 64 MiB fail here, as they would in a host short of memory: messages
// and BufferSize values larger than that take the path of a buffer that cannot be had,
// and an input does not spend its time on AddressSanitizer's bookkeeping of gigabytes.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!tide::testing::EnterPrivateNetwork(&error)) {
        std::fprintf(stderr, "cannot enter a private network namespace: %s\n", error.c_str());
        std::exit(2);
    }
    std::setlocale(LC_ALL, "C.UTF-8");
    gTarget = new FuzzTarget();
    if (!gTarget->Setup(&error)) {
        std::fprintf(stderr, "fuzz_delivery: %s\n", error.c_str());
        std::exit(2);
    }
    // The listener's thread must end before the libraries it uses are torn down.
    std::atexit([] {
        gTarget->Teardown();
        delete gTarget;
        gTarget = nullptr;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gTarget->Run(data, size);
    return 0;
}
