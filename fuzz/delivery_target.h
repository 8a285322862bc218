// What both delivery fuzz targets share: the record format of their inputs, the checks on
// everything a delivery hands the recording script object, and the run of one input
// against a Tidelisten object of the loaded module. How a record's datagram reaches the
// receiver (through real sockets, or straight into its queue) is each target's own.
//
// An input is a list of records split at kRecordSeparator. A record's first byte chooses
// its sender (bits 0-2) and may change a setting first (bits 3-4: 2 = DirectorCode, named
// by the next byte, 3 = BufferSize, from the next four bytes); bit 5 sends the datagram
// twice. The rest of the record is the datagram, as long as it is (over-long ones are cut
// by the receiver). Every input starts from the same receiver state and ends once all its
// datagrams have been delivered, so that a crashing input crashes again on its own.
// Runs on the fuzzer's thread, the host's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/script_calls.h"
#include "tests/support/recording_script.h"
#include "tests/support/wire.h"

namespace tide::fuzzing {

class DeliveryTarget {
public:
    virtual ~DeliveryTarget() = default;
    // Loads the module and makes the receiving object; false with `*error` on failure.
    bool Setup(std::string* error);
    void Run(const uint8_t* data, size_t size);
    // Releases the object; nothing of the host's may be left alive.
    void Teardown();

protected:
    // How many senders a record can choose from (bits 0-2 of its control byte).
    static constexpr size_t kSenderCount = 8;

    // Before the object is made: the target's own set-up (senders, addresses).
    virtual bool Prepare(std::string* error) = 0;
    // After the object is made and its handlers named: opening it, starting it.
    virtual void Attach() = 0;
    // Hands `length` bytes to the receiver as a datagram from sender `sender`.
    virtual void Send(size_t sender, const uint8_t* bytes, size_t length, bool twice) = 0;
    // Returns once every datagram handed over so far has been delivered.
    virtual void DeliverEverything() = 0;
    // Hands over the datagram that puts the reassembly into its state before an input,
    // from a sender no record uses.
    virtual void SendReset(const testing::Bytes& datagram) = 0;

    // The socket target's sentinel: a text of this total and `sentinelIndex` has come.
    static constexpr int32_t kSentinelTotal = 0x53454E54;

    emulator::Host host;
    emulator::ScriptCalls calls{host};
    std::unique_ptr<emulator::Module> module;
    // Reads everything it is given, as a script would: every entry of the text handler's
    // list, and the binary handler's message through the host's address table; the checks
    // below stop the run when anything is not as it must be.
    std::shared_ptr<testing::RecordingScript> script = std::make_shared<testing::RecordingScript>();
    host::HostValue scriptValue{};
    std::unique_ptr<testing::ScriptedListener> listener;
    bool sentinelSeen = false;
    int32_t sentinelIndex = 0;
    // While the set is UTF-8: texts are valid UTF-8, remote_host one of `senderTexts`.
    bool inUtf8 = true;
    std::set<std::string> senderTexts;

private:
    void CheckText(const testing::ReceivedText& text);
    void CheckBinary(const testing::ReceivedBinary& binary);
    void MakeListener();
    void ReleaseListener();
    void ApplySetting(uint8_t control, const uint8_t*& bytes, size_t& length);
    void SetBufferSize(int32_t bytes);
    void SetDirectorCode(const std::string& name);
    void Check();

    std::set<int32_t> binaryTotals;  // data_tsize of every binary datagram of this input
    // Every binary datagram of this input, where its payload lies in the input: the only
    // source a delivered message's bytes may come from.
    struct Fragment {
        const uint8_t* payload;
        int32_t total, offset, size;
    };
    std::vector<Fragment> fragments;
    uint64_t touched = 0;

    bool settingsChanged = false;
    emulator::Alive atRest;
    std::vector<void*> keptConversions;  // iconv_t, open for the whole run
};

}  // namespace tide::fuzzing
