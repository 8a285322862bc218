// The run of one delivery fuzz input, and the checks on everything delivered.
#include "fuzz/delivery_target.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "emulator/module_loading.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/plugin_directory.h"

namespace tide::fuzzing {

namespace {

constexpr char kRecordSeparator[] = "|TIDE|";
constexpr size_t kSeparatorBytes = sizeof kRecordSeparator - 1;
constexpr int32_t kDefaultBufferBytes = 102400;
// Puts the reassembly into the same state before every input: a message of two fragments
// of which one has come, from a sender no record uses.
constexpr int32_t kResetTotal = 7;
constexpr int32_t kResetIndex = 0x52534554;

// Sets a script may name: real ones of every kind (8-bit, 16- and 32-bit, stateful,
// multibyte, with suffixes) and names that are none.
const char* const kSetNames[] = {
    "UTF-8",         "UTF-16LE",     "UTF-16",     "UTF-32BE",  "wchar_t", "char",
    "ISO-8859-1",    "WINDOWS-1252", "CP1251",     "SHIFT_JIS", "EUC-JP",  "ISO-2022-JP",
    "ISO-2022-KR",   "GB18030",      "BIG5-HKSCS", "UTF-7",     "IBM037",  "ASCII//TRANSLIT",
    "UTF-8//IGNORE", "UCS-2",        "UCS-4",      "TSCII",     "",        "no such set",
};
constexpr size_t kSetNameCount = sizeof kSetNames / sizeof kSetNames[0];

}  // namespace

void DeliveryTarget::CheckText(const testing::ReceivedText& text) {
    static const char* const kKeys[] = {"data",      "remote_host", "data_tsize", "data_offset", "data_size",
                                        "data_type", "index",       "tcount",     "tindex"};
    TIDE_FUZZ_CHECK(text.entries.size() == 9, "a text comes with nine entries");
    std::string texts[2];
    int32_t numbers[7] = {};
    for (size_t i = 0; i < 9; ++i) {
        const testing::ReceivedEntry& entry = text.entries[i];
        TIDE_FUZZ_CHECK(entry.key == kKeys[i], "entries in their order");
        if (i < 2) {
            TIDE_FUZZ_CHECK(entry.text.has_value(), "data and remote_host are strings");
            texts[i] = *entry.text;
            for (unsigned char c : texts[i]) touched += c;
        } else {
            TIDE_FUZZ_CHECK(entry.integer.has_value(), "header fields are integers");
            numbers[i - 2] = *entry.integer;
        }
    }
    TIDE_FUZZ_CHECK(numbers[3] == 1, "only text datagrams reach the text handler");
    if (inUtf8) {
        TIDE_FUZZ_CHECK(IsValidUtf8(texts[0].data(), texts[0].size()),
                        "a text is valid UTF-8, whatever the datagram held");
        TIDE_FUZZ_CHECK(senderTexts.count(texts[1]) == 1, "remote_host is the real sender");
    }
    if (numbers[0] == kSentinelTotal && numbers[4] == sentinelIndex) sentinelSeen = true;
}

void DeliveryTarget::CheckBinary(const testing::ReceivedBinary& binary) {
    TIDE_FUZZ_CHECK(binary.length >= 0, "the buffer's number and a length");
    TIDE_FUZZ_CHECK(binaryTotals.count(binary.length) == 1, "the length is a message's data_tsize");
    TIDE_FUZZ_CHECK(binary.readable && (binary.region || binary.length == 0),
                    "the buffer holds the whole message");
    // Both ends of the message: reading them proves the region is really there, and each
    // of their bytes must be one that a fragment of this length carried to that offset,
    // never what the buffer held before (an earlier message, another sender's).
    const uint8_t* bytes = binary.region;
    const int32_t total = binary.length;
    const int32_t edge = std::min<int32_t>(total, 4096);
    for (int32_t i = 0; i < edge; ++i) touched += bytes[i] + bytes[total - 1 - i];
    std::vector<bool> explained(static_cast<size_t>(2 * edge), false);
    auto explain = [&](int32_t from, int32_t to, int32_t slot) {
        for (const Fragment& fragment : fragments) {
            if (fragment.total != total) continue;
            const int32_t begin = std::max(from, fragment.offset);
            const int32_t end = std::min<int64_t>(to, int64_t{fragment.offset} + fragment.size);
            for (int32_t at = begin; at < end; ++at) {
                if (fragment.payload[at - fragment.offset] == bytes[at]) explained[slot + at - from] = true;
            }
        }
    };
    explain(0, edge, 0);
    explain(total - edge, total, edge);
    TIDE_FUZZ_CHECK(std::find(explained.begin(), explained.end(), false) == explained.end(),
                    "every byte handed over came with a fragment of the message");
}

bool DeliveryTarget::Setup(std::string* error) {
    if (!Prepare(error)) return false;
    // The C library loads a set's conversion module at the first open and unloads it at
    // the last close: without a conversion of each set kept open here, every input that
    // names one would load and unload its modules again.
    for (const char* name : kSetNames) {
        for (const char* from : {"UTF-16LE", "WCHAR_T"}) {
            iconv_t handle = iconv_open(name, from);
            if (handle != reinterpret_cast<iconv_t>(-1)) keptConversions.push_back(handle);
        }
    }
    module =
        emulator::Module::Load(host, emulator::ModuleFile(testing::PluginDirectory(), "Tidelisten"), error);
    if (!module) return false;
    // Each message is read at both ends only: a copy of all of it would cost more than
    // its delivery.
    script->keep = false;
    script->copyBytes = false;
    script->onText = [this](const testing::ReceivedText& text) { CheckText(text); };
    script->onBinary = [this](const testing::ReceivedBinary& binary) { CheckBinary(binary); };
    scriptValue = host.MakeScriptObject(script);
    MakeListener();
    DeliverEverything();
    atRest = host.alive();
    return true;
}

void DeliveryTarget::MakeListener() {
    listener = std::make_unique<testing::ScriptedListener>(host, *module, scriptValue);
    Attach();
}

void DeliveryTarget::ReleaseListener() {
    // Thrown away without Stop or Close, as a script may: the object must end its thread.
    listener.reset();
}

void DeliveryTarget::Teardown() {
    ReleaseListener();
    host.Release(scriptValue);
    TIDE_FUZZ_CHECK(host.alive().none(), host.AliveReport().c_str());
    module.reset();
    for (iconv_t handle : keptConversions) iconv_close(handle);
    keptConversions.clear();
}

void DeliveryTarget::SetBufferSize(int32_t bytes) {
    host::HostValue size = host.MakeInteger(bytes);
    listener->Call("SetBufferSize", {size});
    host.Release(size);
}

void DeliveryTarget::SetDirectorCode(const std::string& name) {
    listener->SetDirectorCode(name);
    settingsChanged = true;
    inUtf8 = false;
}

void DeliveryTarget::ApplySetting(uint8_t control, const uint8_t*& bytes, size_t& length) {
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
        SetBufferSize(ReadField(bytes, 0));
        bytes += 4;
        length -= 4;
    }
}

void DeliveryTarget::Check() {
    TIDE_FUZZ_CHECK(
        script->malformedCalls == 0,
        "the text handler gets the object and one list, the binary handler the object, a number and "
        "a length");
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

void DeliveryTarget::Run(const uint8_t* data, size_t size) {
    // The same state before every input: the default buffer, the default set, and a
    // message in progress that no record can continue.
    if (settingsChanged) {
        // A name is read in the set in force, so the way back to UTF-8 goes through the
        // empty name (the locale's UTF-8), which needs no reading. A new name opens the
        // delivery's conversions afresh, as in a new object.
        listener->Call("SetDirectorCode");
        SetDirectorCode("UTF-8");
        settingsChanged = false;
    }
    inUtf8 = true;
    binaryTotals.clear();
    fragments.clear();
    SetBufferSize(kDefaultBufferBytes);
    testing::Bytes reset =
        testing::MakeDatagram({kTypeBinary, kResetIndex, kResetTotal, 0, kResetTotal, 2, 1});
    reset.resize(kHeaderBytes + kResetTotal);
    SendReset(reset);

    const uint8_t* end = data + size;
    const uint8_t* record = data;
    while (record < end) {
        // The C library's search: an instrumented one would spend more than the deliveries.
        const void* found =
            memmem(record, static_cast<size_t>(end - record), kRecordSeparator, kSeparatorBytes);
        const uint8_t* next = found ? static_cast<const uint8_t*>(found) : end;
        if (next > record) {
            const uint8_t control = record[0];
            const uint8_t* bytes = record + 1;
            size_t length = static_cast<size_t>(next - bytes);
            ApplySetting(control, bytes, length);
            if (length >= kHeaderBytes && ReadField(bytes, kDataTypeOffset) == kTypeBinary) {
                const DatagramHeader header = ReadHeader(bytes);
                binaryTotals.insert(header.data_tsize);
                const auto arrived =
                    static_cast<int32_t>(std::min<size_t>(length, kDatagramBytes) - kHeaderBytes);
                if (WellformedFragment(header, arrived))
                    fragments.push_back(
                        {bytes + kHeaderBytes, header.data_tsize, header.data_offset, header.data_size});
            }
            Send((control & 7) % kSenderCount, bytes, length, (control & 0x20) != 0);
        }
        record = next == end ? end : next + kSeparatorBytes;
    }
    DeliverEverything();
    Check();
}

}  // namespace tide::fuzzing
